// Test signals for the effects and their measurement.
#pragma once

#include "effects/cls_dsp.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

using Values = std::vector<std::int16_t>;

constexpr int kAllEffects = clsDSP::kEcho | clsDSP::kPhaseShift | clsDSP::kAmplifier | clsDSP::kEqualizer;

// A sine of the given peak amplitude, `values` 16-bit values, the same in each channel.
Values sineBlock(double hz, double rateHz, double amplitude, int values, int channels = 1);

// Uniform noise in [-amplitude, amplitude], the same for a given seed.
Values noiseBlock(int values, int amplitude, unsigned seed);

// `values` zeros but for `value` at index `at`.
Values impulse(std::size_t values, std::int16_t value, std::size_t at = 0);

int largestDifference(const Values &a, const Values &b);

// Root-mean-square level in dB of values [from, to).
double rmsDb(const Values &values, std::size_t from, std::size_t to);

// A chain at the given format with the given effects switched on.
void prepare(clsDSP &dsp, int rateHz, int channels, int effects);

// The values after the chain ran over them in blocks of at most blockValues values.
Values processed(clsDSP &dsp, Values values, std::size_t blockValues = 5120);

// The AppError that action raises; number 0 when none.
struct Raised {
    int number = 0;
    QString text;
    QString source;
};
Raised raisedBy(const std::function<void()> &action);
