// Floating-point faults of the filter's design and processing reach the caller as the
// runtime's errors, and a design that faults leaves the filter exactly as it was.
#include "effects/iir_filter.h"

#include "common/app_error.h"
#include "signals.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

int errorNumberOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return error.number();
    }
    return 0;
}

IIRFilter workingPeak()
{
    IIRFilter filter;
    filter.CreateBiquadIIR(IIRFilter::kPeaking, 6, 1000, 44100, 1);
    return filter;
}

// The filter still behaves as an untouched twin: same parameters, same output.
void expectUnchanged(IIRFilter &filter, IIRFilter twin)
{
    EXPECT_EQ(filter.IIRType(), twin.IIRType());
    EXPECT_EQ(filter.Frequency(), twin.Frequency());
    EXPECT_EQ(filter.GainDB(), twin.GainDB());
    EXPECT_EQ(filter.Bandwidth(), twin.Bandwidth());
    EXPECT_EQ(filter.samplerate(), twin.samplerate());
    std::vector<std::int16_t> a = noiseBlock(1000, 20000, 5), b = a;
    filter.ProcessSamples_16bit(a);
    twin.ProcessSamples_16bit(b);
    EXPECT_EQ(a, b);
}

} // namespace

TEST(IIRFilterFaults, FrequencyZeroIsAnIndeterminateResultAndDesignsNothing)
{
    IIRFilter filter = workingPeak();
    std::vector<std::int16_t> warm = noiseBlock(300, 10000, 1);
    filter.ProcessSamples_16bit(warm);
    const IIRFilter twin = filter;
    EXPECT_EQ(errorNumberOf([&] { filter.CreateBiquadIIR(IIRFilter::kPeaking, 6, 0, 44100, 1); }), 6);
    EXPECT_EQ(errorNumberOf([&] { filter.setFrequency(0); }), 6);
    expectUnchanged(filter, twin);
}

TEST(IIRFilterFaults, TypeOutsideTheFourHasNoRowAndDesignsNothing)
{
    IIRFilter filter = workingPeak();
    const IIRFilter twin = filter;
    EXPECT_EQ(errorNumberOf([&] { filter.CreateBiquadIIR(4, 0, 1000, 44100, 1); }), 6);
    EXPECT_EQ(errorNumberOf([&] { filter.CreateBiquadIIR(-1, 0, 1000, 44100, 1); }), 6);
    expectUnchanged(filter, twin);
}

TEST(IIRFilterFaults, RateZeroIsADivisionByZero)
{
    IIRFilter filter;
    EXPECT_EQ(errorNumberOf([&] { filter.CreateBiquadIIR(IIRFilter::kLowPass, 0, 1000, 0, 1); }), 11);
    EXPECT_EQ(filter.samplerate(), 0);
    EXPECT_EQ(filter.Frequency(), 0.0f);
}

TEST(IIRFilterFaults, SettingTheRateWhileTheFrequencyIsZeroFailsAndKeepsTheRate)
{
    IIRFilter filter;
    EXPECT_EQ(errorNumberOf([&] { filter.setSamplerate(44100); }), 6);
    EXPECT_EQ(filter.samplerate(), 0);
}

TEST(IIRFilterFaults, GainBeyondFloatIsAnOverflowAndDesignsNothing)
{
    IIRFilter filter = workingPeak();
    const IIRFilter twin = filter;
    EXPECT_EQ(errorNumberOf([&] { filter.setGainDB(4000); }), 6);
    EXPECT_EQ(errorNumberOf([&] { filter.setBandwidth(1e30f); }), 6);
    expectUnchanged(filter, twin);
}

TEST(IIRFilterFaults, TheErrorCarriesTheRuntimeText)
{
    IIRFilter filter;
    try {
        filter.CreateBiquadIIR(IIRFilter::kLowPass, 0, 1000, 0, 1);
        FAIL() << "no error";
    } catch (const AppError &error) {
        EXPECT_EQ(error.text(), QStringLiteral("Division by zero"));
        EXPECT_TRUE(error.source().endsWith(QStringLiteral(".IIRFilter.CreateBiquadIIR"))) << error.source().toStdString();
    }
}

TEST(IIRFilterFaults, AnUnstableDesignThatRunsAwayRaisesOverflowAndStartsAgainFromSilence)
{
    // A negative bandwidth turns alpha negative; near -1 the poles leave the unit circle.
    IIRFilter unstable;
    unstable.CreateBiquadIIR(IIRFilter::kLowPass, 0, 5000, 44100, -1.9f);
    ASSERT_GT(std::abs(unstable.section().a2), 1.0f);
    std::vector<std::int16_t> block = noiseBlock(20000, 1000, 9);
    EXPECT_EQ(errorNumberOf([&] { unstable.ProcessSamples_16bit(block); }), 6);
    EXPECT_EQ(unstable.section().y1, 0.0f);
    EXPECT_EQ(unstable.section().y2, 0.0f);
}
