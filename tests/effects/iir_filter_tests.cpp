// The biquad filter on 16-bit and 8-bit values: what each type lets through, the clipping
// table, the stream across blocks, the on/off switch and the memory cleared by a redesign;
// floating-point faults of its design and processing reach the caller as the runtime's errors,
// and a design that faults leaves the filter exactly as it was.
#include "effects/iir_filter.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <tuple>

namespace {

constexpr float kRate = 44100.0f;

IIRFilter designed(std::int32_t type, float gainDb, float hz, float bandwidth = 1.0f)
{
    IIRFilter filter;
    filter.CreateBiquadIIR(type, gainDb, hz, kRate, bandwidth);
    return filter;
}

// The values after the filter ran over them as one block.
Values filtered(IIRFilter &filter, Values values)
{
    filter.ProcessSamples_16bit(values);
    return values;
}

// Level change in dB of a sine of `hz` through the filter, measured after it settled.
double gainAt(IIRFilter filter, double hz)
{
    const Values input = sineBlock(hz, kRate, 8000, 44100);
    const Values signal = filtered(filter, input);
    return rmsDb(signal, 4410, signal.size()) - rmsDb(input, 4410, input.size());
}

// Type, frequency, gain, bandwidth and rate as the filter reads them back.
auto parameters(const IIRFilter &f)
{
    return std::tuple{f.IIRType(), f.Frequency(), f.GainDB(), f.Bandwidth(), f.samplerate()};
}

} // namespace

TEST(IIRFilter, EachTypeLetsThroughWhatItShould)
{
    struct Case {
        const char *name;
        std::int32_t type;
        float gainDb, hz;
        double probeHz, lowestDb, highestDb;
    };
    const Case cases[] = {
        {"low-pass keeps low", IIRFilter::kLowPass, 0, 1000, 100, -0.2, 0.2},
        {"low-pass cuts high", IIRFilter::kLowPass, 0, 1000, 10000, -200, -30},
        {"high-pass keeps high", IIRFilter::kHighPass, 0, 1000, 10000, -0.2, 0.2},
        {"high-pass cuts low", IIRFilter::kHighPass, 0, 1000, 100, -200, -30},
        {"band-pass peaks at 0 dB on its centre", IIRFilter::kBandPass, 0, 2000, 2000, -0.2, 0.2},
        {"band-pass cuts below", IIRFilter::kBandPass, 0, 2000, 200, -200, -10},
        {"band-pass cuts above", IIRFilter::kBandPass, 0, 2000, 15000, -200, -10},
        {"peaking lifts its centre", IIRFilter::kPeaking, 12, 3000, 3000, 11.8, 12.2},
        {"peaking cuts its centre", IIRFilter::kPeaking, -12, 3000, 3000, -12.2, -11.8},
        {"peaking leaves far frequencies", IIRFilter::kPeaking, 12, 3000, 100, -0.3, 0.3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const double db = gainAt(designed(c.type, c.gainDb, c.hz), c.probeHz);
        EXPECT_GE(db, c.lowestDb);
        EXPECT_LE(db, c.highestDb);
    }
}

TEST(IIRFilter, PeakingAtZeroDbPassesEvery16BitAnd8BitValueUnchanged)
{
    // y = x exactly, so each input lands on one row of the clipping table: -32767 is y = -1.0,
    // -32768 is y = -32768 / 32767 < -1.
    Values all(65536);
    std::iota(all.begin(), all.end(), std::int16_t{-32768});
    IIRFilter flat = designed(IIRFilter::kPeaking, 0, 1000);
    EXPECT_EQ(filtered(flat, all), all);

    std::vector<std::uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    std::vector<std::uint8_t> filteredBytes = bytes;
    designed(IIRFilter::kPeaking, 0, 1000).ProcessSamples_8bit(filteredBytes);
    EXPECT_EQ(filteredBytes, bytes);
}

TEST(IIRFilter, EightBitPathFiltersAroundTheMidpoint)
{
    std::vector<std::uint8_t> values(2000);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = (i % 2 == 0) ? 228 : 28; // Nyquist-rate square around 128
    designed(IIRFilter::kLowPass, 0, 500).ProcessSamples_8bit(values);
    for (std::size_t i = 1000; i < values.size(); ++i)
        EXPECT_NEAR(values[i], 128, 2) << i;
}

TEST(IIRFilter, OverrunsBeyondFullScaleSaturateInsteadOfWrapping)
{
    Values loud = sineBlock(1000, kRate, 30000, 8820);
    designed(IIRFilter::kPeaking, 12, 1000).ProcessSamples_16bit(loud);
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
    const Values input = noiseBlock(6000, 20000, 7);
    IIRFilter whole = designed(IIRFilter::kPeaking, 9, 800, 1.3f), split = whole;
    Values twice = input;
    split.ProcessSamples_16bit(std::span<std::int16_t>(twice.data(), 2500));
    split.ProcessSamples_16bit(std::span<std::int16_t>(twice.data() + 2500, twice.size() - 2500));
    EXPECT_EQ(twice, filtered(whole, input));
}

TEST(IIRFilter, DisabledFilterLeavesTheArrayBitForBitAndItsMemoryInPlace)
{
    IIRFilter reference = designed(IIRFilter::kLowPass, 0, 3000), paused = reference;
    const Values a = noiseBlock(3000, 20000, 1), b = noiseBlock(3000, 20000, 2), c = noiseBlock(3000, 30000, 3);
    filtered(reference, a);
    filtered(paused, a);
    paused.setEnabled(false);
    EXPECT_EQ(filtered(paused, c), c);
    paused.setEnabled(true);
    EXPECT_EQ(filtered(paused, b), filtered(reference, b)); // as if the disabled block had never come
}

TEST(IIRFilter, SettingAParameterAfterProcessingClearsTheMemory)
{
    const Values block = noiseBlock(2000, 20000, 11);
    IIRFilter fresh = designed(IIRFilter::kPeaking, 6, 1000);
    const Values expected = filtered(fresh, block);

    auto afterWarmUp = [&](auto set) {
        IIRFilter filter = designed(IIRFilter::kPeaking, 6, 1000);
        filtered(filter, noiseBlock(500, 20000, 12));
        set(filter);
        return filtered(filter, block);
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
    EXPECT_EQ(parameters(filter), std::tuple(IIRFilter::kHighPass, 250.0f, -3.5f, 0.75f, 22050));
    EXPECT_TRUE(filter.Enabled());
}

TEST(IIRFilter, ParameterSetsBeforeARateOnlyStoreAndARateWhileTheFrequencyIsZeroFails)
{
    IIRFilter filter;
    filter.setFrequency(0); // would fault in a design
    filter.setGainDB(4);
    filter.setBandwidth(2);
    EXPECT_EQ(filter.GainDB(), 4.0f);
    EXPECT_EQ(filter.section().b0, 0.0f);
    EXPECT_EQ(raisedBy([&] { filter.setSamplerate(44100); }).number, 6);
    EXPECT_EQ(filter.samplerate(), 0); // the rate is kept
    filter.setFrequency(500);
    filter.setSamplerate(44100); // now designs from the stored fields: a low-pass, type 0
    EXPECT_EQ(filter.samplerate(), 44100);
    EXPECT_NEAR(gainAt(filter, 50), 0.0, 0.2);
    EXPECT_LT(gainAt(filter, 10000), -40.0);
}

TEST(IIRFilterFaults, ADesignThatFaultsIsAnErrorAndLeavesTheFilterAsItWas)
{
    const std::vector<std::pair<const char *, std::function<void(IIRFilter &)>>> faults = {
        {"frequency 0", [](IIRFilter &f) { f.CreateBiquadIIR(IIRFilter::kPeaking, 6, 0, 44100, 1); }},
        {"set frequency 0", [](IIRFilter &f) { f.setFrequency(0); }},
        {"type 4", [](IIRFilter &f) { f.CreateBiquadIIR(4, 0, 1000, 44100, 1); }},
        {"type -1", [](IIRFilter &f) { f.CreateBiquadIIR(-1, 0, 1000, 44100, 1); }},
        {"gain beyond float", [](IIRFilter &f) { f.setGainDB(4000); }},
        {"bandwidth beyond float", [](IIRFilter &f) { f.setBandwidth(1e30f); }},
    };
    for (const auto &[name, fault] : faults) {
        SCOPED_TRACE(name);
        IIRFilter filter;
        filter.CreateBiquadIIR(IIRFilter::kPeaking, 6, 1000, 44100, 1);
        filtered(filter, noiseBlock(300, 10000, 1));
        IIRFilter twin = filter;
        EXPECT_EQ(raisedBy([&] { fault(filter); }).number, 6);
        EXPECT_EQ(parameters(filter), parameters(twin));
        const Values next = noiseBlock(1000, 20000, 5);
        EXPECT_EQ(filtered(filter, next), filtered(twin, next)); // memory kept too
    }
}

TEST(IIRFilterFaults, RateZeroIsADivisionByZeroWithTheRuntimeText)
{
    IIRFilter filter;
    const Raised r = raisedBy([&] { filter.CreateBiquadIIR(IIRFilter::kLowPass, 0, 1000, 0, 1); });
    EXPECT_EQ(r.number, 11);
    EXPECT_EQ(r.text, QStringLiteral("Division by zero"));
    EXPECT_TRUE(r.source.endsWith(QStringLiteral(".IIRFilter.CreateBiquadIIR"))) << r.source.toStdString();
    EXPECT_EQ(filter.samplerate(), 0);
    EXPECT_EQ(filter.Frequency(), 0.0f);
}

TEST(IIRFilterFaults, AnUnstableDesignThatRunsAwayRaisesOverflowAndStartsAgainFromSilence)
{
    // A negative bandwidth turns alpha negative; near -1 the poles leave the unit circle.
    IIRFilter unstable;
    unstable.CreateBiquadIIR(IIRFilter::kLowPass, 0, 5000, 44100, -1.9f);
    ASSERT_GT(std::abs(unstable.section().a2), 1.0f);
    Values block = noiseBlock(20000, 1000, 9);
    EXPECT_EQ(raisedBy([&] { unstable.ProcessSamples_16bit(block); }).number, 6);
    EXPECT_EQ(unstable.section().y1, 0.0f);
    EXPECT_EQ(unstable.section().y2, 0.0f);
}
