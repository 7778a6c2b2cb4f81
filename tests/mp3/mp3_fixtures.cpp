#include "mp3_fixtures.h"

#include "../support/signal_helpers.h"

bool writeToneFile(const QString &path, int rateHz, double seconds)
{
    // Repeatable (-R): sox's dither would otherwise differ from run to run.
    return runTool("sox", {"-R", "-n", "-r", QString::number(rateHz), "-c", "2", "-b", "16", "-e", "signed-integer", path,
                           "synth", QString::number(seconds), "sine", "440", "sine", "1000", "vol", "0.5"})
               .exitCode == 0;
}

Heard hearWithLame(const QString &mp3Path, const QString &wavPath)
{
    if (runTool("lame", {"--quiet", "--decode", mp3Path, wavPath}).exitCode != 0)
        return {};
    Heard heard{soxInfo(wavPath)};
    // Over the middle half of the sound, away from the encoder's start and end.
    const std::vector<std::int16_t> all = decodeWithSox(wavPath);
    const std::size_t quarter = all.size() / 8 * 2;
    const std::vector<std::int16_t> samples(all.begin() + qsizetype(quarter), all.end() - qsizetype(quarter));
    if (heard.info.channels == 2 && samples.size() > 2) {
        heard.leftHz = measureFrequency(samples, 2, heard.info.rateHz);
        heard.rightHz = measureFrequency(std::vector<std::int16_t>(samples.begin() + 1, samples.end()), 2, heard.info.rateHz);
    }
    return heard;
}

int ffprobeBitRate(const QString &path)
{
    return runTool("ffprobe", {"-v", "error", "-show_entries", "stream=bit_rate", "-of", "csv=p=0", path}).out.trimmed().toInt();
}
