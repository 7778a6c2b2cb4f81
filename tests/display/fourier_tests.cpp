// The Fourier transform: size and index checks, the documented small transforms and sign
// convention against a direct sum, and computing once per loaded block.
#include "display/fourier.h"

#include "common/app_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace {

const double kPi = std::acos(-1.0);

// The number of the AppError what raises, after checking its text; -1 when it raises none.
int errorNumberOf(const std::function<void()> &what)
{
    try {
        what();
    } catch (const AppError &error) {
        EXPECT_EQ(error.text(), error.number() == 380 ? "Number of samples must be a positive value of the form 2 ^ n"
                                                      : "Index out of range or number of samples unknown");
        return error.number();
    }
    return -1;
}

} // namespace

TEST(FourierSize, RefusesSizesThatAreNotPowersOfTwoAndIndicesOutsideOneToN)
{
    clsFourier fourier;
    for (std::int32_t n : {1000, 0, -4, 1, 3, -2147483647 - 1})
        EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(n); }), 380) << "size " << n;
    EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(1, 1.0); }), 381); // the size is still unknown
    fourier.NumberOfSamples(8);
    for (std::int32_t k = 1; k <= 8; ++k)
        fourier.RealIn(k, 2.0);
    EXPECT_EQ(errorNumberOf([&] { fourier.NumberOfSamples(6); }), 380);
    for (std::int32_t k : {0, 9, -1}) {
        EXPECT_EQ(errorNumberOf([&] { fourier.RealIn(k, 1.0); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.ImagIn(k, 1.0); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.RealOut(k); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.ImagOut(k); }), 381) << k;
        EXPECT_EQ(errorNumberOf([&] { fourier.ComplexOut(k); }), 381) << k;
    }
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(1), 8.0); // the refusals left the block as it was
    fourier.NumberOfSamples(8); // a new size clears it
    EXPECT_EQ(fourier.ComplexOut(1), 0.0);
}

TEST(FourierTransform, MatchesADirectSumWithAPositiveExponentAndHalvedRealInputs)
{
    // The sum of sin(2 pi n / 8) e^(+2 pi i n / 8) is +4i: the negative exponent would give -4i.
    clsFourier sine;
    sine.NumberOfSamples(8);
    for (int n = 0; n < 8; ++n)
        sine.RealIn(n + 1, 2 * std::sin(2 * kPi * n / 8));
    EXPECT_NEAR(sine.ImagOut(2), 4.0, 1e-12);
    EXPECT_NEAR(sine.ImagOut(8), -4.0, 1e-12);

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

TEST(FourierTransform, TransformsOncePerLoadInPlace)
{
    // Running the transform a second time over its own outputs would turn the flat spectrum
    // of an impulse into a single peak.
    clsFourier fourier;
    fourier.NumberOfSamples(8);
    fourier.RealIn(1, 1.0);
    EXPECT_DOUBLE_EQ(fourier.RealOut(1), 0.5);
    EXPECT_DOUBLE_EQ(fourier.RealOut(1), 0.5);
    EXPECT_DOUBLE_EQ(fourier.ComplexOut(2), 0.5);
    // Every element now holds 0.5; rewriting only input 1 with 0 leaves seven of them.
    fourier.RealIn(1, 0.0);
    EXPECT_NEAR(fourier.RealOut(1), 3.5, 1e-12);
}

