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
const std::vector<double> kImpulse = {1, 0, 0, 0, 0, 0, 0, 0};
const std::vector<double> kConstant = {2, 2, 2, 2, 2, 2, 2, 2};

// Runs what and returns the number of the AppError it raised, after checking its text; -1
// when it raised none.
int errorNumberOf(const std::function<void()> &what)
{
    try {
        what();
    } catch (const AppError &error) {
        EXPECT_EQ(error.text(), error.number() == 380
                                    ? "Number of samples must be a positive value of the form 2 ^ n"
                                    : "Index out of range or number of samples unknown");
        return error.number();
    }
    return -1;
}

void loadReal(clsFourier &fourier, const std::vector<double> &values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        fourier.RealIn(static_cast<std::int32_t>(i + 1), values[i]);
}

// Every input and output at index k gives the error number (-1 for none).
void expectEveryAccessGives(clsFourier &fourier, std::int32_t k, int number)
{
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(k, 1.0); }), number) << "RealIn " << k;
    EXPECT_EQ(errorNumberOf([&] { fourier.ImagIn(k, 1.0); }), number) << "ImagIn " << k;
    EXPECT_EQ(errorNumberOf([&] { fourier.RealOut(k); }), number) << "RealOut " << k;
    EXPECT_EQ(errorNumberOf([&] { fourier.ImagOut(k); }), number) << "ImagOut " << k;
    EXPECT_EQ(errorNumberOf([&] { fourier.ComplexOut(k); }), number) << "ComplexOut " << k;
}

} // namespace

TEST(FourierSize, RefusesSizesThatAreNotPowersOfTwoAtLeastTwo)
{
    clsFourier fourier;
    for (std::int32_t n : {1000, 0, -4, 1, 3, 6, -2147483647 - 1})
        EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(n); }), 380) << "size " << n;
    // The refused sizes left the size unknown: nothing can be loaded or read.
    expectEveryAccessGives(fourier, 1, 381);

    for (std::int32_t n : {2, 1024}) {
        EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(n); }), -1) << n;
        expectEveryAccessGives(fourier, n, -1);
    }
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(1025, 1.0); }), 381);
}

TEST(FourierSize, RefusedSizesAndIndicesOutsideOneToNLeaveTheBlockWhileANewSizeClearsIt)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    loadReal(fourier, kConstant);
    EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(1000); }), 380);
    EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(1); }), 380);
    for (std::int32_t k : {0, 9, -1})
        expectEveryAccessGives(fourier, k, 381);
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(1), 8.0);
    EXPECT_EQ(errorNumberOf([&] { fourier.RealOut(8); }), -1);

    fourier.NumberOfSamples(8);
    for (std::int32_t k = 1; k <= 8; ++k)
        EXPECT_EQ(fourier.ComplexOut(k), 0.0) << "bin " << k;
}

TEST(FourierTransform, SmallBlocksGiveTheDocumentedBins)
{
    // An impulse gives a flat spectrum of half its value, a constant goes into the first bin,
    // a cosine of one cycle fills bins 2 and 8. The sum of sin(2 pi n / 8) e^(+2 pi i n / 8)
    // is +4i: the negative exponent would give -4i.
    std::vector<double> cosine(8);
    std::vector<double> sine(8);
    for (int n = 0; n < 8; ++n) {
        cosine[n] = 2 * std::cos(2 * kPi * n / 8);
        sine[n] = 2 * std::sin(2 * kPi * n / 8);
    }
    using Bins = std::vector<double>;
    const Bins zero(8, 0);
    const std::tuple<const char *, const Bins *, Bins, Bins> cases[] = {
        {"impulse", &kImpulse, Bins(8, 0.5), zero},
        {"constant", &kConstant, {8, 0, 0, 0, 0, 0, 0, 0}, zero},
        {"cosine", &cosine, {0, 4, 0, 0, 0, 0, 0, 4}, zero},
        {"sine", &sine, zero, {0, 4, 0, 0, 0, 0, 0, -4}}};
    for (const auto &[name, input, re, im] : cases) {
        clsFourier fourier;
        fourier.NumberOfSamples(8);
        loadReal(fourier, *input);
        for (std::int32_t k = 1; k <= 8; ++k) {
            SCOPED_TRACE(testing::Message() << name << " bin " << k);
            EXPECT_NEAR(fourier.RealOut(k), re[k - 1], 1e-12);
            EXPECT_NEAR(fourier.ImagOut(k), im[k - 1], 1e-12);
            EXPECT_NEAR(fourier.ComplexOut(k), std::hypot(re[k - 1], im[k - 1]), 1e-12);
        }
    }
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
    // Taken unhalved after the real one: see the direct sum above.
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    fourier.ImagIn(1, 3.0);
    fourier.RealIn(1, 1.0);
    for (std::int32_t k = 1; k <= 8; ++k)
        EXPECT_EQ(fourier.ImagOut(k), 0.0) << k;
}

TEST(FourierTransform, TransformsOncePerLoadInPlace)
{
    // Running the transform a second time over its own outputs would turn the flat spectrum
    // of an impulse into a single peak.
    clsFourier fourier;
    EXPECT_EQ(fourier.Timing(), 0.0f);
    fourier.NumberOfSamples(8);
    loadReal(fourier, kImpulse);
    EXPECT_EQ(fourier.Timing(), 0.0f); // nothing transformed yet
    EXPECT_DOUBLE_EQ(fourier.RealOut(1), 0.5);
    EXPECT_DOUBLE_EQ(fourier.RealOut(1), 0.5);
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(2), 0.5);

    // After the impulse every element holds 0.5; rewriting only input 1 with 0 leaves seven
    // of them, so the next first bin is 3.5.
    fourier.RealIn(1, 0.0);
    EXPECT_NEAR(fourier.RealOut(1), 3.5, 1e-12);

    // New inputs after a read are transformed again.
    loadReal(fourier, kConstant);
    EXPECT_NEAR(fourier.ComplexOut(1), 8.0, 1e-12);
    EXPECT_NEAR(fourier.ComplexOut(2), 0.0, 1e-12);
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
    // The symmetric form: a = 2 pi (k - 1) / (N - 1), so input k and input N + 1 - k match.
    const double a = 2 * kPi * 99 / 1023;
    const double weight100 = 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
    const std::tuple<std::int32_t, double, double> cases[] = {
        {1, 0, 1e-15}, {1024, 0, 1e-15}, {512, 1, 1e-4}, {513, 1, 1e-4}, {100, weight100, 1e-15},
        {925, weight100, 1e-12}};
    for (const auto &[k, weight, tolerance] : cases)
        EXPECT_NEAR(weightOf(k), weight, tolerance) << k;
}

TEST(FourierWindow, SwitchingTheWindowAffectsOnlyLaterInputs)
{
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    fourier.RealIn(1, 1.0); // halved
    fourier.WithTimeWindow(1);
    fourier.RealIn(4, 1.0); // weight 0.42 - 0.5 cos(6 pi / 7) + 0.08 cos(12 pi / 7)
    const double a = 2 * kPi * 3 / 7;
    const double expected = 0.5 + 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
    EXPECT_NEAR(fourier.RealOut(1), expected, 1e-12);
    fourier.WithTimeWindow(0);
    EXPECT_NEAR(fourier.RealOut(1), expected, 1e-12);
}
