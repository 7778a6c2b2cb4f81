#include "mp3/encoding_presets.h"

#include "common/number_format.h"
#include "common/rounding.h"

#include <algorithm>

const std::array<EncodingPresetItem, 16> kEncodingPresets = {{
    {"(Défaut)", -1},
    {"Qualité Voix  (VBR 32kHz, 100-140kbps)", 3},
    {"R3 Mix Qualité (VBR 44.1kHz, 190-200kbps)", 4},
    {"Qualité Standard (VBR 44.1kHz, 170-210kbps)", 6},
    {"Qualité Standard Rapide (VBR 44.1kHz, 170-210kbps)", 7},
    {"Qualité Extreme (VBR 44.1kHz 200-240kbps)", 8},
    {"QualitéExtreme Rapide (VBR 44.1kHz 200-240kbps)", 9},
    {"Insane (CBR 44.1kHz 320kbps)", 10},
    {"Qualité Normale (CBR 44.1kHz, 128kbps)", 0},
    {"Basse Qualité (CBR 44.1kHz, 128kbps)", 1},
    {"Qualité Moyenne (CBR 44.1kHz, 128kbps)", 13},
    {"Qualité Moyenne Rapide (CBR 44.1kHz, 128kbps)", 14},
    {"Haute Qualité (CBR 44.1kHz, 128kbps)", 2},
    {"Très Haute Qualité (CBR 44.1kHz, 128kbps, very slow)", 5},
    {"ABR (Must set bit rate)", 11},
    {"CBR (Must set bit rate)", 12},
}};

double progressPercent(std::int32_t value, std::int32_t max)
{
    if (max <= 0)
        return 100.0;
    return std::clamp(static_cast<double>(value) / max, 0.0, 1.0) * 100.0;
}

QString encodingProgressText(std::int32_t samplesDone, std::int32_t totalSamples)
{
    // "##0.0" rounds halves away from zero.
    const double tenths = roundHalfAway(progressPercent(samplesDone, totalSamples) * 10.0) / 10.0;
    return QStringLiteral("Encodage en cours... ") + formatFixed(tenths, 1) + QLatin1Char('%');
}
