// The Fourier transform against a direct sum, and its refusals of bad sizes and indices.
#include "display/fourier.h"

#include "common/app_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numeric>
#include <vector>

TEST(FourierSize, RefusesSizesThatAreNotPowersOfTwoAndIndicesOutsideOneToN)
{
    clsFourier fourier;
    for (std::int32_t n : {1000, 0, -4, 1})
        EXPECT_THROW(fourier.NumberOfSamples(n), AppError) << n;
    fourier.NumberOfSamples(8);
    EXPECT_THROW(fourier.RealIn(0, 1.0), AppError);
    EXPECT_THROW(fourier.ComplexOut(9), AppError);
}

TEST(FourierTransform, MatchesADirectSumWithAPositiveExponentAndHalvedRealInputs)
{
    // Sizes whose passes after the first two are paired, and sizes with one pass left over.
    for (const int n : {8, 32, 64}) {
        std::vector<std::complex<double>> input(n);
        for (int i = 0; i < n; ++i)
            input[i] = {std::sin(0.37 * i) + 0.25 * (i % 5), std::cos(1.3 * i) - 0.5};
        clsFourier fourier;
        fourier.NumberOfSamples(n);
        for (int i = 0; i < n; ++i) { fourier.RealIn(i + 1, 2 * input[i].real()); fourier.ImagIn(i + 1, input[i].imag()); } // real halved
        for (int k = 0; k < n; ++k) {
            std::complex<double> expected;
            for (int i = 0; i < n; ++i)
                expected += input[i] * std::polar(1.0, 2 * std::acos(-1.0) * i * k / n);
            EXPECT_NEAR(fourier.RealOut(k + 1), expected.real(), 1e-9) << n << ": " << k;
            EXPECT_NEAR(fourier.ImagOut(k + 1), expected.imag(), 1e-9) << n << ": " << k;
            EXPECT_NEAR(fourier.ComplexOut(k + 1), std::abs(expected), 1e-9) << n << ": " << k;
        }
        // Once per load: reading again does not transform the outputs a second time.
        EXPECT_NEAR(fourier.ComplexOut(1), std::abs(std::accumulate(input.begin(), input.end(), std::complex<double>())), 1e-9);
    }
}
