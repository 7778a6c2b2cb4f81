// The options of `sonoriel record`, parsed from the command line, and how they set up the
// effects chain.
#pragma once

#include "recording/take_options.h"

#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class clsDSP;

struct RecordOptions {
    QString outputPath; // empty: the recordings folder's Enregistrement.wav (or numbered)
    bool numbered = false;
    int device = 0;
    std::optional<int> line;
    std::optional<int> volume;
    QString rateText = QStringLiteral("44100");
    bool stereo = true;
    std::optional<double> seconds;
    std::int32_t effectsUsed = 0;
    std::optional<int> amplifyDb;
    std::optional<std::pair<int, float>> echo;           // delay ms, factor
    std::optional<std::array<float, 6>> phaser;          // dry, wet, feedback, rate, range, frequency
    std::optional<std::vector<float>> equalizerGainsDb;  // one per band
    std::optional<int> formatIndex; // in the list of `sonoriel formats` for this rate and channels
    TakeOptions take;               // trigger, pre-recording, silence stop, parts, RF64
    std::optional<QTime> startAt;   // today, or tomorrow when the time has passed
    bool monitor = false;           // the recorded sound is heard on the default output
};

// Nothing, with the French reason in *problem, when the arguments do not parse.
std::optional<RecordOptions> parseRecordOptions(const QStringList &arguments, QString *problem);

// Applies the effect settings; the effects chain raises AppError for values it refuses.
void applyEffectOptions(const RecordOptions &options, clsDSP &effects);
