// A capture device on the sound server: one record stream (16-bit little-endian at the
// format's rate and channel count; the server converts from the source's own format) that
// fills the caller's queued buffers in queue order.
//
// Sound is taken from the stream only into a queued buffer: while none is queued it waits in
// the stream, whose buffer holds several seconds (the largest the server grants), so an owner
// that falls behind for a while (a slow disk, a stopped process) loses nothing. When sound was
// lost all the same (the client's or the server's buffer overran), delivery ends where the gap
// begins: the buffer being filled is handed back with the sound up to there, then the notifier
// hears dataLost() once, and nothing after the gap is delivered.
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
#include "platform/audio/pulse/overrun_watch.h"
#include "platform/audio/pulse/pulse_connection.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

class PulseCaptureDevice : public CaptureDevice {
public:
    // sourceName empty: the server's default source. displayName names the device in the
    // French reason when the stream cannot be opened; nothing is left open then.
    // streamBufferBytes: how much the stream may hold back; 0, the most the server grants
    // (4 MiB with PulseAudio).
    static Result<std::unique_ptr<PulseCaptureDevice>> open(std::shared_ptr<PulseConnection> connection,
                                                            const QString &sourceName, const QString &displayName,
                                                            const WaveFormat &format, CaptureNotifier &notifier,
                                                            std::uint32_t streamBufferBytes = 0);
    ~PulseCaptureDevice() override;

    bool addBuffer(CaptureBuffer &buffer) override;
    Status start() override;
    void stop() override;
    std::vector<CaptureBuffer *> reset() override;
    void close() override;

private:
    enum class State { Stopped, Running, Closed };

    PulseCaptureDevice(std::shared_ptr<PulseConnection> connection, CaptureNotifier &notifier);

    QString connectStream(const QString &sourceName, const QString &displayName,
                          const WaveFormat &format, std::uint32_t streamBufferBytes);
    // All of these run with the lock held.
    void halt();
    void streamStateNoticed();
    void incomingArrived();
    void takeIncoming();
    std::size_t deliver(const std::uint8_t *bytes, std::size_t count); // null: silence
    void endAtGap();
    std::uint64_t arrivedBytes() const;
    std::uint64_t deliveryLimit() const;
    void startTicking();
    void stopTicking();
    void tick();

    static void streamReadable(pa_stream *stream, std::size_t bytes, void *userdata);
    static void streamStateChanged(pa_stream *stream, void *userdata);
    static void tickDue(pa_mainloop_api *api, pa_time_event *event, const struct timeval *, void *userdata);

    std::shared_ptr<PulseConnection> m_connection;
    CaptureNotifier &m_notifier;
    PulseStreamPtr m_stream;               // guarded by the main loop lock
    std::deque<CaptureBuffer *> m_queue;   // guarded by the main loop lock
    State m_state = State::Stopped;        // guarded by the main loop lock
    bool m_connected = false;              // the stream reached READY; guarded by the lock
    bool m_failed = false;                 // the stream ended on its own; guarded by the lock

    // Guarded by the lock. Positions are bytes of the stream since the last start().
    std::unique_ptr<OverrunWatch> m_watch; // made once the server has granted the buffer
    pa_time_event *m_ticker = nullptr;     // the watch's tick while running
    std::uint64_t m_droppedBytes = 0;      // taken off the stream in whole fragments
    std::size_t m_fragmentTaken = 0;       // of the fragment at the stream's head
    std::size_t m_lastReadable = 0;        // what the stream held after we last took from it
    std::uint64_t m_clientGapAt = OverrunWatch::kNoHold; // where the client's buffer overran
    bool m_lossReported = false;
};
