// The effects chain's properties and its three set-up steps: the echo delay line, the phase
// shifter's sweep and the equaliser's band design.
#include "effects/cls_dsp.h"

#include "common/app_error.h"
#include "common/rounding.h"
#include "effects/fault.h"

#include <cmath>
#include <limits>
#include <new>

namespace {

constexpr std::int32_t kMaxSamplerate = 96000;
constexpr std::int32_t kMaxBands = 10;
constexpr std::int32_t kDefaultBands = 7;
constexpr float kPi = 3.1415927f;

constexpr const char *kDelayLine = "clsDSP.EchoLength";
constexpr const char *kSweep = "clsDSP.PhaseShift";
constexpr const char *kBands = "clsDSP.Equalizer";

// The validation error: number 32000, the runtime's text for an error the program defines,
// the reason as source.
[[noreturn]] void invalid(const char *reason)
{
    throw AppError(32000, QStringLiteral("Application-defined or object-defined error"),
                   QString::fromLatin1(reason));
}

} // namespace

clsDSP::clsDSP() : m_bandGainsDb(kDefaultBands, 0.0f), m_bandFilters(kDefaultBands)
{
}

clsDSP::EchoLine clsDSP::buildDelayLine(std::int32_t rateHz, std::int32_t delayMs, float factor)
{
    EchoLine line;
    line.factor = factor;
    const double length = roundHalfEven(rateHz / 1000.0 * delayMs);
    if (length > std::numeric_limits<std::int32_t>::max())
        fault::raise(fault::kOverflow, kDelayLine);
    if (length < 1)
        return line; // no slot to delay by: the echo passes the signal through
    try {
        line.values.assign(static_cast<std::size_t>(length), 0);
    } catch (const std::bad_alloc &) {
        fault::raise(fault::kOutOfMemory, kDelayLine);
    }
    return line;
}

clsDSP::Sweep clsDSP::buildSweep(std::int32_t rateHz, const PhaseSettings &settings)
{
    using fault::divide;
    using fault::finite;
    using fault::multiply;
    const float sr = static_cast<float>(rateHz);
    // Below 0 Hz the all-pass coefficient passes 1 and the stages run away (the settings window
    // offers down to -10 Hz): such a sweep stays at 0 Hz, where the stages pass the sound as it
    // is.
    const float base = multiply(std::max(settings.frequencyHz, 0.0f), kPi, kSweep);
    const float range = finite(std::pow(2.0f, settings.sweepRangeOctaves), kSweep);
    Sweep sweep;
    sweep.minwp = divide(base, sr, kSweep);
    sweep.maxwp = divide(multiply(base, range, kSweep), sr, kSweep);
    const float exponent = divide(multiply(2.0f, settings.sweepRate, kSweep), sr, kSweep);
    sweep.rate = finite(std::pow(range, exponent), kSweep);
    // The sweep turns back with 1 / rate; a rate of 0 could never turn.
    divide(1.0f, sweep.rate, kSweep);
    sweep.sweepfac = sweep.rate;
    sweep.wp = sweep.minwp;
    return sweep;
}

std::vector<IIRFilter> clsDSP::designBands(std::int32_t rateHz, const std::vector<float> &gainsDb,
                                           std::vector<IIRFilter> filters)
{
    const double top = roundHalfEven(rateHz / 3.0);
    const double r = top / 80.0;
    if (!(r > 0))
        fault::raise(fault::kInvalidCall, kBands); // ln(0): a rate too low for any band
    const float bandwidth = fault::finite(static_cast<float>(std::log(r) / 4.0), kBands);
    const std::size_t count = filters.size();
    for (std::size_t i = 0; i < count; ++i) {
        // Equal ratios from 80 Hz up to a third of the rate; a single band sits in the
        // geometric middle of that range.
        const double position = count == 1 ? 0.5 : static_cast<double>(i) / static_cast<double>(count - 1);
        const float hz = fault::finite(static_cast<float>(80.0 * std::pow(r, position)), kBands);
        filters[i].CreateBiquadIIR(IIRFilter::kPeaking, gainsDb[i], hz, static_cast<float>(rateHz),
                                   bandwidth);
    }
    return filters;
}

void clsDSP::rebuildAll(std::int32_t rateHz)
{
    EchoLine line = buildDelayLine(rateHz, m_echoLengthMs, m_echoAmp);
    const Sweep sweep = buildSweep(rateHz, m_phase);
    std::vector<IIRFilter> filters = designBands(rateHz, m_bandGainsDb, m_bandFilters);
    m_echo = std::move(line);
    m_sweep = sweep;
    m_bandFilters = std::move(filters);
    m_samplerate = rateHz;
}

void clsDSP::setSamplerate(std::int32_t rateHz)
{
    if (rateHz < 1 || rateHz > kMaxSamplerate)
        invalid("invalid samplerate");
    if (m_channels == 0) {
        m_samplerate = rateHz;
        return;
    }
    rebuildAll(rateHz);
}

void clsDSP::setChannels(std::int16_t channels)
{
    if (channels != 1 && channels != 2)
        invalid("invalid channels");
    if (m_samplerate != 0)
        rebuildAll(m_samplerate);
    m_channels = channels;
}

void clsDSP::setEchoLength(std::int32_t delayMs)
{
    if (m_samplerate != 0)
        m_echo = buildDelayLine(m_samplerate, delayMs, m_echoAmp);
    m_echoLengthMs = delayMs;
}

void clsDSP::setEchoAmp(float factor)
{
    const float stored = factor > 0.9f ? 0.9f : factor;
    if (m_samplerate != 0)
        m_echo = buildDelayLine(m_samplerate, m_echoLengthMs, stored);
    m_echoAmp = stored;
}

void clsDSP::setPhase(const PhaseSettings &settings)
{
    if (m_samplerate != 0)
        m_sweep = buildSweep(m_samplerate, settings);
    m_phase = settings;
}

void clsDSP::setPhaseShiftDry(float share)
{
    PhaseSettings s = m_phase;
    s.dry = share;
    setPhase(s);
}

void clsDSP::setPhaseShiftWet(float share)
{
    PhaseSettings s = m_phase;
    s.wet = share;
    setPhase(s);
}

void clsDSP::setPhaseShiftFeedback(float share)
{
    PhaseSettings s = m_phase;
    s.feedback = share;
    setPhase(s);
}

void clsDSP::setPhaseShiftSweepRate(float rate)
{
    PhaseSettings s = m_phase;
    s.sweepRate = rate;
    setPhase(s);
}

void clsDSP::setPhaseShiftSweepRange(float octaves)
{
    PhaseSettings s = m_phase;
    s.sweepRangeOctaves = octaves;
    setPhase(s);
}

void clsDSP::setPhaseShiftFrequency(float hz)
{
    PhaseSettings s = m_phase;
    s.frequencyHz = hz;
    setPhase(s);
}

void clsDSP::checkBandIndex(std::int32_t index) const
{
    if (index < 0 || index >= EqualizerBands())
        fault::raise(fault::kSubscript, "clsDSP.EqualizerBand");
}

std::int32_t clsDSP::EqualizerBandFrequency(std::int32_t Index) const
{
    checkBandIndex(Index);
    return static_cast<std::int32_t>(roundHalfEven(m_bandFilters[static_cast<std::size_t>(Index)].Frequency()));
}

const IIRFilter &clsDSP::bandFilter(std::int32_t Index) const
{
    checkBandIndex(Index);
    return m_bandFilters[static_cast<std::size_t>(Index)];
}

float clsDSP::EqualizerBandGainDB(std::int32_t Index) const
{
    checkBandIndex(Index);
    return m_bandGainsDb[static_cast<std::size_t>(Index)];
}

void clsDSP::setEqualizerBandGainDB(std::int32_t Index, float gainDb)
{
    checkBandIndex(Index);
    std::vector<float> gains = m_bandGainsDb;
    gains[static_cast<std::size_t>(Index)] = gainDb;
    if (m_samplerate != 0)
        m_bandFilters = designBands(m_samplerate, gains, m_bandFilters);
    m_bandGainsDb = std::move(gains);
}

void clsDSP::setEqualizerBands(std::int32_t bands)
{
    if (bands < 1 || bands > kMaxBands)
        invalid("Out Of Bounds!");
    std::vector<float> gains(static_cast<std::size_t>(bands), 0.0f);
    std::vector<IIRFilter> filters(static_cast<std::size_t>(bands));
    if (m_samplerate != 0)
        filters = designBands(m_samplerate, gains, std::move(filters));
    m_bandGainsDb = std::move(gains);
    m_bandFilters = std::move(filters);
}
