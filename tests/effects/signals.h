// Test signals for the effects, their measurement and running the chain over them.
#pragma once

#include "effects/cls_dsp.h"

#include "common/app_error.h"

#include "../support/signal_helpers.h"

#include <cmath>
#include <functional>
#include <random>
#include <span>

using Values = std::vector<std::int16_t>;

constexpr int kAllEffects = clsDSP::kEcho | clsDSP::kPhaseShift | clsDSP::kAmplifier | clsDSP::kEqualizer;

// A mono sine of the given peak amplitude at 44.1 kHz.
inline Values sineBlock(double hz, double amplitude, int values) { return makeTone(hz, 44100, 1, values, amplitude); }

// Uniform noise in [-amplitude, amplitude], the same for a given seed.
inline Values noiseBlock(int values, int amplitude, unsigned seed)
{
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> pick(-amplitude, amplitude);
    Values out(static_cast<std::size_t>(values));
    for (auto &v : out)
        v = static_cast<std::int16_t>(pick(engine));
    return out;
}

// Root-mean-square level in dB of values [from, to).
inline double rmsDb(const Values &values, std::size_t from, std::size_t to)
{
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(values[i]) * values[i];
    return 10 * std::log10(sum / static_cast<double>(to - from));
}

// A chain at the given format with the given effects switched on.
inline void prepare(clsDSP &dsp, int rateHz, int channels, int effects)
{
    dsp.setSamplerate(rateHz);
    dsp.setChannels(static_cast<std::int16_t>(channels));
    dsp.setEffectsUsed(effects);
}

// The values after the chain ran over them in blocks of at most blockValues values.
inline Values processed(clsDSP &dsp, Values values, std::size_t blockValues = 5120)
{
    for (std::size_t start = 0; start < values.size(); start += blockValues)
        dsp.ProcessSamples(std::span<std::int16_t>(values.data() + start, std::min(blockValues, values.size() - start)));
    return values;
}

// The AppError that action raises; number 0 when none.
struct Raised {
    int number = 0;
    QString text, source;
};
inline Raised raisedBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return {error.number(), error.text(), error.source()};
    }
    return {};
}
