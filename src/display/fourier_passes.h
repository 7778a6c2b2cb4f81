// The butterfly passes of clsFourier's radix-2 transform and its magnitudes, kept apart so
// that they can be compiled for more than one instruction set.
#pragma once

#include <cstddef>

// Transforms the n (a power of two, at least 2) bit-reversed complex values re + i im in
// place, pass after pass with block sizes L = 2, 4, ... n. The twiddle factor of offset j in
// the pass with half block H is (wRe, wIm)[H - 1 + j].
void runButterflyPasses(double *re, double *im, const double *wRe, const double *wIm,
                        std::size_t n);

// magnitude[k] = sqrt(re[k]^2 + im[k]^2) for k = begin .. end - 1.
void computeMagnitudes(const double *re, const double *im, double *magnitude, std::size_t begin,
                       std::size_t end);
