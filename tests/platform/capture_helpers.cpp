// The capture tests' signals and look-ups.
#include "capture_helpers.h"

#include <random>

std::vector<std::int16_t> noiseSignal(int frames, int channels, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> magnitude(1, 32767);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    for (std::int16_t &sample : samples)
        sample = static_cast<std::int16_t>(random() % 2 ? magnitude(random) : -magnitude(random));
    return samples;
}

std::optional<SignalMatch> findSignal(std::span<const std::int16_t> captured,
                                      std::span<const std::int16_t> signal, int channels)
{
    const auto firstSound = std::find_if(captured.begin(), captured.end(),
                                         [](std::int16_t sample) { return sample != 0; });
    if (firstSound == captured.end())
        return std::nullopt;
    std::size_t at = static_cast<std::size_t>(firstSound - captured.begin());
    at -= at % static_cast<std::size_t>(channels);

    const std::size_t window = std::min<std::size_t>(64, captured.size() - at);
    const auto probe = captured.subspan(at, window);
    for (std::size_t offset = 0; offset + window <= signal.size(); offset += channels) {
        if (!std::equal(probe.begin(), probe.end(), signal.begin() + offset))
            continue;
        SignalMatch match{at, offset, 0, std::min(captured.size() - at, signal.size() - offset)};
        while (match.matchingSamples < match.comparedSamples &&
               captured[at + match.matchingSamples] == signal[offset + match.matchingSamples])
            ++match.matchingSamples;
        return match;
    }
    return std::nullopt;
}
