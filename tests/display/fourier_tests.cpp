// The Fourier transform: size and index checks, the documented small transforms, the window
// weights, the sign convention, and computing once per loaded block.
#include "display/fourier.h"

#include "common/app_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace {

const double kPi = std::acos(-1.0);

// Runs what and returns the number of the AppError it raised; -1 when it raised none. The
// text of each number is checked as well.
int errorNumberOf(const std::function<void()> &what)
{
    try {
        what();
    } catch (const AppError &error) {
        if (error.number() == 380) {
            EXPECT_EQ(error.text(), "Number of samples must be a positive value of the form 2 ^ n");
        }
        if (error.number() == 381) {
            EXPECT_EQ(error.text(), "Index out of range or number of samples unknown");
        }
        return error.number();
    }
    return -1;
}

void loadReal(clsFourier &fourier, const std::vector<double> &values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        fourier.RealIn(static_cast<std::int32_t>(i + 1), values[i]);
}

} // namespace

TEST(FourierSize, RefusesSizesThatAreNotPowersOfTwoAtLeastTwo)
{
    clsFourier fourier;
    for (std::int32_t n : {1000, 0, -4, 1, 3, 6, -2147483647 - 1})
        EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(n); }), 380) << "size " << n;
    // The refused sizes left the size unknown.
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(1, 1.0); }), 381);
}

TEST(FourierSize, AcceptsTwoAndTheDisplaysSize)
{
    clsFourier fourier;
    EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(2); }), -1);
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(2, 1.0); }), -1);
    EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(1024); }), -1);
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(1024, 1.0); }), -1);
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(1025, 1.0); }), 381);
}

TEST(FourierSize, RefusedSizeKeepsTheLoadedBlockAndItsSize)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {2, 2, 2, 2, 2, 2, 2, 2});
    EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(1000); }), 380);
    EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(1); }), 380);
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(1), 8.0);
    EXPECT_EQ(errorNumberOf([&] { fourier.RealOut(8); }), -1);
    EXPECT_EQ(errorNumberOf([&] { fourier.RealOut(9); }), 381);
}

TEST(FourierSize, SettingTheSizeAgainClearsEveryInput)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {2, 2, 2, 2, 2, 2, 2, 2});
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(1), 8.0);
    fourier.NumberOfSamples(8);
    for (std::int32_t k = 1; k <= 8; ++k)
        EXPECT_EQ(fourier.ComplexOut(k), 0.0) << "bin " << k;
}

TEST(FourierIndex, EveryInputAndOutputRefusesIndicesOutsideOneToN)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    for (std::int32_t k : {0, 9, -1}) {
        EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(k, 1.0); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.ImagIn(k, 1.0); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.RealOut(k); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.ImagOut(k); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.ComplexOut(k); }), 381) << k;
    }
}

TEST(FourierIndex, NothingCanBeLoadedOrReadBeforeTheSizeIsSet)
{
    clsFourier fourier;
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(1, 1.0); }), 381);
    EXPECT_EQ(errorNumberOf([&] { fourier.ImagIn(1, 1.0); }), 381);
    EXPECT_EQ(errorNumberOf([&] { fourier.RealOut(1); }), 381);
    EXPECT_EQ(errorNumberOf([&] { fourier.ImagOut(1); }), 381);
    EXPECT_EQ(errorNumberOf([&] { fourier.ComplexOut(1); }), 381);
}

TEST(FourierIndex, RefusedInputLeavesTheBlockUnchanged)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {2, 2, 2, 2, 2, 2, 2, 2});
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(9, 100.0); }), 381);
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(1), 8.0);
}

TEST(FourierTransform, ImpulseGivesAFlatSpectrumOfHalfItsValue)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {1, 0, 0, 0, 0, 0, 0, 0});
    for (std::int32_t k = 1; k <= 8; ++k) {
        EXPECT_DOUBLE_EQ(fourier.ComplexOut(k), 0.5) << k;
        EXPECT_DOUBLE_EQ(fourier.RealOut(k), 0.5) << k;
        EXPECT_EQ(fourier.ImagOut(k), 0.0) << k;
    }
}

TEST(FourierTransform, ConstantBlockGoesEntirelyIntoTheFirstBin)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {2, 2, 2, 2, 2, 2, 2, 2});
    EXPECT_NEAR(fourier.ComplexOut(1), 8.0, 1e-12);
    for (std::int32_t k = 2; k <= 8; ++k)
        EXPECT_NEAR(fourier.ComplexOut(k), 0.0, 1e-12) << k;
}

TEST(FourierTransform, CosineOfOneCycleFillsBinsOneAndSeven)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    for (int n = 0; n < 8; ++n)
        fourier.RealIn(n + 1, 2 * std::cos(2 * kPi * n / 8));
    for (std::int32_t k = 1; k <= 8; ++k) {
        const double expected = (k == 2 || k == 8) ? 4.0 : 0.0;
        EXPECT_NEAR(fourier.ComplexOut(k), expected, 1e-12) << k;
    }
}

TEST(FourierTransform, UsesThePositiveExponent)
{
    // sum of sin(2 pi n / 8) * e^(+2 pi i n / 8) is +4i; the negative exponent would give -4i.
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    for (int n = 0; n < 8; ++n)
        fourier.RealIn(n + 1, 2 * std::sin(2 * kPi * n / 8));
    EXPECT_NEAR(fourier.ImagOut(2), 4.0, 1e-12);
    EXPECT_NEAR(fourier.ImagOut(8), -4.0, 1e-12);
    EXPECT_NEAR(fourier.RealOut(2), 0.0, 1e-12);
}

TEST(FourierTransform, MatchesADirectSumForAComplexBlock)
{
    const int n = 64;
    std::vector<std::complex<double>> input(n);
    for (int i = 0; i < n; ++i)
        input[i] = {std::sin(0.37 * i) + 0.25 * (i % 5), std::cos(1.3 * i) - 0.5};

    clsFourier fourier;
    fourier.NumberOfSamples(n);
    for (int i = 0; i < n; ++i) {
        fourier.RealIn(i + 1, 2 * input[i].real()); // halved while loading
        fourier.ImagIn(i + 1, input[i].imag());
    }
    for (int k = 0; k < n; ++k) {
        std::complex<double> expected;
        for (int i = 0; i < n; ++i)
            expected += input[i] * std::polar(1.0, 2 * kPi * i * k / n);
        EXPECT_NEAR(fourier.RealOut(k + 1), expected.real(), 1e-9) << k;
        EXPECT_NEAR(fourier.ImagOut(k + 1), expected.imag(), 1e-9) << k;
        EXPECT_NEAR(fourier.ComplexOut(k + 1), std::abs(expected), 1e-9) << k;
    }
}

TEST(FourierTransform, MagnitudesReadInAnyOrderMatchRealAndImaginaryParts)
{
    clsFourier fourier;
    fourier.NumberOfSamples(1024);
    fourier.WithTimeWindow(1);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 1024; ++i)
            fourier.RealIn(i + 1, std::sin(0.05 * i * (round + 1)) * 20000 + (i % 7) * 300);
        // Far bins first, then back to the start, then through the middle.
        for (std::int32_t k : {1000, 3, 700, 64, 65, 1024, 1, 513, 128, 129}) {
            const double re = fourier.RealOut(k);
            const double im = fourier.ImagOut(k);
            EXPECT_EQ(fourier.ComplexOut(k), std::sqrt(re * re + im * im)) << "bin " << k;
        }
    }
}

TEST(FourierTransform, ImaginaryInputIsLostWhenTheRealOneFollows)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    fourier.ImagIn(1, 3.0);
    fourier.RealIn(1, 1.0);
    for (std::int32_t k = 1; k <= 8; ++k)
        EXPECT_EQ(fourier.ImagOut(k), 0.0) << k;
}

TEST(FourierTransform, ImaginaryInputIsTakenUnhalvedAfterTheRealOne)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    fourier.RealIn(1, 2.0);
    fourier.ImagIn(1, 2.0);
    for (std::int32_t k = 1; k <= 8; ++k) {
        EXPECT_DOUBLE_EQ(fourier.RealOut(k), 1.0) << k;
        EXPECT_DOUBLE_EQ(fourier.ImagOut(k), 2.0) << k;
    }
}

TEST(FourierTransform, TwoOutputReadsRunOneTransform)
{
    // The transform works in place: running it a second time over its own outputs would turn
    // the flat spectrum of an impulse into a single peak.
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(fourier.RealOut(1), 0.5);
    EXPECT_DOUBLE_EQ(fourier.RealOut(1), 0.5);
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(2), 0.5);
}

TEST(FourierTransform, NewInputsAfterAReadAreTransformedAgain)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(1), 0.5);
    loadReal(fourier, {2, 2, 2, 2, 2, 2, 2, 2});
    EXPECT_NEAR(fourier.ComplexOut(1), 8.0, 1e-12);
    EXPECT_NEAR(fourier.ComplexOut(2), 0.0, 1e-12);
}

TEST(FourierTransform, InputsNotRewrittenKeepThePreviousOutputs)
{
    // After the impulse every element holds 0.5; rewriting only input 1 with 0 leaves seven
    // of them, so the next first bin is 3.5.
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(1), 0.5);
    fourier.RealIn(1, 0.0);
    EXPECT_NEAR(fourier.RealOut(1), 3.5, 1e-12);
}

TEST(FourierTransform, TimingIsZeroBeforeTheFirstTransform)
{
    clsFourier fourier;
    EXPECT_EQ(fourier.Timing(), 0.0f);
    fourier.NumberOfSamples(1024);
    fourier.RealIn(1, 1.0);
    EXPECT_EQ(fourier.Timing(), 0.0f);
}

TEST(FourierWindow, BlackmanWeightsAreZeroAtBothEndsAndAlmostOneInTheMiddle)
{
    // With only input k loaded with 1, the first bin is that input's weight.
    const auto weightOf = [](std::int32_t k) {
        clsFourier fourier;
        fourier.NumberOfSamples(1024);
        fourier.WithTimeWindow(1);
        fourier.RealIn(k, 1.0);
        return fourier.RealOut(1);
    };
    EXPECT_NEAR(weightOf(1), 0.0, 1e-15);
    EXPECT_NEAR(weightOf(1024), 0.0, 1e-15);
    EXPECT_NEAR(weightOf(512), 1.0, 1e-4);
    EXPECT_NEAR(weightOf(513), 1.0, 1e-4);
    // The symmetric form: a = 2 pi (k - 1) / (N - 1), so input k and input N + 1 - k match.
    EXPECT_NEAR(weightOf(100), weightOf(925), 1e-12);
    const double a = 2 * kPi * 99 / 1023;
    EXPECT_NEAR(weightOf(100), 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a), 1e-15);
}

TEST(FourierWindow, SwitchingTheWindowAffectsOnlyLaterInputs)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    fourier.RealIn(1, 1.0); // halved
    fourier.WithTimeWindow(1);
    fourier.RealIn(4, 1.0); // weight 0.42 - 0.5 cos(6 pi / 7) + 0.08 cos(12 pi / 7)
    const double a = 2 * kPi * 3 / 7;
    EXPECT_NEAR(fourier.RealOut(1), 0.5 + 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a), 1e-12);
    fourier.WithTimeWindow(0);
    EXPECT_NEAR(fourier.RealOut(1), 0.5 + 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a), 1e-12);
}

TEST(FourierBitReversal, ReversesTheLowestBits)
{
    EXPECT_EQ(clsFourier::ReverseBits(1, 3), 4);
    EXPECT_EQ(clsFourier::ReverseBits(3, 3), 6);
    EXPECT_EQ(clsFourier::ReverseBits(6, 3), 3);
    EXPECT_EQ(clsFourier::ReverseBits(1, 10), 512);
    EXPECT_EQ(clsFourier::ReverseBits(5, 0), 0);
}
