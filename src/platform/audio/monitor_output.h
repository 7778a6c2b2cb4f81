// Monitoring: the recorded sound played back on the system's default output while it is
// recorded, with a short delay. The recording hands every block to play() on its own thread and
// must never wait for the output, so play() only copies what fits into the output's buffer and
// drops (and counts) the rest; the sound server plays it on its own time.
#pragma once

#include "common/result.h"

#include <chrono>
#include <cstdint>
#include <span>

class MonitorOutput {
public:
    virtual ~MonitorOutput() = default; // stops playing at once; what is still queued is lost

    // Interleaved 16-bit samples in the format the output was opened with. Never blocks: what
    // does not fit in the output's buffer is dropped and counted. Fails, with the French reason,
    // once the output has stopped working (the server has gone, the output was removed); it
    // plays nothing after that.
    virtual Status play(std::span<const std::int16_t> samples) = 0;
    // Frames dropped by play() since the output was opened.
    virtual std::uint64_t droppedFrames() const = 0;
    // The delay between play() and the sound leaving the output, as the sound server reckons it
    // (what waits in its buffer and the output device's own delay). May wait for the server's
    // answer, so never called on the recording's path.
    virtual Result<std::chrono::microseconds> latency() = 0;
};
