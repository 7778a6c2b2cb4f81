// The effects chain: applies, in place, to each block of captured 16-bit PCM an amplifier in
// whole decibels, a feedback echo, a four-stage phase shifter with a swept centre frequency and
// a graphic equaliser of peaking biquads, in that fixed order, each switched by its bit of
// EffectsUsed. The values of a block, left and right alternating when stereo, pass through
// every effect as one stream.
//
// Validation errors are AppError 32000 with the runtime's text for an application error and
// the reason as source ("invalid samplerate", "invalid channels", "Out Of Bounds!"); a band
// index out of range is the runtime's error 9; a floating-point fault in a set-up step or while
// processing is the runtime's 6 (overflow), 11 (division by zero) or 5 (logarithm of 0). A set
// whose set-up step faults changes nothing.
//
// Single-threaded: the window thread sets the properties and runs ProcessSamples, so a set never
// interleaves with a block.
#pragma once

#include "effects/iir_filter.h"

#include <cstdint>
#include <span>
#include <vector>

class clsDSP {
public:
    // Bits of EffectsUsed.
    static constexpr std::int32_t kEcho = 1;
    static constexpr std::int32_t kPhaseShift = 2;
    static constexpr std::int32_t kAmplifier = 4;
    static constexpr std::int32_t kEqualizer = 8;

    clsDSP();

    // 1 to 96000 Hz. Once samplerate and Channels are both set, every valid set of either
    // rebuilds the delay line, restarts the sweep and redesigns the bands, in that order.
    std::int32_t samplerate() const { return m_samplerate; }
    void setSamplerate(std::int32_t rateHz);
    // 1 or 2.
    std::int16_t Channels() const { return m_channels; }
    void setChannels(std::int16_t channels);

    // Takes effect with the next block; resets nothing.
    std::int32_t EffectsUsed() const { return m_effectsUsed; }
    void setEffectsUsed(std::int32_t bits) { m_effectsUsed = bits; }
    std::int32_t AmplifyDB() const { return m_amplifyDb; }
    void setAmplifyDB(std::int32_t gainDb) { m_amplifyDb = gainDb; }

    // Echo delay in ms and feedback factor (at most 0.9); each set empties the delay line. A
    // delay that makes a line of no value (0 ms, or less) passes the signal through unchanged.
    std::int32_t EchoLength() const { return m_echoLengthMs; }
    void setEchoLength(std::int32_t delayMs);
    float EchoAmp() const { return m_echoAmp; }
    void setEchoAmp(float factor);

    // Each set restarts the sweep at its lower end; the all-pass memories stay.
    float PhaseShiftDry() const { return m_phase.dry; }
    void setPhaseShiftDry(float share);
    float PhaseShiftWet() const { return m_phase.wet; }
    void setPhaseShiftWet(float share);
    float PhaseShiftFeedback() const { return m_phase.feedback; }
    void setPhaseShiftFeedback(float share);
    float PhaseShiftSweepRate() const { return m_phase.sweepRate; }
    void setPhaseShiftSweepRate(float rate);
    float PhaseShiftSweepRange() const { return m_phase.sweepRangeOctaves; }
    void setPhaseShiftSweepRange(float octaves);
    float PhaseShiftFrequency() const { return m_phase.frequencyHz; }
    void setPhaseShiftFrequency(float hz);

    // Band Index from 0: its filter's frequency rounded (0 before the first design), its gain.
    // Setting a gain redesigns all bands.
    std::int32_t EqualizerBandFrequency(std::int32_t Index) const;
    float EqualizerBandGainDB(std::int32_t Index) const;
    void setEqualizerBandGainDB(std::int32_t Index, float gainDb);
    // 1 to 10 bands: all gains back to 0 dB, new filters, all redesigned. One band sits at the
    // geometric middle of the equaliser's range.
    std::int32_t EqualizerBands() const { return static_cast<std::int32_t>(m_bandGainsDb.size()); }
    void setEqualizerBands(std::int32_t bands);
    // Band Index's filter as designed (type, frequency, gain, bandwidth), read only.
    const IIRFilter &bandFilter(std::int32_t Index) const;

    // Processes the block in place: the filled part of a capture block, intSamples.size() =
    // filled bytes / 2. Nothing happens until samplerate and Channels are set. Allocates nothing.
    // A fault while processing leaves every value of the block saturated, clears the memory of
    // the effect that ran away and raises the runtime's error.
    void ProcessSamples(std::span<std::int16_t> intSamples);

private:
    struct EchoLine {
        std::vector<std::int16_t> values; // past outputs x factor; empty: pass-through
        std::int32_t position = 0;
        float factor = 0;
    };
    struct PhaseSettings {
        float dry = 1.0f;
        float wet = 1.0f;
        float feedback = 0.5f;
        float sweepRate = 1.0f;
        float sweepRangeOctaves = 4.0f;
        float frequencyHz = 100.0f;
    };
    struct Sweep {
        float minwp = 0, maxwp = 0, wp = 0, rate = 0, sweepfac = 0;
    };
    struct AllPass {
        float lx[4] = {};
        float ly[4] = {};
    };

    // The three set-up steps, each computed aside so that a fault leaves the chain as it was.
    static EchoLine buildDelayLine(std::int32_t rateHz, std::int32_t delayMs, float factor);
    static Sweep buildSweep(std::int32_t rateHz, const PhaseSettings &settings);
    static std::vector<IIRFilter> designBands(std::int32_t rateHz, const std::vector<float> &gainsDb,
                                              std::vector<IIRFilter> filters);
    void rebuildAll(std::int32_t rateHz);
    void setPhase(const PhaseSettings &settings);
    void checkBandIndex(std::int32_t index) const;

    // The per-block path (cls_dsp_process.cpp).
    // Amplifier and echo; true when an echo product overflowed the line.
    template <bool Amp, bool Echo>
    bool runAmplifierAndEcho(std::span<std::int16_t> samples, float ampFactor);
    template <bool Phase, bool Eq>
    void runPhaseAndBands(std::span<std::int16_t> samples);

    std::int32_t m_effectsUsed = 0;
    EchoLine m_echo;
    std::int32_t m_echoLengthMs = 100;
    float m_echoAmp = 0.4f;
    std::int32_t m_amplifyDb = 3;
    AllPass m_allPass;
    Sweep m_sweep;
    PhaseSettings m_phase;
    std::vector<float> m_bandGainsDb;
    std::vector<IIRFilter> m_bandFilters;
    std::int32_t m_samplerate = 0;
    std::int16_t m_channels = 0;
};
