// The gate of a sound-activated recording. Blocks of interleaved 16-bit samples, as the file
// would get them, come in; what goes to the file comes out:
//
//   armed:     nothing is written; the last preRecordFrames frames are kept in a ring.
//   triggered: at the first frame where a sample reaches the threshold, the ring's frames and
//              that frame onwards go out, so the attack of the first sound is in the file.
//   recording: every frame goes out; with a silence length, a run of that many frames under
//              the threshold ends the take just after it, on the exact frame.
//   ended:     nothing goes out any more.
//
// Without a threshold the gate is open from the start; it never ends on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The ring of a pre-recording never takes more than this.
constexpr std::uint64_t kPreRecordLimitBytes = 256ull * 1024 * 1024;

class SoundTrigger {
public:
    struct Settings {
        std::optional<double> thresholdDb; // dBFS, at most 0; none: open from the start
        std::uint64_t preRecordFrames = 0;
        std::optional<std::uint64_t> silenceFrames; // ends the take after this many quiet frames
    };

    // The ring is taken at once: a std::bad_alloc here leaves nothing behind.
    SoundTrigger(const Settings &settings, std::uint16_t channels);

    // What one block gives the file: first the pre-recorded frames (on the block that
    // triggers), then a part of the block. Valid until the next call.
    struct Output {
        std::span<const std::int16_t> preRecorded;
        std::span<const std::int16_t> block;
        bool triggered = false; // this block opened the gate
        bool ended = false;     // the silence ran out in this block
    };
    Output feed(std::span<const std::int16_t> block);

    bool isArmed() const { return m_state == State::Armed; }
    bool hasEnded() const { return m_state == State::Ended; }

    // The smallest sample magnitude that reaches dB (full scale 32768 is 0 dBFS; 0 dBFS itself
    // is reached by the largest positive sample).
    static std::int32_t thresholdMagnitude(double dB);

private:
    enum class State { Armed, Recording, Ended };

    bool frameIsLoud(std::span<const std::int16_t> block, std::size_t frame) const;
    void keepInRing(std::span<const std::int16_t> samples);
    std::span<const std::int16_t> ringInOrder();

    std::uint16_t m_channels;
    std::int32_t m_threshold = 0;
    std::optional<std::uint64_t> m_silenceFrames;
    std::uint64_t m_quietFrames = 0;
    State m_state;
    std::vector<std::int16_t> m_ring; // preRecordFrames frames, oldest at m_ringStart once full
    std::size_t m_ringStart = 0;
    std::size_t m_ringFilled = 0;     // samples held
};
