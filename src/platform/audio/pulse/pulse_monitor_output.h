// The monitoring output on the sound server: a playback stream on the default sink (it follows
// the server's default when that changes), 16-bit little-endian in the recording's format.
//
// Delay: the stream asks the server for a total delay (its buffer and the sink's own) of one
// recording block and a small margin (the target), with PA_STREAM_ADJUST_LATENCY so that the
// sink lowers its own delay to match. play() writes a block whole while what waits in the
// stream's buffer stays under the target and the margin again; the rest is dropped, so the delay
// never grows past that however the recording's blocks bunch up or the clocks drift. When the
// buffer is empty (at the start, or after it ran dry because a block came late), the block is
// preceded by silence up to the target, and a stream that is not playing is started at once
// rather than left waiting for the server's pre-buffering amount (which the limit might never
// let it reach), so the next block comes before the buffer has drained.
//
// Threads and lock: the owner's thread calls the public members, each holding the threaded
// main loop's lock while it touches the stream. The main loop's thread runs the state and
// underflow callbacks with that same lock held; m_primed is guarded by it.
#pragma once

#include "common/wave_format.h"
#include "platform/audio/monitor_output.h"
#include "platform/audio/pulse/pulse_connection.h"

#include <cstddef>
#include <memory>

class PulseMonitorOutput : public MonitorOutput {
public:
    // Nothing is left open when it fails.
    static Result<std::unique_ptr<PulseMonitorOutput>> open(std::shared_ptr<PulseConnection> connection,
                                                            const WaveFormat &format, std::uint32_t blockBytes);
    ~PulseMonitorOutput() override;

    Status play(std::span<const std::int16_t> samples) override;
    std::uint64_t droppedFrames() const override { return m_droppedFrames; }
    Result<std::chrono::microseconds> latency() override;

private:
    PulseMonitorOutput(std::shared_ptr<PulseConnection> connection, const WaveFormat &format, std::uint32_t blockBytes);

    QString connectStream(const WaveFormat &format);
    bool writeSilence(std::size_t bytes); // lock held
    void close();

    static void streamStateChanged(pa_stream *stream, void *userdata);
    static void streamUnderflow(pa_stream *stream, void *userdata);

    std::shared_ptr<PulseConnection> m_connection;
    PulseStreamPtr m_stream;          // guarded by the main loop lock
    const std::size_t m_frameBytes;
    const std::size_t m_blockBytes;   // whole frames
    pa_sample_spec m_spec{};
    std::size_t m_targetBytes = 0;    // the total delay asked for, in bytes of sound
    std::size_t m_limitBytes = 0;     // the most the delay may reach after a write
    bool m_primed = false;            // the buffer holds sound; guarded by the lock
    std::uint64_t m_droppedFrames = 0; // owner's thread only
};
