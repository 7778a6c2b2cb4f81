#include "recording/recording_numbering.h"

#include "common/paths.h"
#include "recording/take_parts.h"

namespace {

constexpr int kLastNumber = 32767; // the counter is 16-bit signed

} // namespace

QString numberedRecordingPath(const QString &programFolder, int number)
{
    const QString digits = number < 10 ? QStringLiteral("0") + QString::number(number) : QString::number(number);
    return AddBackslash(AddBackslash(programFolder) + QStringLiteral("Wav")) + QStringLiteral("Enreg_") +
           digits + QStringLiteral(".wav");
}

QString nextNumberedRecordingPath(const QString &programFolder)
{
    for (int n = 1; n <= kLastNumber; ++n) {
        const QString path = numberedRecordingPath(programFolder, n);
        // A take split in parts leaves its name free and takes its parts' names.
        if (!FileExists(path) && !FileExists(takePartPath(path, 1)))
            return path;
    }
    return {};
}
