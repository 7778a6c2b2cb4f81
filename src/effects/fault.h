// The runtime's errors that the effects raise, with the runtime's numbers and texts: faults of
// 32-bit float arithmetic (which C++ does not trap, so every step that can fault checks its
// result), a band index out of range and memory that cannot be had.
#pragma once

#include <cmath>

namespace fault {

constexpr int kInvalidCall = 5;     // "Invalid procedure call or argument" (ln of 0 or less)
constexpr int kOverflow = 6;        // "Overflow": an infinite or indeterminate result
constexpr int kOutOfMemory = 7;     // "Out of memory"
constexpr int kSubscript = 9;       // "Subscript out of range"
constexpr int kDivisionByZero = 11; // "Division by zero"

// Throws AppError(number, the runtime's text, errorSource(operation)).
[[noreturn]] void raise(int number, const char *operation);

// The value itself when finite, else the overflow error.
inline float finite(float value, const char *operation)
{
    if (!std::isfinite(value))
        raise(kOverflow, operation);
    return value;
}

// num / den. A zero divisor is a division by zero, except 0 / 0, which the runtime reports as
// an overflow (an indeterminate result); an infinite quotient is an overflow.
inline float divide(float num, float den, const char *operation)
{
    if (den == 0.0f)
        raise(num == 0.0f ? kOverflow : kDivisionByZero, operation);
    return finite(num / den, operation);
}

inline float multiply(float a, float b, const char *operation)
{
    return finite(a * b, operation);
}

// Natural logarithm, defined only above 0.
inline float naturalLog(float value, const char *operation)
{
    if (!(value > 0.0f))
        raise(kInvalidCall, operation);
    return finite(std::log(value), operation);
}

} // namespace fault
