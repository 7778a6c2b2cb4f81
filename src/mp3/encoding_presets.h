// The sixteen encoding presets of the conversion window, in list order, each with the preset
// value that reaches cLameEncoder::EncodingPreset, and the progress text the window and the
// command line show.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

struct EncodingPresetItem {
    const char *text; // UTF-8
    std::int32_t value;
};

extern const std::array<EncodingPresetItem, 16> kEncodingPresets;
constexpr int kDefaultPresetIndex = 3;

// Value / max limited to 0...1, times 100; 100 when max is 0 (a source without audio is done
// as soon as it starts).
double progressPercent(std::int32_t value, std::int32_t max);

// "Encodage en cours... " followed by the percentage with one decimal in the user's locale
// and "%": "Encodage en cours... 24,7%" under French settings.
QString encodingProgressText(std::int32_t samplesDone, std::int32_t totalSamples);
