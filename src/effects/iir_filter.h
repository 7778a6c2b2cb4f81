// One biquad (second-order recursive) filter of the audio-EQ cookbook: low-pass, high-pass,
// band-pass or peaking, designed from a frequency, a gain in dB and a bandwidth in octaves, and
// run in place over 16-bit signed or 8-bit unsigned values in 32-bit float arithmetic. The
// values of a block pass through it as one stream, whatever the channels interleaved in it, and
// its memory carries over from one block to the next until the next design clears it.
//
// A design that would fault (a frequency of 0, a type outside 0-3, an overflow) raises the
// runtime's error (fault.h) and changes nothing: parameters, coefficients and memory stay as
// they were.
#pragma once

#include <cstdint>
#include <span>

// Normalised coefficients (already divided by a0) and the memory of one biquad: x1, x2 the last
// and second-last input, y1, y2 the last and second-last unclipped output, scaled to [-1, 1].
struct BiquadSection {
    float b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    float x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    // y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2, evaluated left to right, then the shift.
    float step(float x)
    {
        const float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    void clearMemory() { x1 = x2 = y1 = y2 = 0; }
};

class IIRFilter {
public:
    static constexpr std::int32_t kLowPass = 0;
    static constexpr std::int32_t kHighPass = 1;
    static constexpr std::int32_t kBandPass = 2; // 0 dB peak
    static constexpr std::int32_t kPeaking = 3;

    // Processing switch; setting it touches neither coefficients nor memory.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    // Each set stores the value and, once samplerate is at least 1, redesigns the filter from
    // the stored fields (which also clears its memory). A redesign that faults stores nothing.
    float Bandwidth() const { return m_bandwidth; }
    void setBandwidth(float octaves);
    float GainDB() const { return m_gainDb; }
    void setGainDB(float gainDb);
    float Frequency() const { return m_frequency; }
    void setFrequency(float hz);
    std::int32_t samplerate() const { return m_samplerate; }
    void setSamplerate(std::int32_t rateHz);

    std::int32_t IIRType() const { return m_type; }

    // Stores the five parameters (samplerate = srate rounded, halves to even), computes the
    // coefficients and clears the memory; on a fault raises the runtime's error, storing nothing.
    void CreateBiquadIIR(std::int32_t IIRType, float dBGain, float freq, float srate, float bw);

    // Filter the whole array in place, first value to last; nothing when disabled or empty.
    // A result that is no longer finite (an unstable design running away) is written clipped,
    // then the memory is cleared and the overflow error raised.
    void ProcessSamples_16bit(std::span<std::int16_t> samples);
    void ProcessSamples_8bit(std::span<std::uint8_t> samples);

    // The coefficients and memory, for the effects chain, which runs its bands side by side
    // and hands the memory back with setMemory.
    const BiquadSection &section() const { return m_section; }
    void setMemory(float x1, float x2, float y1, float y2);
    void clearMemory() { m_section.clearMemory(); }

private:
    BiquadSection m_section;
    std::int32_t m_samplerate = 0;
    std::int32_t m_type = 0;
    float m_gainDb = 0;
    float m_frequency = 0;
    float m_bandwidth = 0;
    bool m_enabled = true;
};
