// The biquad filter on 16-bit and 8-bit values: what each type lets through, the clipping
// table, the stream across blocks, the on/off switch and the memory cleared by a redesign.
#include "effects/iir_filter.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;

IIRFilter designed(std::int32_t type, float gainDb, float hz, float bandwidth = 1.0f)
{
    IIRFilter filter;
    filter.CreateBiquadIIR(type, gainDb, hz, kRate, bandwidth);
    return filter;
}

// Level change in dB of a sine of `hz` through the filter, measured after it settled.
double gainAt(IIRFilter filter, double hz)
{
    std::vector<std::int16_t> signal = sineBlock(hz, kRate, 8000, 44100);
    const std::vector<std::int16_t> input = signal;
    filter.ProcessSamples_16bit(signal);
    return rmsDb(signal, 4410, signal.size()) - rmsDb(input, 4410, input.size());
}

} // namespace

TEST(IIRFilter, LowPassKeepsLowFrequenciesAndCutsHighOnes)
{
    const IIRFilter lowPass = designed(IIRFilter::kLowPass, 0, 1000);
    EXPECT_NEAR(gainAt(lowPass, 100), 0.0, 0.2);
    EXPECT_LT(gainAt(lowPass, 10000), -30.0);
}

TEST(IIRFilter, HighPassKeepsHighFrequenciesAndCutsLowOnes)
{
    const IIRFilter highPass = designed(IIRFilter::kHighPass, 0, 1000);
    EXPECT_NEAR(gainAt(highPass, 10000), 0.0, 0.2);
    EXPECT_LT(gainAt(highPass, 100), -30.0);
}

TEST(IIRFilter, BandPassPeaksAtZeroDbOnItsCentre)
{
    const IIRFilter bandPass = designed(IIRFilter::kBandPass, 0, 2000);
    EXPECT_NEAR(gainAt(bandPass, 2000), 0.0, 0.2);
    EXPECT_LT(gainAt(bandPass, 200), -10.0);
    EXPECT_LT(gainAt(bandPass, 15000), -10.0);
}

TEST(IIRFilter, PeakingFilterLiftsAndCutsItsCentreByItsGain)
{
    EXPECT_NEAR(gainAt(designed(IIRFilter::kPeaking, 12, 3000), 3000), 12.0, 0.2);
    EXPECT_NEAR(gainAt(designed(IIRFilter::kPeaking, -12, 3000), 3000), -12.0, 0.2);
    EXPECT_NEAR(gainAt(designed(IIRFilter::kPeaking, 12, 3000), 100), 0.0, 0.3);
}

TEST(IIRFilter, PeakingAtZeroDbPassesEvery16BitValueUnchanged)
{
    IIRFilter flat = designed(IIRFilter::kPeaking, 0, 1000);
    std::vector<std::int16_t> all;
    for (int v = -32768; v <= 32767; ++v)
        all.push_back(static_cast<std::int16_t>(v));
    std::vector<std::int16_t> filtered = all;
    flat.ProcessSamples_16bit(filtered);
    EXPECT_EQ(filtered, all);
}

TEST(IIRFilter, MinusOneWritesMinus32767AndOnlyValuesBelowItReachMinus32768)
{
    // At 0 dB the peaking filter gives y = x exactly, so each input lands on one row of the
    // clipping table: -32767 is y = -1.0, -32768 is y = -32768 / 32767 < -1.
    IIRFilter flat = designed(IIRFilter::kPeaking, 0, 1000);
    std::vector<std::int16_t> values = {32767, -32767, -32768};
    flat.ProcessSamples_16bit(values);
    EXPECT_EQ(values, (std::vector<std::int16_t>{32767, -32767, -32768}));
}

TEST(IIRFilter, EightBitPathPassesEveryValueAtZeroDbAndClipsLikeTheTable)
{
    IIRFilter flat = designed(IIRFilter::kPeaking, 0, 1000);
    std::vector<std::uint8_t> all;
    for (int v = 0; v <= 255; ++v)
        all.push_back(static_cast<std::uint8_t>(v));
    std::vector<std::uint8_t> filtered = all;
    flat.ProcessSamples_8bit(filtered);
    EXPECT_EQ(filtered, all);
}

TEST(IIRFilter, EightBitPathFiltersAroundTheMidpoint)
{
    IIRFilter lowPass = designed(IIRFilter::kLowPass, 0, 500);
    std::vector<std::uint8_t> values(2000);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = (i % 2 == 0) ? 228 : 28; // Nyquist-rate square around 128
    lowPass.ProcessSamples_8bit(values);
    for (std::size_t i = 1000; i < values.size(); ++i)
        EXPECT_NEAR(values[i], 128, 2) << i;
}

TEST(IIRFilter, OverrunsBeyondFullScaleSaturateInsteadOfWrapping)
{
    IIRFilter boost = designed(IIRFilter::kPeaking, 12, 1000);
    std::vector<std::int16_t> loud = sineBlock(1000, kRate, 30000, 8820);
    boost.ProcessSamples_16bit(loud);
    int highs = 0, lows = 0;
    for (std::size_t i = 4410; i < loud.size(); ++i) {
        highs += loud[i] == 32767;
        lows += loud[i] == -32768;
        // A wrapped value would jump across zero between neighbours of a 1 kHz sine.
        EXPECT_LT(std::abs(loud[i] - loud[i - 1]), 20000) << i;
    }
    EXPECT_GT(highs, 100);
    EXPECT_GT(lows, 100);
}

TEST(IIRFilter, TwoBlocksGiveTheSameResultAsOneBlockHoldingBoth)
{
    const std::vector<std::int16_t> input = noiseBlock(6000, 20000, 7);
    IIRFilter whole = designed(IIRFilter::kPeaking, 9, 800, 1.3f);
    IIRFilter split = whole;
    std::vector<std::int16_t> once = input;
    whole.ProcessSamples_16bit(once);
    std::vector<std::int16_t> twice = input;
    split.ProcessSamples_16bit(std::span<std::int16_t>(twice.data(), 2500));
    split.ProcessSamples_16bit(std::span<std::int16_t>(twice.data() + 2500, twice.size() - 2500));
    EXPECT_EQ(twice, once);
}

TEST(IIRFilter, DisabledFilterLeavesTheArrayBitForBitAndItsMemoryInPlace)
{
    const std::vector<std::int16_t> first = noiseBlock(3000, 20000, 1);
    const std::vector<std::int16_t> second = noiseBlock(3000, 20000, 2);
    IIRFilter reference = designed(IIRFilter::kLowPass, 0, 3000);
    IIRFilter paused = reference;

    std::vector<std::int16_t> a = first, b = second;
    reference.ProcessSamples_16bit(a);
    reference.ProcessSamples_16bit(b);

    std::vector<std::int16_t> a2 = first, untouched = noiseBlock(3000, 30000, 3), b2 = second;
    const std::vector<std::int16_t> untouchedCopy = untouched;
    paused.ProcessSamples_16bit(a2);
    paused.setEnabled(false);
    paused.ProcessSamples_16bit(untouched);
    paused.setEnabled(true);
    paused.ProcessSamples_16bit(b2);

    EXPECT_EQ(untouched, untouchedCopy);
    EXPECT_EQ(b2, b); // continues as if the disabled block had never come
}

TEST(IIRFilter, SettingAParameterAfterProcessingClearsTheMemory)
{
    const std::vector<std::int16_t> block = noiseBlock(2000, 20000, 11);
    std::vector<std::int16_t> expected = block;
    designed(IIRFilter::kPeaking, 6, 1000).ProcessSamples_16bit(expected);

    auto afterWarmUp = [&](auto set) {
        IIRFilter filter = designed(IIRFilter::kPeaking, 6, 1000);
        std::vector<std::int16_t> warmUp = noiseBlock(500, 20000, 12);
        filter.ProcessSamples_16bit(warmUp);
        set(filter);
        std::vector<std::int16_t> out = block;
        filter.ProcessSamples_16bit(out);
        return out;
    };
    EXPECT_EQ(afterWarmUp([](IIRFilter &f) { f.setGainDB(6); }), expected);
    EXPECT_EQ(afterWarmUp([](IIRFilter &f) { f.setFrequency(1000); }), expected);
    EXPECT_EQ(afterWarmUp([](IIRFilter &f) { f.setBandwidth(1.0f); }), expected);
    EXPECT_EQ(afterWarmUp([](IIRFilter &f) { f.setSamplerate(44100); }), expected);
}

TEST(IIRFilter, CreateStoresItsParametersWithTheRateRoundedHalfToEven)
{
    IIRFilter filter;
    filter.CreateBiquadIIR(IIRFilter::kHighPass, -3.5f, 250.0f, 22050.5f, 0.75f);
    EXPECT_EQ(filter.IIRType(), IIRFilter::kHighPass);
    EXPECT_EQ(filter.GainDB(), -3.5f);
    EXPECT_EQ(filter.Frequency(), 250.0f);
    EXPECT_EQ(filter.samplerate(), 22050);
    EXPECT_EQ(filter.Bandwidth(), 0.75f);
    EXPECT_TRUE(filter.Enabled());
}

TEST(IIRFilter, ParameterSetsBeforeARateOnlyStore)
{
    IIRFilter filter;
    filter.setFrequency(0); // would fault in a design
    filter.setGainDB(4);
    filter.setBandwidth(2);
    EXPECT_EQ(filter.GainDB(), 4.0f);
    EXPECT_EQ(filter.section().b0, 0.0f);
    filter.setFrequency(500);
    filter.setSamplerate(44100); // now designs from the stored fields: a low-pass, type 0
    EXPECT_EQ(filter.samplerate(), 44100);
    EXPECT_NEAR(gainAt(filter, 50), 0.0, 0.2);
    EXPECT_LT(gainAt(filter, 10000), -40.0);
}
