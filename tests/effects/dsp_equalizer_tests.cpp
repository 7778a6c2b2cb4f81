// The equaliser inside the chain: flat bands pass the signal, a band lifts or cuts its centre
// frequency by its gain, and the bands run side by side exactly as one band after another.
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>

namespace {

// Level change in dB of a mono sine at the band's centre with the band at gainDb. (A stereo
// block is one stream of alternating values, so there a band acts on the interleaved stream.)
double bandGainAtCentre(int bands, int band, float gainDb, int rateHz = 44100)
{
    clsDSP dsp;
    prepare(dsp, rateHz, 1, clsDSP::kEqualizer);
    dsp.setEqualizerBands(bands);
    dsp.setEqualizerBandGainDB(band, gainDb);
    const double hz = dsp.EqualizerBandFrequency(band);
    std::vector<std::int16_t> block = sineBlock(hz, rateHz, 2000, 2 * rateHz);
    const std::vector<std::int16_t> input = block;
    processInBlocks(dsp, block, 5120);
    return rmsDb(block, static_cast<std::size_t>(rateHz / 2), block.size()) -
           rmsDb(input, static_cast<std::size_t>(rateHz / 2), input.size());
}

// The chain's equaliser output against its bands' designs run one after another with
// IIRFilter::ProcessSamples_16bit over each block.
void expectSameAsBandsOneAfterAnother(int bands, const std::vector<std::size_t> &blockSizes)
{
    clsDSP dsp;
    prepare(dsp, 48000, 2, clsDSP::kEqualizer);
    dsp.setEqualizerBands(bands);
    for (int i = 0; i < bands; ++i)
        dsp.setEqualizerBandGainDB(i, static_cast<float>((i * 7) % 25 - 12));
    std::vector<IIRFilter> reference;
    for (int i = 0; i < bands; ++i)
        reference.push_back(dsp.bandFilter(i));

    unsigned seed = 100;
    for (std::size_t size : blockSizes) {
        const std::vector<std::int16_t> input = noiseBlock(static_cast<int>(size), 30000, seed++);
        std::vector<std::int16_t> chain = input;
        dsp.ProcessSamples(chain);
        std::vector<std::int16_t> oneByOne = input;
        for (IIRFilter &filter : reference)
            filter.ProcessSamples_16bit(oneByOne);
        ASSERT_EQ(chain, oneByOne) << bands << " bands, block of " << size;
    }
}

} // namespace

TEST(DspEqualizer, AllBandsAtZeroDbPassTheSignalButForRounding)
{
    // The float recursion of the 80 Hz band, whose poles sit close to 1, lets its round-off
    // grow to a few steps on full-scale noise: far below the signal, never more.
    for (int rateHz : {8000, 22050, 44100, 48000}) {
        clsDSP dsp;
        prepare(dsp, rateHz, 2, clsDSP::kEqualizer);
        const std::vector<std::int16_t> input = noiseBlock(51200, 32767, 21);
        std::vector<std::int16_t> block = input;
        processInBlocks(dsp, block, 5120);
        std::vector<std::int16_t> difference(block.size());
        int largest = 0;
        for (std::size_t i = 0; i < block.size(); ++i) {
            difference[i] = static_cast<std::int16_t>(block[i] - input[i]);
            largest = std::max(largest, std::abs(block[i] - input[i]));
        }
        EXPECT_LE(largest, 8) << rateHz;
        EXPECT_GT(rmsDb(input, 0, input.size()) - rmsDb(difference, 0, difference.size()), 75.0) << rateHz;
    }
}

TEST(DspEqualizer, AllBandsAtZeroDbPassAQuietSignalUnchangedButForOneStep)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, clsDSP::kEqualizer);
    const std::vector<std::int16_t> input = sineBlock(440, 44100, 3000, 20480, 2);
    std::vector<std::int16_t> block = input;
    processInBlocks(dsp, block, 5120);
    for (std::size_t i = 0; i < block.size(); ++i)
        ASSERT_LE(std::abs(block[i] - input[i]), 1) << i;
}

TEST(DspEqualizer, ABandAtPlus12DbMakesItsCentreFrequencyAbout12DbLouder)
{
    for (int band : {1, 3, 5})
        EXPECT_NEAR(bandGainAtCentre(7, band, 12), 12.0, 0.5) << band;
}

TEST(DspEqualizer, ABandAtMinus12DbMakesItsCentreFrequencyAbout12DbSofter)
{
    for (int band : {1, 3, 5})
        EXPECT_NEAR(bandGainAtCentre(7, band, -12), -12.0, 0.5) << band;
}

TEST(DspEqualizer, ASingleBandLiftsItsCentreByItsGain)
{
    EXPECT_NEAR(bandGainAtCentre(1, 0, 12), 12.0, 0.5);
}

TEST(DspEqualizer, ABandLeavesFrequenciesFarFromItAlone)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kEqualizer);
    dsp.setEqualizerBandGainDB(6, 12); // 14.7 kHz
    std::vector<std::int16_t> block = sineBlock(100, 44100, 3000, 44100);
    const std::vector<std::int16_t> input = block;
    processInBlocks(dsp, block, 5120);
    EXPECT_NEAR(rmsDb(block, 22050, block.size()), rmsDb(input, 22050, input.size()), 0.3);
}

TEST(DspEqualizer, BandsSideBySideGiveExactlyTheBandsOneAfterAnother)
{
    const std::vector<std::size_t> sizes = {5120, 5120, 3, 1, 17, 5120, 2};
    for (int bands : {1, 2, 4, 5, 7, 8, 9, 10})
        expectSameAsBandsOneAfterAnother(bands, sizes);
}

TEST(DspEqualizer, ChangingAGainClearsTheBandsMemory)
{
    clsDSP warmed, fresh;
    for (clsDSP *dsp : {&warmed, &fresh})
        prepare(*dsp, 44100, 2, clsDSP::kEqualizer);
    std::vector<std::int16_t> warmUp = noiseBlock(5120, 20000, 30);
    warmed.ProcessSamples(warmUp);
    warmed.setEqualizerBandGainDB(2, 6);
    fresh.setEqualizerBandGainDB(2, 6);
    const std::vector<std::int16_t> input = noiseBlock(5120, 20000, 31);
    std::vector<std::int16_t> a = input, b = input;
    warmed.ProcessSamples(a);
    fresh.ProcessSamples(b);
    EXPECT_EQ(a, b);
}
