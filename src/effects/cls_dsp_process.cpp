// The per-block path of the effects chain: amplifier, echo, phase shifter and equaliser over
// one block, in place, without allocation.
//
// Two passes. The amplifier and the echo have no recursion shorter than the delay line, so they
// run first over runs of contiguous slots, in vector instructions. The phase shifter and the
// equaliser then run together: each value goes through the phase shifter and on into the band
// cascade, which holds the equaliser's bands side by side (band_cascade.h). Every effect still
// sees the output of the one before, value by value in order, with the same roundings, so the
// block comes out exactly as if each effect had walked the whole block before the next began;
// only the memory traffic and the waiting on each recursion go away.
#include "effects/cls_dsp.h"

#include "common/app_error.h"
#include "effects/band_cascade.h"
#include "effects/denormal_guard.h"
#include "effects/fault.h"
#include "effects/sample_math.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace {

constexpr const char *kProcess = "clsDSP.ProcessSamples";

inline bool isOverflow(float value)
{
    return !(std::fabs(value) <= std::numeric_limits<float>::max());
}

// The amplifier's saturation for a finite product: clamped, then rounded (the same as
// sample_math::saturate, without branches, so that the loops below vectorise).
inline float clampRound(float value)
{
    return sample_math::roundEven(std::min(std::max(value, -32768.0f), 32767.0f));
}

} // namespace

template <bool Amp, bool Echo>
bool clsDSP::runAmplifierAndEcho(std::span<std::int16_t> samples, float ampFactor)
{
    std::int16_t *const values = samples.data();
    const std::int32_t count = static_cast<std::int32_t>(samples.size());
    std::int16_t *const line = m_echo.values.data();
    const std::int32_t lineLength = static_cast<std::int32_t>(m_echo.values.size());

    if (!Echo || lineLength == 0) {
        if constexpr (Amp) {
            for (std::int32_t i = 0; i < count; ++i)
                values[i] = static_cast<std::int16_t>(clampRound(static_cast<float>(values[i]) * ampFactor));
        }
        return false;
    }

    // A factor of magnitude 0.99 or less keeps every product inside the 16-bit line; beyond it
    // (or not a number) each product is checked.
    const float factor = m_echo.factor;
    const bool checked = !(std::fabs(factor) <= 0.99f);
    bool overflow = false;
    std::int32_t position = m_echo.position;
    for (std::int32_t at = 0; at < count;) {
        // A run of slots read and written once each: no value depends on another of the run.
        const std::int32_t run = std::min(count - at, lineLength - position);
        std::int16_t *const v = values + at;
        std::int16_t *const slot = line + position;
        if (!checked) {
            for (std::int32_t j = 0; j < run; ++j) {
                float in = static_cast<float>(v[j]);
                if constexpr (Amp)
                    in = clampRound(in * ampFactor);
                std::int32_t out = static_cast<std::int32_t>(in) + slot[j];
                out = out > 32767 ? 32767 : (out < -32768 ? -32768 : out);
                v[j] = static_cast<std::int16_t>(out);
                slot[j] = static_cast<std::int16_t>(sample_math::roundEven(static_cast<float>(out) * factor));
            }
        } else {
            for (std::int32_t j = 0; j < run; ++j) {
                float in = static_cast<float>(v[j]);
                if constexpr (Amp)
                    in = clampRound(in * ampFactor);
                std::int32_t out = static_cast<std::int32_t>(in) + slot[j];
                out = out > 32767 ? 32767 : (out < -32768 ? -32768 : out);
                v[j] = static_cast<std::int16_t>(out);
                const float fed = static_cast<float>(out) * factor;
                // The line holds 16-bit values: a product outside them is an overflow.
                overflow |= !(fed >= -32768.5f && fed < 32767.5f);
                slot[j] = static_cast<std::int16_t>(sample_math::saturate(fed));
            }
        }
        at += run;
        position += run;
        if (position == lineLength)
            position = 0;
    }
    m_echo.position = position;
    return overflow;
}

template <bool Phase, bool Eq>
void clsDSP::runPhaseAndBands(std::span<std::int16_t> samples)
{
    // Local copies keep every memory in registers for the length of the block.
    float lx1 = m_allPass.lx[0], lx2 = m_allPass.lx[1], lx3 = m_allPass.lx[2], lx4 = m_allPass.lx[3];
    float ly1 = m_allPass.ly[0], ly2 = m_allPass.ly[1], ly3 = m_allPass.ly[2], ly4 = m_allPass.ly[3];
    float wp = m_sweep.wp, sweepfac = m_sweep.sweepfac;
    const float minwp = m_sweep.minwp, maxwp = m_sweep.maxwp, rate = m_sweep.rate;
    const float inverseRate = 1.0f / rate;
    const float dry = m_phase.dry, wet = m_phase.wet, feedback = m_phase.feedback;
    bool phaseOverflow = false;
    bool phaseDivision = false;

    // Inlined into the loops below, so that the memories captured here live in registers.
    auto front = [&](float value) __attribute__((always_inline)) -> float {
        if constexpr (Phase) {
            const float in = value / 32767.0f;
            const float denominator = 1.0f + wp;
            phaseDivision |= denominator == 0.0f;
            const float coef = (1.0f - wp) / denominator;
            const float x = in + ly4 * feedback;
            float y = (x + ly1) * coef - lx1;            lx1 = x;
            ly1 = y;
            y = (ly1 + ly2) * coef - lx2;
            lx2 = ly1;
            ly2 = y;
            y = (ly2 + ly3) * coef - lx3;
            lx3 = ly2;
            ly3 = y;
            y = (ly3 + ly4) * coef - lx4;
            lx4 = ly3;
            ly4 = y;
            const float o = ly4 * wet + in * dry;
            wp = wp * sweepfac;
            if (wp > maxwp)
                sweepfac = inverseRate;
            else if (wp < minwp)
                sweepfac = rate;
            const float scaled = o * 32767.0f;
            phaseOverflow |= isOverflow(scaled);
            value = sample_math::saturate(scaled);
        }
        return value;
    };

    const std::int32_t count = static_cast<std::int32_t>(samples.size());
    std::int16_t *const values = samples.data();
    bool bandsRanAway = false;
    bool bandsDone = false;
    if constexpr (Eq) {
        BandCascade cascade;
        cascade.load(m_bandFilters);
        auto runBands = [&](auto kernel) __attribute__((always_inline)) {
            // The front's value enters the cascade kFrontDelay steps after it was made, so that
            // the bands never wait for the phase shifter's recursion of the same step.
            constexpr std::int32_t kFrontDelay = 2;
            float delayed[kFrontDelay] = {};
            const std::int32_t lag = kernel.lag();
            auto step = [&](std::int32_t t, auto masked) __attribute__((always_inline)) {
                const std::int32_t slot = t % kFrontDelay;
                const float entering = delayed[slot];
                delayed[slot] = t < count ? front(static_cast<float>(values[t])) : 0.0f;
                const std::int32_t u = t - kFrontDelay;
                const float leaving = kernel.template push<decltype(masked)::value>(entering, u, count);
                if (u >= lag)
                    values[u - lag] = static_cast<std::int16_t>(leaving);
            };
            // Edges masked, the middle (every band on a value of the block) not.
            const std::int32_t end = count + kFrontDelay + lag;
            const std::int32_t steadyFrom = std::min(end, lag + kFrontDelay);
            const std::int32_t steadyTo = std::max(steadyFrom, count + kFrontDelay);
            std::int32_t t = 0;
            for (; t < steadyFrom; ++t)
                step(t, std::true_type{});
            for (; t < steadyTo; ++t)
                step(t, std::false_type{});
            for (; t < end; ++t)
                step(t, std::true_type{});
            kernel.save(cascade);
            cascade.store(m_bandFilters);
            bandsRanAway = cascade.runaway;
            bandsDone = true;
        };
        switch (cascade.groups()) {
        case 1:
            runBands(band_cascade::Kernel<1>(cascade));
            break;
        case 2:
            runBands(band_cascade::Kernel<2>(cascade));
            break;
        case 3:
            runBands(band_cascade::Kernel<3>(cascade));
            break;
        default:
            break; // no band enabled
        }
    }
    if (!bandsDone) {
        for (std::int32_t t = 0; t < count; ++t)
            values[t] = static_cast<std::int16_t>(front(static_cast<float>(values[t])));
    }

    m_allPass = AllPass{{lx1, lx2, lx3, lx4}, {ly1, ly2, ly3, ly4}};
    m_sweep.wp = wp;
    m_sweep.sweepfac = sweepfac;

    // Faults, in the order of the chain. The effect that ran away starts again from silence.
    if constexpr (Phase) {
        bool finiteMemory = std::isfinite(wp) && std::isfinite(sweepfac);
        for (int k = 0; k < 4; ++k)
            finiteMemory = finiteMemory && std::isfinite(m_allPass.lx[k]) && std::isfinite(m_allPass.ly[k]);
        if (phaseDivision || phaseOverflow || !finiteMemory) {
            m_allPass = AllPass{};
            m_sweep.wp = m_sweep.minwp;
            m_sweep.sweepfac = m_sweep.rate;
            fault::raise(phaseDivision ? fault::kDivisionByZero : fault::kOverflow, kProcess);
        }
    }
    if (bandsRanAway)
        fault::raise(fault::kOverflow, kProcess);
}

void clsDSP::ProcessSamples(std::span<std::int16_t> intSamples)
{
    if (m_samplerate == 0 || m_channels == 0 || intSamples.empty())
        return;
    const bool amp = (m_effectsUsed & kAmplifier) != 0;
    const bool echo = (m_effectsUsed & kEcho) != 0;
    const bool phase = (m_effectsUsed & kPhaseShift) != 0;
    const bool eq = (m_effectsUsed & kEqualizer) != 0;
    if (!amp && !echo && !phase && !eq)
        return;

    float ampFactor = 1.0f;
    if (amp) {
        // Computed per block. A gain whose product with a full-scale value leaves float is an
        // overflow, raised before the block is touched.
        const double factor = std::pow(10.0, m_amplifyDb / 20.0);
        if (!(factor * 32768.0 <= std::numeric_limits<float>::max()))
            fault::raise(fault::kOverflow, kProcess);
        ampFactor = static_cast<float>(factor);
    }

    DenormalGuard denormals;
    bool echoOverflow = false;
    if (amp && echo)
        echoOverflow = runAmplifierAndEcho<true, true>(intSamples, ampFactor);
    else if (amp)
        runAmplifierAndEcho<true, false>(intSamples, ampFactor);
    else if (echo)
        echoOverflow = runAmplifierAndEcho<false, true>(intSamples, ampFactor);

    // An echo fault waits for the rest of the chain, so that the whole block is processed, and
    // is the one reported when a later effect faults too: the first of the chain.
    auto reportEchoFault = [&] {
        if (!echoOverflow)
            return;
        std::fill(m_echo.values.begin(), m_echo.values.end(), std::int16_t{0});
        m_echo.position = 0;
        fault::raise(fault::kOverflow, kProcess);
    };
    try {
        if (phase && eq)
            runPhaseAndBands<true, true>(intSamples);
        else if (phase)
            runPhaseAndBands<true, false>(intSamples);
        else if (eq)
            runPhaseAndBands<false, true>(intSamples);
    } catch (const AppError &) {
        reportEchoFault();
        throw;
    }
    reportEchoFault();
}
