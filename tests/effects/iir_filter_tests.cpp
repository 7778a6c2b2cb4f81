// The biquad filter: what each type lets through, saturation, and a design that faults.
#include "effects/iir_filter.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

IIRFilter designed(std::int32_t type, float gainDb, float hz)
{
    IIRFilter filter;
    filter.CreateBiquadIIR(type, gainDb, hz, 44100.0f, 1.0f);
    return filter;
}

Values filtered(IIRFilter &filter, Values values) { return filter.ProcessSamples_16bit(values), values; }

// Level change in dB of a sine of `hz` through the filter, measured after it settled.
double gainAt(IIRFilter filter, double hz)
{
    const Values input = sineBlock(hz, 8000, 44100), signal = filtered(filter, input);
    return rmsDb(signal, 4410, signal.size()) - rmsDb(input, 4410, input.size());
}

auto parameters(const IIRFilter &f) { return std::tuple{f.IIRType(), f.Frequency(), f.GainDB(), f.Bandwidth(), f.samplerate()}; }

} // namespace

TEST(IIRFilter, EachTypeLetsThroughWhatItShouldAndFullScaleSaturatesInsteadOfWrapping)
{
    const struct { std::int32_t type; float gainDb, hz; double probeHz, lowestDb, highestDb; } cases[] = {
        {IIRFilter::kLowPass, 0, 1000, 100, -0.2, 0.2},     {IIRFilter::kLowPass, 0, 1000, 10000, -200, -30},
        {IIRFilter::kHighPass, 0, 1000, 10000, -0.2, 0.2},  {IIRFilter::kHighPass, 0, 1000, 100, -200, -30},
        {IIRFilter::kBandPass, 0, 2000, 2000, -0.2, 0.2},   {IIRFilter::kBandPass, 0, 2000, 200, -200, -10},
        {IIRFilter::kPeaking, 12, 3000, 3000, 11.8, 12.2}, {IIRFilter::kPeaking, -12, 3000, 3000, -12.2, -11.8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " at " << c.hz << " Hz, probed at " << c.probeHz);
        const double db = gainAt(designed(c.type, c.gainDb, c.hz), c.probeHz);
        EXPECT_GE(db, c.lowestDb);
        EXPECT_LE(db, c.highestDb);
    }
    IIRFilter lift = designed(IIRFilter::kPeaking, 12, 1000);
    const Values loud = filtered(lift, sineBlock(1000, 30000, 8820));
    int highs = 0, lows = 0;
    for (std::size_t i = 4410; i < loud.size(); ++i) {
        highs += loud[i] == 32767;
        lows += loud[i] == -32768;
        EXPECT_LT(std::abs(loud[i] - loud[i - 1]), 20000) << i; // a wrapped value would jump across zero
    }
    EXPECT_GT(highs, 100);
    EXPECT_GT(lows, 100);
}

TEST(IIRFilterFaults, ADesignThatFaultsIsAnErrorAndLeavesTheFilterAsItWas)
{
    const std::vector<std::pair<const char *, std::function<void(IIRFilter &)>>> faults = {
        {"frequency 0", [](IIRFilter &f) { f.CreateBiquadIIR(IIRFilter::kPeaking, 6, 0, 44100, 1); }},
        {"type 4", [](IIRFilter &f) { f.CreateBiquadIIR(4, 0, 1000, 44100, 1); }},
        {"gain beyond float", [](IIRFilter &f) { f.setGainDB(4000); }},
    };
    for (const auto &[name, fault] : faults) {
        SCOPED_TRACE(name);
        IIRFilter filter = designed(IIRFilter::kPeaking, 6, 1000);
        filtered(filter, noiseBlock(300, 10000, 1));
        IIRFilter twin = filter;
        EXPECT_EQ(raisedBy([&] { fault(filter); }).number, 6);
        EXPECT_EQ(parameters(filter), parameters(twin));
        const Values next = noiseBlock(1000, 20000, 5);
        EXPECT_EQ(filtered(filter, next), filtered(twin, next)); // memory kept too
    }
    IIRFilter filter;
    const Raised r = raisedBy([&] { filter.CreateBiquadIIR(IIRFilter::kLowPass, 0, 1000, 0, 1); });
    EXPECT_EQ(r.number, 11);
    EXPECT_EQ(r.text, QStringLiteral("Division by zero"));
    EXPECT_TRUE(r.source.endsWith(QStringLiteral(".IIRFilter.CreateBiquadIIR"))) << r.source.toStdString();
}
