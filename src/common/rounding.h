// Conversions from floating point to the program's integer widths: to the nearest with halves
// to even, and 16-bit samples that saturate instead of wrapping.
#pragma once

#include <cmath>
#include <cstdint>

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Relies on the default
// floating-point rounding mode, which the program never changes.
inline double roundHalfEven(double value)
{
    return std::nearbyint(value);
}

inline std::int16_t saturate16(std::int64_t value)
{
    if (value > 32767)
        return 32767;
    if (value < -32768)
        return -32768;
    return static_cast<std::int16_t>(value);
}

// Rounds half to even, then saturates: the path of every processed sample.
inline std::int16_t saturate16(double value)
{
    if (!(value < 32767.0)) // also catches NaN, which then writes full scale rather than garbage
        return value != value ? 0 : 32767;
    if (value < -32768.0)
        return -32768;
    return static_cast<std::int16_t>(roundHalfEven(value));
}

// Nearest integer, halves away from zero: the rounding of the "###0" and "###0.0" formats.
inline double roundHalfAway(double value)
{
    return std::round(value);
}
