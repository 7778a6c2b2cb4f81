// The equaliser inside the chain, and each band against SoX's `equalizer` (double precision).
#include "effects/cls_dsp.h"

#include "../support/tools.h"
#include "signals.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>


TEST(DspEqualizer, ABandLiftsOrCutsItsCentreByItsGain)
{
    for (const auto &[bands, band, gainDb] : {std::tuple{7, 1, 12}, std::tuple{7, 3, -12}, std::tuple{10, 8, -12}, std::tuple{1, 0, 12}}) {
        SCOPED_TRACE(testing::Message() << bands << " bands, band " << band << " at " << gainDb << " dB");
        clsDSP dsp;
        prepare(dsp, 44100, 1, clsDSP::kEqualizer);
        dsp.setEqualizerBands(bands);
        dsp.setEqualizerBandGainDB(band, static_cast<float>(gainDb));
        const Values input = sineBlock(dsp.EqualizerBandFrequency(band), 2000, 88200);
        const Values block = processed(dsp, input);
        EXPECT_NEAR(rmsDb(block, 22050, block.size()) - rmsDb(input, 22050, input.size()), gainDb, 0.5);
    }
}

TEST(EqualizerAgainstSox, ABandMatchesSoxsPeakingFilterOfTheSameFrequencyGainAndBandwidth)
{
    ASSERT_TRUE(haveTool("sox"));
    QTemporaryDir dir;
    const QString in = dir.filePath("in.wav"), out = dir.filePath("out.wav");
    const Values noise = noiseBlock(44100, 8000, 90);
    ASSERT_TRUE(writePcmWav(in, 44100, 1, noise));
    for (const auto &[band, gainDb] : {std::pair{3, 12.0f}, std::pair{5, -9.0f}}) {
        clsDSP dsp;
        prepare(dsp, 44100, 1, clsDSP::kEqualizer);
        dsp.setEqualizerBandGainDB(band, gainDb);
        const Values ours = processed(dsp, noise);
        const IIRFilter &filter = dsp.bandFilter(band);
        const ToolResult sox = runTool("sox", {"-D", "-V1", in, out, "equalizer", QString::number(filter.Frequency(), 'g', 9),
                                               QString::number(filter.Bandwidth(), 'g', 9) + "o", QString::number(gainDb)});
        ASSERT_EQ(sox.exitCode, 0) << sox.err.toStdString();
        const Values theirs = decodeWithSox(out);
        ASSERT_EQ(theirs.size(), ours.size());
        double differenceEnergy = 0;
        int largest = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            differenceEnergy += static_cast<double>(ours[i] - theirs[i]) * (ours[i] - theirs[i]);
            largest = std::max(largest, std::abs(ours[i] - theirs[i]));
        }
        EXPECT_LE(largest, 4) << "band " << band; // float against double
        EXPECT_LT(std::sqrt(differenceEnergy / static_cast<double>(ours.size())), 0.6) << "band " << band;
        EXPECT_GT(std::abs(rmsDb(ours, 0, ours.size()) - rmsDb(noise, 0, noise.size())), 0.5); // the band did change it
    }
}
