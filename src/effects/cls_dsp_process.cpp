// The per-block path of the effects chain: amplifier, echo, phase shifter and equaliser over
// one block, in place, without allocation.
//
// The four effects run in one pass: each value goes through the amplifier, the echo and the
// phase shifter in turn and then into the band cascade, which holds the equaliser's bands side
// by side (band_cascade.h). Every effect still sees the output of the one before, value by
// value in order, with the same roundings, so the block comes out exactly as if each effect had
// walked the whole block before the next began; only the memory traffic and the waiting on each
// recursion go away.
#include "effects/cls_dsp.h"

#include "effects/band_cascade.h"
#include "effects/denormal_guard.h"
#include "effects/fault.h"
#include "effects/sample_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr const char *kProcess = "clsDSP.ProcessSamples";

inline bool isOverflow(float value)
{
    return !(std::fabs(value) <= std::numeric_limits<float>::max());
}

} // namespace

template <bool Amp, bool Echo, bool Phase, bool Eq>
void clsDSP::runChain(std::span<std::int16_t> samples, float ampFactor)
{
    // Local copies keep every memory in registers for the length of the block.
    std::int16_t *const line = m_echo.values.data();
    const std::int32_t lineLength = static_cast<std::int32_t>(m_echo.values.size());
    const bool echoOn = Echo && lineLength > 0;
    const float echoFactor = m_echo.factor;
    std::int32_t position = m_echo.position;
    bool echoOverflow = false;

    float lx1 = m_allPass.lx[0], lx2 = m_allPass.lx[1], lx3 = m_allPass.lx[2], lx4 = m_allPass.lx[3];
    float ly1 = m_allPass.ly[0], ly2 = m_allPass.ly[1], ly3 = m_allPass.ly[2], ly4 = m_allPass.ly[3];
    float wp = m_sweep.wp, sweepfac = m_sweep.sweepfac;
    const float minwp = m_sweep.minwp, maxwp = m_sweep.maxwp, rate = m_sweep.rate;
    const float inverseRate = 1.0f / rate;
    const float dry = m_phase.dry, wet = m_phase.wet, feedback = m_phase.feedback;
    bool phaseOverflow = false;
    bool phaseDivision = false;

    auto front = [&](float value) -> float {
        if constexpr (Amp)
            value = sample_math::saturate(value * ampFactor);
        if constexpr (Echo) {
            if (echoOn) {
                std::int32_t out = static_cast<std::int32_t>(value) + line[position];
                out = out > 32767 ? 32767 : (out < -32768 ? -32768 : out);
                const float fed = static_cast<float>(out) * echoFactor;
                // The line holds 16-bit values: a product outside them is an overflow.
                echoOverflow |= !(fed >= -32768.5f && fed < 32767.5f);
                line[position] = static_cast<std::int16_t>(sample_math::saturate(fed));
                if (++position == lineLength)
                    position = 0;
                value = static_cast<float>(out);
            }
        }
        if constexpr (Phase) {
            const float in = value / 32767.0f;
            const float denominator = 1.0f + wp;
            phaseDivision |= denominator == 0.0f;
            const float coef = (1.0f - wp) / denominator;
            const float x = in + ly4 * feedback;
            float y = (x + ly1) * coef - lx1;
            lx1 = x;
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
        auto runBands = [&](auto kernel) {
            const std::int32_t lag = cascade.bands() - 1;
            for (std::int32_t t = 0; t < count + lag; ++t) {
                const float entering = t < count ? front(static_cast<float>(values[t])) : 0.0f;
                const float leaving = kernel.push(entering, t, count);
                if (t >= lag)
                    values[t - lag] = static_cast<std::int16_t>(leaving);
            }
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

    m_echo.position = position;
    m_allPass = AllPass{{lx1, lx2, lx3, lx4}, {ly1, ly2, ly3, ly4}};
    m_sweep.wp = wp;
    m_sweep.sweepfac = sweepfac;

    // Faults, in the order of the chain. The effect that ran away starts again from silence.
    if (echoOverflow) {
        std::fill(m_echo.values.begin(), m_echo.values.end(), std::int16_t{0});
        m_echo.position = 0;
        fault::raise(fault::kOverflow, kProcess);
    }
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
    switch ((amp ? 1 : 0) | (echo ? 2 : 0) | (phase ? 4 : 0) | (eq ? 8 : 0)) {
    case 1: runChain<true, false, false, false>(intSamples, ampFactor); break;
    case 2: runChain<false, true, false, false>(intSamples, ampFactor); break;
    case 3: runChain<true, true, false, false>(intSamples, ampFactor); break;
    case 4: runChain<false, false, true, false>(intSamples, ampFactor); break;
    case 5: runChain<true, false, true, false>(intSamples, ampFactor); break;
    case 6: runChain<false, true, true, false>(intSamples, ampFactor); break;
    case 7: runChain<true, true, true, false>(intSamples, ampFactor); break;
    case 8: runChain<false, false, false, true>(intSamples, ampFactor); break;
    case 9: runChain<true, false, false, true>(intSamples, ampFactor); break;
    case 10: runChain<false, true, false, true>(intSamples, ampFactor); break;
    case 11: runChain<true, true, false, true>(intSamples, ampFactor); break;
    case 12: runChain<false, false, true, true>(intSamples, ampFactor); break;
    case 13: runChain<true, false, true, true>(intSamples, ampFactor); break;
    case 14: runChain<false, true, true, true>(intSamples, ampFactor); break;
    case 15: runChain<true, true, true, true>(intSamples, ampFactor); break;
    default: break;
    }
}
