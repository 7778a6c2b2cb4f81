// What a take asks beyond its file: sound activation (a threshold, the pre-recorded seconds
// before it, the silence that ends the take), parts by length, and RF64 past the RIFF limit.
// The window's "Programmer…" dialog and the command line's options fill the same values and
// get the same refusals.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

struct TakeOptions {
    std::optional<double> triggerDb; // dBFS, at most 0: nothing is written until the level reaches it
    double preRecordSeconds = 0;     // kept from before the trigger
    std::optional<double> silenceStopSeconds; // under the threshold for so long ends the take
    std::optional<double> splitSeconds;       // a new part every so many seconds of sound
    bool rf64 = false; // past the RIFF limit the file becomes RF64 instead of going on in a part
};

// Frames in a length of seconds at rateHz (rounded to the nearest frame).
std::uint64_t framesIn(double seconds, std::int32_t rateHz);

// Why these options are refused, in French; nothing when they are fine. blockFrames is the
// length of one capture block, the shortest part.
std::optional<QString> takeOptionsProblem(const TakeOptions &options, std::int32_t rateHz, std::uint16_t channels,
                                          std::uint64_t blockFrames);

// The next time the clock shows `time`: today, or tomorrow when it has passed.
QDateTime nextOccurrence(const QTime &time);
