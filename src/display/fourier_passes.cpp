// The butterflies of the radix-2 transform. Every butterfly computes, in this order,
//   t = w * b;  b = a - t;  a = a + t
// with t.re = w.re b.re - w.im b.im and t.im = w.re b.im + w.im b.re. The passes for half
// blocks of 1 and 2 run together on each run of four values; wider passes run two at a time,
// over the offsets of a block, which the compiler turns into vector code. Fusing passes only
// keeps values in registers between them: each value goes through the same operations in the
// same order in every loop and instruction set (fused multiply-adds are switched off for this
// file), so every machine gives the same bits.
#include "display/fourier_passes.h"

#include <cmath>

namespace {

inline void butterfly(double &aRe, double &aIm, double &bRe, double &bIm, double wRe, double wIm)
{
    const double tRe = wRe * bRe - wIm * bIm;
    const double tIm = wRe * bIm + wIm * bRe;
    bRe = aRe - tRe;
    bIm = aIm - tIm;
    aRe = aRe + tRe;
    aIm = aIm + tIm;
}

// The passes with half blocks 1 and 2 together, on each run of four values in registers.
inline void firstTwoPasses(double *__restrict re, double *__restrict im, const double *__restrict wRe,
                           const double *__restrict wIm, std::size_t n)
{
    const double w1Re = wRe[0]; // half block 1, offset 0
    const double w1Im = wIm[0];
    const double w2Re0 = wRe[1]; // half block 2, offsets 0 and 1
    const double w2Im0 = wIm[1];
    const double w2Re1 = wRe[2];
    const double w2Im1 = wIm[2];
    for (std::size_t m = 0; m < n; m += 4) {
        double r0 = re[m], r1 = re[m + 1], r2 = re[m + 2], r3 = re[m + 3];
        double i0 = im[m], i1 = im[m + 1], i2 = im[m + 2], i3 = im[m + 3];
        butterfly(r0, i0, r1, i1, w1Re, w1Im);
        butterfly(r2, i2, r3, i3, w1Re, w1Im);
        butterfly(r0, i0, r2, i2, w2Re0, w2Im0);
        butterfly(r1, i1, r3, i3, w2Re1, w2Im1);
        re[m] = r0, re[m + 1] = r1, re[m + 2] = r2, re[m + 3] = r3;
        im[m] = i0, im[m + 1] = i1, im[m + 2] = i2, im[m + 3] = i3;
    }
}

inline void widePass(double *__restrict re, double *__restrict im, const double *__restrict wRe,
                     const double *__restrict wIm, std::size_t n, std::size_t half)
{
    const double *__restrict passRe = wRe + half - 1;
    const double *__restrict passIm = wIm + half - 1;
    for (std::size_t m = 0; m < n; m += 2 * half) {
        double *__restrict aRe = re + m;
        double *__restrict aIm = im + m;
        double *__restrict bRe = re + m + half;
        double *__restrict bIm = im + m + half;
#pragma GCC ivdep
        for (std::size_t j = 0; j < half; ++j) {
            const double tRe = passRe[j] * bRe[j] - passIm[j] * bIm[j];
            const double tIm = passRe[j] * bIm[j] + passIm[j] * bRe[j];
            bRe[j] = aRe[j] - tRe;
            bIm[j] = aIm[j] - tIm;
            aRe[j] = aRe[j] + tRe;
            aIm[j] = aIm[j] + tIm;
        }
    }
}

// The passes with half blocks H and 2H together: in each block of 4H, offset j carries the
// four values j, j + H, j + 2H and j + 3H through both passes in registers.
inline void widePassPair(double *__restrict re, double *__restrict im, const double *__restrict wRe,
                         const double *__restrict wIm, std::size_t n, std::size_t half)
{
    const double *__restrict firstRe = wRe + half - 1;
    const double *__restrict firstIm = wIm + half - 1;
    const double *__restrict secondRe = wRe + 2 * half - 1;
    const double *__restrict secondIm = wIm + 2 * half - 1;
    for (std::size_t m = 0; m < n; m += 4 * half) {
        double *__restrict r = re + m;
        double *__restrict i = im + m;
#pragma GCC ivdep
        for (std::size_t j = 0; j < half; ++j) {
            double r0 = r[j], r1 = r[j + half], r2 = r[j + 2 * half], r3 = r[j + 3 * half];
            double i0 = i[j], i1 = i[j + half], i2 = i[j + 2 * half], i3 = i[j + 3 * half];
            butterfly(r0, i0, r1, i1, firstRe[j], firstIm[j]);
            butterfly(r2, i2, r3, i3, firstRe[j], firstIm[j]);
            butterfly(r0, i0, r2, i2, secondRe[j], secondIm[j]);
            butterfly(r1, i1, r3, i3, secondRe[j + half], secondIm[j + half]);
            r[j] = r0, r[j + half] = r1, r[j + 2 * half] = r2, r[j + 3 * half] = r3;
            i[j] = i0, i[j + half] = i1, i[j + 2 * half] = i2, i[j + 3 * half] = i3;
        }
    }
}

} // namespace

__attribute__((target_clones("avx2", "default"))) void
runButterflyPasses(double *re, double *im, const double *wRe, const double *wIm, std::size_t n)
{
    if (n == 2) {
        butterfly(re[0], im[0], re[1], im[1], wRe[0], wIm[0]);
        return;
    }
    firstTwoPasses(re, im, wRe, wIm, n);
    std::size_t half = 4;
    for (; 4 * half <= n; half *= 4)
        widePassPair(re, im, wRe, wIm, n, half);
    if (half < n)
        widePass(re, im, wRe, wIm, n, half);
}

// Square roots are correctly rounded in every instruction set, so the vector code gives the
// same magnitudes as one sqrt per element.
__attribute__((target_clones("avx2", "default"))) void
computeMagnitudes(const double *re, const double *im, double *magnitude, std::size_t begin,
                  std::size_t end)
{
    const double *__restrict r = re;
    const double *__restrict i = im;
    double *__restrict m = magnitude;
    for (std::size_t k = begin; k < end; ++k)
        m[k] = std::sqrt(r[k] * r[k] + i[k] * i[k]);
}
