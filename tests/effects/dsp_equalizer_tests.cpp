// The equaliser inside the chain: flat bands pass the signal, a band lifts or cuts its centre
// frequency by its gain, and the bands run side by side exactly as one band after another;
// each band against an independent implementation of the same cookbook filter: SoX's
// `equalizer` effect, which works in double precision, on the same noise.
#include "effects/cls_dsp.h"

#include "../support/tools.h"
#include "signals.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// Level change in dB of a mono sine at the band's centre with the band at gainDb. (A stereo
// block is one stream of alternating values, so there a band acts on the interleaved stream.)
double bandGainAtCentre(int bands, int band, float gainDb)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kEqualizer);
    dsp.setEqualizerBands(bands);
    dsp.setEqualizerBandGainDB(band, gainDb);
    const Values input = sineBlock(dsp.EqualizerBandFrequency(band), 44100, 2000, 88200);
    const Values block = processed(dsp, input);
    return rmsDb(block, 22050, block.size()) - rmsDb(input, 22050, input.size());
}

// Raw signed 16-bit little-endian values, as SoX reads and writes them with the options below.
static_assert(std::endian::native == std::endian::little);

bool writeRaw(const QString &path, const Values &values)
{
    QFile file(path);
    const auto bytes = static_cast<qint64>(values.size() * 2);
    return file.open(QIODevice::WriteOnly) && file.write(reinterpret_cast<const char *>(values.data()), bytes) == bytes;
}

Values readRaw(const QString &path)
{
    const QByteArray bytes = readFileBytes(path);
    Values values(static_cast<std::size_t>(bytes.size() / 2));
    std::memcpy(values.data(), bytes.constData(), values.size() * 2);
    return values;
}

} // namespace

TEST(DspEqualizer, AllBandsAtZeroDbPassTheSignalButForRounding)
{
    // The float recursion of the 80 Hz band, whose poles sit close to 1, lets its round-off
    // grow to a few steps on full-scale noise: far below the signal, never more.
    for (int rateHz : {8000, 22050, 44100, 48000}) {
        SCOPED_TRACE(rateHz);
        clsDSP dsp;
        prepare(dsp, rateHz, 2, clsDSP::kEqualizer);
        const Values input = noiseBlock(51200, 32767, 21);
        Values difference = processed(dsp, input);
        EXPECT_LE(largestDifference(difference, input), 8);
        std::transform(difference.begin(), difference.end(), input.begin(), difference.begin(), std::minus<>());
        EXPECT_GT(rmsDb(input, 0, input.size()) - rmsDb(difference, 0, difference.size()), 75.0);
    }
    // A quiet sine comes through within one step.
    clsDSP dsp;
    prepare(dsp, 44100, 2, clsDSP::kEqualizer);
    const Values input = sineBlock(440, 44100, 3000, 20480, 2);
    EXPECT_LE(largestDifference(processed(dsp, input), input), 1);
}

TEST(DspEqualizer, ABandLiftsOrCutsItsCentreFrequencyByItsGain)
{
    const int cases[][3] = {{7, 1, 12}, {7, 3, 12}, {7, 5, 12}, {7, 1, -12}, {7, 3, -12}, {7, 5, -12}, {1, 0, 12}};
    for (const auto &[bands, band, gainDb] : cases) {
        SCOPED_TRACE(testing::Message() << bands << " bands, band " << band << " at " << gainDb << " dB");
        EXPECT_NEAR(bandGainAtCentre(bands, band, static_cast<float>(gainDb)), gainDb, 0.5);
    }
}

TEST(DspEqualizer, BandsSideBySideGiveExactlyTheBandsOneAfterAnother)
{
    // The chain's equaliser against its bands' designs run one after another with
    // IIRFilter::ProcessSamples_16bit over each block.
    for (int bands : {1, 2, 4, 5, 7, 8, 9, 10}) {
        clsDSP dsp;
        prepare(dsp, 48000, 2, clsDSP::kEqualizer);
        dsp.setEqualizerBands(bands);
        std::vector<IIRFilter> reference;
        for (int i = 0; i < bands; ++i) {
            dsp.setEqualizerBandGainDB(i, static_cast<float>((i * 7) % 25 - 12));
            reference.push_back(dsp.bandFilter(i));
        }
        unsigned seed = 100;
        for (std::size_t size : {5120, 5120, 3, 1, 17, 5120, 2}) {
            const Values input = noiseBlock(static_cast<int>(size), 30000, seed++);
            Values oneByOne = input;
            for (IIRFilter &filter : reference)
                filter.ProcessSamples_16bit(oneByOne);
            ASSERT_EQ(processed(dsp, input), oneByOne) << bands << " bands, block of " << size;
        }
    }
}

TEST(DspEqualizer, ChangingAGainClearsTheBandsMemory)
{
    clsDSP warmed, fresh;
    for (clsDSP *dsp : {&warmed, &fresh})
        prepare(*dsp, 44100, 2, clsDSP::kEqualizer);
    processed(warmed, noiseBlock(5120, 20000, 30));
    warmed.setEqualizerBandGainDB(2, 6);
    fresh.setEqualizerBandGainDB(2, 6);
    const Values input = noiseBlock(5120, 20000, 31);
    EXPECT_EQ(processed(warmed, input), processed(fresh, input));
}

TEST(EqualizerAgainstSox, ABandMatchesSoxsPeakingFilterOfTheSameFrequencyGainAndBandwidth)
{
    ASSERT_TRUE(haveTool("sox"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString in = dir.filePath("in.raw"), out = dir.filePath("out.raw");
    const Values noise = noiseBlock(44100, 8000, 90);
    ASSERT_TRUE(writeRaw(in, noise));

    for (const auto &[band, gainDb] : {std::pair{3, 12.0f}, std::pair{5, -9.0f}}) {
        clsDSP dsp;
        prepare(dsp, 44100, 1, clsDSP::kEqualizer);
        dsp.setEqualizerBandGainDB(band, gainDb);
        const Values ours = processed(dsp, noise);

        const IIRFilter &filter = dsp.bandFilter(band);
        const QStringList raw = {"-t", "raw", "-r", "44100", "-c", "1", "-b", "16", "-e", "signed-integer"};
        const ToolResult sox = runTool(
            "sox", QStringList{"-D", "-V1"} + raw + QStringList{in} + raw +
                       QStringList{out, "equalizer", QString::number(filter.Frequency(), 'g', 9),
                                   QString::number(filter.Bandwidth(), 'g', 9) + "o",
                                   QString::number(gainDb)});
        ASSERT_EQ(sox.exitCode, 0) << sox.err.toStdString();
        const Values theirs = readRaw(out);
        ASSERT_EQ(theirs.size(), ours.size());

        double differenceEnergy = 0;
        for (std::size_t i = 0; i < ours.size(); ++i)
            differenceEnergy += static_cast<double>(ours[i] - theirs[i]) * (ours[i] - theirs[i]);
        EXPECT_LE(largestDifference(ours, theirs), 4) << "band " << band; // float against double, at up to 4x the level
        EXPECT_LT(std::sqrt(differenceEnergy / static_cast<double>(ours.size())), 0.6) << "band " << band;
        // And the band did change the signal, so the comparison means something.
        EXPECT_GT(std::abs(rmsDb(ours, 0, ours.size()) - rmsDb(noise, 0, noise.size())), 0.5);
    }
}
