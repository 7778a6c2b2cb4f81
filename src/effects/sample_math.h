// Conversions between float arithmetic and 16-bit samples shared by the filter and the chain.
// Every rounding is to the nearest with halves to even; values saturate instead of wrapping.
#pragma once

#include <cstdint>

namespace sample_math {

// Rounds to the nearest integer, halves to even, for |value| < 2^22: adding and taking away
// 1.5 x 2^23 leaves no fraction bits, so the addition itself rounds (in the default mode,
// which the program never changes). Exact, branch-free and the same in vector lanes.
inline float roundEven(float value)
{
    constexpr float kShift = 12582912.0f;
    return (value + kShift) - kShift; // IEEE arithmetic: the compiler may not fold this
}

// The chain's saturation: above 32767 gives 32767, below -32768 gives -32768, in between the
// value rounded. An indeterminate value (NaN) gives 0; callers detect it as a fault.
inline float saturate(float value)
{
    if (value > 32767.0f)
        return 32767.0f;
    if (value < -32768.0f)
        return -32768.0f;
    if (value != value)
        return 0.0f;
    return roundEven(value);
}

// A filter output y (scaled to [-1, 1]) as a 16-bit value: y > 1 gives 32767, y < -1 gives
// -32768, in between y x 32767 rounded, so -1.0 writes -32767. NaN gives 0.
inline float filterOutput16(float y)
{
    if (y > 1.0f)
        return 32767.0f;
    if (y < -1.0f)
        return -32768.0f;
    if (y != y)
        return 0.0f;
    return roundEven(y * 32767.0f);
}

// The same for 8-bit unsigned values: y x 127 + 128 rounded, 255 above 1, 0 below -1.
inline float filterOutput8(float y)
{
    if (y > 1.0f)
        return 255.0f;
    if (y < -1.0f)
        return 0.0f;
    if (y != y)
        return 128.0f;
    return roundEven(y * 127.0f + 128.0f);
}

} // namespace sample_math
