// The display timer's tick.
#include "display/display_tick.h"

#include "common/file_names.h"

#include "display/meters.h"
#include "display/status_texts.h"


namespace {

// The output file's length as the file system reports it now; 0 when it cannot be examined
// (removed or locked from outside the program during the recording).
double fileSizeNow(const QString &path)
{
    return static_cast<double>(fileLengthNow(path));
}

} // namespace

StatusPanels idleStatusPanels()
{
    return StatusPanels{QStringLiteral("Taille : 0 Octet"), QStringLiteral("Durée : 0:00")};
}

StatusPanels runDisplayTick(const DisplayTickInputs &inputs, DisplayTickTargets &targets)
{
    if (!inputs.isRecording)
        return idleStatusPanels();

    targets.clsPainter.DrawAmplitudes(inputs.intLastBlock, targets.picAmpl);
    targets.clsPainter.DrawFrequencies(inputs.intLastBlock, targets.picFreq);

    std::int32_t leftPeak;
    std::int32_t rightPeak;
    if (inputs.stereo) {
        leftPeak = ChannelPeak(inputs.intLastBlock, 0, 2);
        rightPeak = ChannelPeak(inputs.intLastBlock, 1, 2);
    } else {
        leftPeak = ChannelPeak(inputs.intLastBlock, 0, 1);
        rightPeak = leftPeak;
    }
    if (leftPeak == 0)
        leftPeak = 1;
    if (rightPeak == 0)
        rightPeak = 1;

    targets.smoothLeft.SmoothAdd(static_cast<float>(leftPeak));
    targets.smoothRight.SmoothAdd(static_cast<float>(rightPeak));
    DrawMeter(targets.clsPainter, targets.picVUL, targets.smoothLeft.SmoothGetMax() / 32768);
    DrawMeter(targets.clsPainter, targets.picVUR, targets.smoothRight.SmoothGetMax() / 32768);

    return StatusPanels{QStringLiteral("Taille : ") + FormatSize(fileSizeNow(inputs.txtFile)),
                        QStringLiteral("Durée : ") + FormatDuration(inputs.lngRecordedMs)};
}
