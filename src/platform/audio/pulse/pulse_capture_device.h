// A capture device on the sound server: one record stream (16-bit little-endian at the
// format's rate and channel count; the server converts from the source's own format) that
// fills the caller's queued buffers in queue order.
//
// Threads and lock: the owner's thread calls the public members; each of them holds the
// threaded main loop's lock while it touches the stream, the queue or the state. The main
// loop's thread runs streamReadable() and streamStateChanged(), always with that same lock
// held, and writes a buffer only while it is queued and the state is Running. So once stop(),
// reset() or close() has returned, no buffer is written and no notice is sent until the next
// start(). The notifier is called on the main loop's thread for every filled buffer and for the
// failure of a running stream (source removed, server gone), and on the owner's thread by
// stop() for the partly filled buffer it hands back; always under the lock.
#pragma once

#include "common/wave_format.h"
#include "platform/audio/capture_device.h"
#include "platform/audio/pulse/pulse_connection.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

class PulseCaptureDevice : public CaptureDevice {
public:
    // sourceName empty: the server's default source. displayName names the device in the
    // French reason given in *error when the stream cannot be opened; null then, with nothing
    // left open.
    static std::unique_ptr<PulseCaptureDevice> open(std::shared_ptr<PulseConnection> connection,
                                                    const QString &sourceName,
                                                    const QString &displayName,
                                                    const WaveFormat &format,
                                                    CaptureNotifier &notifier, QString *error);
    ~PulseCaptureDevice() override;

    bool addBuffer(CaptureBuffer &buffer) override;
    bool start() override;
    void stop() override;
    std::vector<CaptureBuffer *> reset() override;
    void close() override;

private:
    enum class State { Stopped, Running, Closed };

    PulseCaptureDevice(std::shared_ptr<PulseConnection> connection, CaptureNotifier &notifier);

    QString connectStream(const QString &sourceName, const QString &displayName,
                          const WaveFormat &format);
    void halt();                                             // lock held
    void streamStateNoticed();                               // main loop thread
    void takeIncoming();                                     // main loop thread
    void deliver(const std::uint8_t *bytes, std::size_t count); // main loop thread; null: silence

    static void streamReadable(pa_stream *stream, std::size_t bytes, void *userdata);
    static void streamStateChanged(pa_stream *stream, void *userdata);

    std::shared_ptr<PulseConnection> m_connection;
    CaptureNotifier &m_notifier;
    PulseStreamPtr m_stream;               // guarded by the main loop lock
    std::deque<CaptureBuffer *> m_queue;   // guarded by the main loop lock
    State m_state = State::Stopped;        // guarded by the main loop lock
    bool m_connected = false;              // the stream reached READY; guarded by the lock
    bool m_failed = false;                 // the stream ended on its own; guarded by the lock
};
