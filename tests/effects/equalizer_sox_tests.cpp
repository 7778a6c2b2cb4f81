// The equaliser's bands against an independent implementation of the same cookbook filter:
// SoX's `equalizer` effect, which works in double precision, on the same noise.
#include "effects/cls_dsp.h"

#include "../support/tools.h"
#include "signals.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

bool writeRaw(const QString &path, const std::vector<std::int16_t> &values)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (std::int16_t v : values) {
        const auto u = static_cast<std::uint16_t>(v);
        bytes.append(static_cast<char>(u & 0xff));
        bytes.append(static_cast<char>(u >> 8));
    }
    return file.write(bytes) == bytes.size();
}

std::vector<std::int16_t> readRaw(const QString &path)
{
    const QByteArray bytes = readFileBytes(path);
    std::vector<std::int16_t> values(static_cast<std::size_t>(bytes.size() / 2));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto lo = static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(2 * i)]);
        const auto hi = static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(2 * i + 1)]);
        values[i] = static_cast<std::int16_t>(lo | (hi << 8));
    }
    return values;
}

} // namespace

TEST(EqualizerAgainstSox, ABandMatchesSoxsPeakingFilterOfTheSameFrequencyGainAndBandwidth)
{
    ASSERT_TRUE(haveTool("sox"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString in = dir.filePath("in.raw"), out = dir.filePath("out.raw");
    const std::vector<std::int16_t> noise = noiseBlock(44100, 8000, 90);
    ASSERT_TRUE(writeRaw(in, noise));

    for (const auto &[band, gainDb] : {std::pair{3, 12.0f}, std::pair{5, -9.0f}}) {
        clsDSP dsp;
        prepare(dsp, 44100, 1, clsDSP::kEqualizer);
        dsp.setEqualizerBandGainDB(band, gainDb);
        std::vector<std::int16_t> ours = noise;
        processInBlocks(dsp, ours, 5120);

        const IIRFilter &filter = dsp.bandFilter(band);
        const QStringList raw = {"-t", "raw", "-r", "44100", "-c", "1", "-b", "16", "-e", "signed-integer"};
        const ToolResult sox = runTool(
            "sox", QStringList{"-D", "-V1"} + raw + QStringList{in} + raw +
                       QStringList{out, "equalizer", QString::number(filter.Frequency(), 'g', 9),
                                   QString::number(filter.Bandwidth(), 'g', 9) + "o",
                                   QString::number(gainDb)});
        ASSERT_EQ(sox.exitCode, 0) << sox.err.toStdString();
        const std::vector<std::int16_t> theirs = readRaw(out);
        ASSERT_EQ(theirs.size(), ours.size());

        int largest = 0;
        double differenceEnergy = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            const int d = ours[i] - theirs[i];
            largest = std::max(largest, std::abs(d));
            differenceEnergy += static_cast<double>(d) * d;
        }
        EXPECT_LE(largest, 4) << "band " << band; // float against double, at up to four times the level
        EXPECT_LT(std::sqrt(differenceEnergy / static_cast<double>(ours.size())), 0.6) << "band " << band;
        // And the band did change the signal, so the comparison means something.
        EXPECT_GT(std::abs(rmsDb(ours, 0, ours.size()) - rmsDb(noise, 0, noise.size())), 0.5);
    }
}
