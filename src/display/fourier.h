// clsFourier: the discrete Fourier transform of a power-of-two block, by the iterative radix-2
// algorithm (bit-reversed loading, in-place butterflies, twiddle factors from a recurrence).
// Indices seen by callers run from 1 to N. The transform runs at the first output read after
// any input changed; an optional Blackman window is applied while real inputs are loaded.
//
// The spectrum display loads 1024 inputs and reads 513 outputs on every 25 ms tick, so the
// loading and reading members are inline and the tables they use (bit-reversed positions,
// window weights, the twiddle factors of every pass) are built once when the size is set;
// they hold exactly the values that working them out at each use would give.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

class clsFourier {
public:
    clsFourier();

    // Magnitude of output element Index - 1: sqrt(real^2 + imaginary^2).
    double ComplexOut(std::int32_t Index)
    {
        const std::size_t i = outputSlot(Index);
        if (i >= m_magnitudesReady)
            prepareMagnitudes(i);
        return m_magnitude[i];
    }

    // Stores nuValueIn, unchanged, as the imaginary part of input Index. Call it after RealIn
    // for the same index: RealIn resets the imaginary part.
    void ImagIn(std::int32_t Index, double nuValueIn)
    {
        const std::size_t p = inputSlot(Index);
        m_im[p] = nuValueIn;
        m_pending = true;
    }

    double ImagOut(std::int32_t Index) { return m_im[outputSlot(Index)]; }

    // Sets the transform size N (a power of two, at least 2) and clears every input.
    // Error 380 otherwise, leaving the object as it was.
    void NumberOfSamples(std::int32_t N);

    // Stores value, windowed (window on) or halved (window off), as the real part of input
    // Index and sets its imaginary part to 0.
    void RealIn(std::int32_t Index, double value)
    {
        const std::size_t i = checkedElement(Index);
        const std::size_t p = m_reversed[i];
        m_re[p] = m_windowOn != 0 ? value * m_window[i] : value / 2;
        m_im[p] = 0;
        m_pending = true;
    }

    double RealOut(std::int32_t Index) { return m_re[outputSlot(Index)]; }

    // Duration of the last transform in milliseconds; 0 before the first one.
    float Timing() const;

    // Non-zero switches the Blackman window on for later RealIn calls. Values already loaded
    // and the pending state are left as they are.
    void WithTimeWindow(std::int32_t nuTimeWindow) { m_windowOn = nuTimeWindow; }

    // The lowest `bits` bits of v in reverse order (3 bits: 1 -> 4, 3 -> 6, 6 -> 3); 0 for
    // bits < 1.
    static std::int32_t ReverseBits(std::int32_t v, std::int32_t bits);

private:
    using Clock = std::chrono::steady_clock;

    // Position of input Index in the bit-reversed data; error 381 when Index is outside 1..N
    // or the size is unknown.
    std::size_t inputSlot(std::int32_t Index) const
    {
        return m_reversed[checkedElement(Index)];
    }

    // Position of output Index, running the transform first when inputs changed since.
    std::size_t outputSlot(std::int32_t Index)
    {
        const std::size_t element = checkedElement(Index);
        if (m_pending)
            transform();
        return element;
    }

    // Index - 1, or error 381. One unsigned comparison covers Index < 1, Index > N and the
    // unknown size, for which the element count is 0.
    std::size_t checkedElement(std::int32_t Index) const
    {
        const std::uint32_t element = static_cast<std::uint32_t>(Index) - 1u;
        if (element >= m_elementCount)
            raiseIndexError();
        return element;
    }

    [[noreturn]] static void raiseIndexError();
    void transform();
    // Works out the magnitudes from the first not yet known up to element i and a little
    // beyond, several at a time.
    void prepareMagnitudes(std::size_t i);

    std::uint32_t m_elementCount = 0; // N once the size is known; 0 means the size is unknown
    bool m_pending = false;
    std::int32_t m_windowOn = 0;
    std::int32_t m_lastIndex = 0; // N - 1
    // The complex data, real and imaginary parts side by side: inputs in bit-reversed order
    // before the transform, outputs in natural order after it.
    std::vector<double> m_re;
    std::vector<double> m_im;
    // Magnitudes of the outputs, known for elements 0 .. m_magnitudesReady - 1 since the last
    // transform.
    std::vector<double> m_magnitude;
    std::size_t m_magnitudesReady = 0;
    std::vector<std::uint32_t> m_reversed; // ReverseBits(i, bits) for i = 0 .. N - 1
    std::vector<double> m_window;          // Blackman weight of input i
    // w of offset j in the pass with half block H, at H - 1 + j: N - 1 factors in all.
    std::vector<double> m_twiddleRe;
    std::vector<double> m_twiddleIm;
    double m_pi;
    double m_twoPi;
    std::int64_t m_startCount = 0;
    std::int64_t m_endCount = 0;
    std::int64_t m_counterFrequency;
};
