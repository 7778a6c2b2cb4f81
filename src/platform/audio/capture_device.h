// The wave-in style capture device: opened with a format and a notifier, it fills the
// caller-owned buffers queued with addBuffer in queue order and hands each one back through
// the notifier. Backends: PulseAudio (pulse/) and the virtual device (virtual/).
//
// Threads: every member is called from the owner's thread (the UI thread). The backend fills
// queued buffers on a thread of its own and calls CaptureNotifier::bufferDone there. stop(),
// reset() and close() take every buffer back from that thread before they return: after them
// no buffer is written and no notice is sent.
#pragma once

#include "common/result.h"
#include "platform/audio/capture_buffer.h"

#include <vector>

class CaptureNotifier {
public:
    virtual ~CaptureNotifier() = default;
    // Called on the device's thread, once per filled buffer, in the order the buffers were
    // queued. Must not block and must not call back into the device.
    virtual void bufferDone(CaptureBuffer *buffer) = 0;
    // Called on the device's thread, once, when the device stops working on its own (the sound
    // server went away, the source was removed). No buffer is filled after it.
    virtual void deviceFailed() = 0;
    // Called on the device's thread, once, when sound was lost before it could be delivered
    // (the buffers that hold what the owner has not taken yet overran). It comes after the
    // notice of the buffer that ends where the gap begins; nothing after the gap is delivered.
    virtual void dataLost() = 0;
};

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;

    // Checks the buffer (memory, even positive size) and marks it prepared.
    virtual bool prepareBuffer(CaptureBuffer &buffer);
    virtual void unprepareBuffer(CaptureBuffer &buffer);

    // Appends a prepared buffer to the queue; false when it is not prepared or the device is
    // closed. Buffers may be queued before or after start().
    virtual bool addBuffer(CaptureBuffer &buffer) = 0;
    virtual Status start() = 0;
    // Stops capturing; the buffer being filled is handed back through the notifier with what
    // it holds, the others stay queued.
    virtual void stop() = 0;
    // Stops capturing and returns every queued buffer, marked done, without notices.
    virtual std::vector<CaptureBuffer *> reset() = 0;
    virtual void close() = 0;
};
