// Test signals for the effects and their measurement.
#include "signals.h"

#include "common/app_error.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <span>

Values sineBlock(double hz, double rateHz, double amplitude, int values, int channels)
{
    Values out(static_cast<std::size_t>(values));
    for (int i = 0; i < values; ++i) {
        const int frame = i / channels;
        out[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * frame / rateHz)));
    }
    return out;
}

Values noiseBlock(int values, int amplitude, unsigned seed)
{
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> pick(-amplitude, amplitude);
    Values out(static_cast<std::size_t>(values));
    for (auto &v : out)
        v = static_cast<std::int16_t>(pick(engine));
    return out;
}

Values impulse(std::size_t values, std::int16_t value, std::size_t at)
{
    Values out(values, 0);
    out[at] = value;
    return out;
}

int largestDifference(const Values &a, const Values &b)
{
    int largest = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

double rmsDb(const Values &values, std::size_t from, std::size_t to)
{
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(values[i]) * values[i];
    return 10 * std::log10(sum / static_cast<double>(to - from));
}

void prepare(clsDSP &dsp, int rateHz, int channels, int effects)
{
    dsp.setSamplerate(rateHz);
    dsp.setChannels(static_cast<std::int16_t>(channels));
    dsp.setEffectsUsed(effects);
}

Values processed(clsDSP &dsp, Values values, std::size_t blockValues)
{
    for (std::size_t start = 0; start < values.size(); start += blockValues) {
        const std::size_t n = std::min(blockValues, values.size() - start);
        dsp.ProcessSamples(std::span<std::int16_t>(values.data() + start, n));
    }
    return values;
}

Raised raisedBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return {error.number(), error.text(), error.source()};
    }
    return {};
}
