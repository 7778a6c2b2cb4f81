// Design and block processing of one biquad filter.
#include "effects/iir_filter.h"

#include "effects/denormal_guard.h"
#include "effects/fault.h"
#include "effects/sample_math.h"

#include <cmath>
#include <limits>

namespace {

constexpr const char *kDesign = "IIRFilter.CreateBiquadIIR";
constexpr const char *kProcess = "IIRFilter.ProcessSamples";

struct Row {
    float b0 = 0, b1 = 0, b2 = 0, a0 = 0, a1 = 0, a2 = 0;
};

// The row of the cookbook for the type; a type without a row leaves everything 0, so that the
// normalisation below reports it.
Row cookbookRow(std::int32_t type, float cs, float alpha, float a)
{
    using fault::divide;
    using fault::finite;
    using fault::multiply;
    Row row;
    switch (type) {
    case IIRFilter::kLowPass:
        row.b0 = (1 - cs) / 2;
        row.b1 = 1 - cs;
        row.b2 = (1 - cs) / 2;
        break;
    case IIRFilter::kHighPass:
        row.b0 = (1 + cs) / 2;
        row.b1 = -(1 + cs);
        row.b2 = (1 + cs) / 2;
        break;
    case IIRFilter::kBandPass:
        row.b0 = alpha;
        row.b1 = 0;
        row.b2 = -alpha;
        break;
    case IIRFilter::kPeaking: {
        const float alphaTimesA = multiply(alpha, a, kDesign);
        const float alphaOverA = divide(alpha, a, kDesign);
        row.b0 = finite(1 + alphaTimesA, kDesign);
        row.b1 = -2 * cs;
        row.b2 = finite(1 - alphaTimesA, kDesign);
        row.a0 = finite(1 + alphaOverA, kDesign);
        row.a1 = -2 * cs;
        row.a2 = finite(1 - alphaOverA, kDesign);
        return row;
    }
    default:
        return row;
    }
    row.a0 = finite(1 + alpha, kDesign);
    row.a1 = -2 * cs;
    row.a2 = finite(1 - alpha, kDesign);
    return row;
}

} // namespace

void IIRFilter::CreateBiquadIIR(std::int32_t IIRType, float dBGain, float freq, float srate, float bw)
{
    using fault::divide;
    using fault::finite;
    using fault::multiply;

    // The rate as the integer field holds it: a value beyond 32 bits is an overflow.
    const double rateRounded = std::nearbyint(static_cast<double>(srate));
    if (!(rateRounded >= std::numeric_limits<std::int32_t>::min() &&
          rateRounded <= std::numeric_limits<std::int32_t>::max()))
        fault::raise(fault::kOverflow, kDesign);

    const float a = finite(std::pow(10.0f, divide(dBGain, 40.0f, kDesign)), kDesign);
    const float omega = divide(multiply(freq, 6.2831855f, kDesign), srate, kDesign);
    const float sn = std::sin(omega);
    const float cs = std::cos(omega);
    const float halfLn2 = 0.6931472f / 2;
    const float arg = divide(multiply(multiply(halfLn2, bw, kDesign), omega, kDesign), sn, kDesign);
    const float sinhArg = finite((finite(std::exp(arg), kDesign) - finite(std::exp(-arg), kDesign)) / 2,
                                 kDesign);
    const float alpha = multiply(sn, sinhArg, kDesign);

    const Row row = cookbookRow(IIRType, cs, alpha, a);
    BiquadSection designed;
    designed.b0 = divide(row.b0, row.a0, kDesign);
    designed.b1 = divide(row.b1, row.a0, kDesign);
    designed.b2 = divide(row.b2, row.a0, kDesign);
    designed.a1 = divide(row.a1, row.a0, kDesign);
    designed.a2 = divide(row.a2, row.a0, kDesign);

    // Nothing above has faulted: take the whole design at once.
    m_section = designed;
    m_samplerate = static_cast<std::int32_t>(rateRounded);
    m_type = IIRType;
    m_gainDb = dBGain;
    m_frequency = freq;
    m_bandwidth = bw;
}

void IIRFilter::setBandwidth(float octaves)
{
    if (m_samplerate < 1) {
        m_bandwidth = octaves;
        return;
    }
    CreateBiquadIIR(m_type, m_gainDb, m_frequency, static_cast<float>(m_samplerate), octaves);
}

void IIRFilter::setGainDB(float gainDb)
{
    if (m_samplerate < 1) {
        m_gainDb = gainDb;
        return;
    }
    CreateBiquadIIR(m_type, gainDb, m_frequency, static_cast<float>(m_samplerate), m_bandwidth);
}

void IIRFilter::setFrequency(float hz)
{
    if (m_samplerate < 1) {
        m_frequency = hz;
        return;
    }
    CreateBiquadIIR(m_type, m_gainDb, hz, static_cast<float>(m_samplerate), m_bandwidth);
}

void IIRFilter::setSamplerate(std::int32_t rateHz)
{
    if (rateHz < 1) {
        m_samplerate = rateHz;
        return;
    }
    CreateBiquadIIR(m_type, m_gainDb, m_frequency, static_cast<float>(rateHz), m_bandwidth);
}

void IIRFilter::setMemory(float x1, float x2, float y1, float y2)
{
    m_section.x1 = x1;
    m_section.x2 = x2;
    m_section.y1 = y1;
    m_section.y2 = y2;
}

void IIRFilter::ProcessSamples_16bit(std::span<std::int16_t> samples)
{
    if (!m_enabled || samples.empty())
        return;
    DenormalGuard denormals;
    BiquadSection s = m_section; // a local copy keeps the recursion in registers
    bool runaway = false;
    for (std::int16_t &value : samples) {
        const float y = s.step(static_cast<float>(value) / 32767.0f);
        runaway |= !(std::fabs(y) <= std::numeric_limits<float>::max());
        value = static_cast<std::int16_t>(sample_math::filterOutput16(y));
    }
    m_section = s;
    if (!runaway)
        return;
    m_section.clearMemory();
    fault::raise(fault::kOverflow, kProcess);
}

void IIRFilter::ProcessSamples_8bit(std::span<std::uint8_t> samples)
{
    if (!m_enabled || samples.empty())
        return;
    DenormalGuard denormals;
    BiquadSection s = m_section;
    bool runaway = false;
    for (std::uint8_t &value : samples) {
        const float y = s.step((static_cast<float>(value) - 128.0f) / 127.0f);
        runaway |= !(std::fabs(y) <= std::numeric_limits<float>::max());
        value = static_cast<std::uint8_t>(sample_math::filterOutput8(y));
    }
    m_section = s;
    if (!runaway)
        return;
    m_section.clearMemory();
    fault::raise(fault::kOverflow, kProcess);
}
