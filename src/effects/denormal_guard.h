// While alive, the processor treats subnormal floats as 0 (x86 FTZ and DAZ), as audio code
// does: a recursion decaying through silence would otherwise reach the subnormal range, where
// each operation costs a hundred times more. Such values lie below 1.2e-38, far under the
// resolution of a 16-bit sample, so no output value changes. The previous mode comes back on
// destruction, also when a fault unwinds.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>

class DenormalGuard {
public:
    DenormalGuard() : m_saved(_mm_getcsr()) { _mm_setcsr(m_saved | kFlushToZero | kDenormalsAreZero); }
    ~DenormalGuard() { _mm_setcsr(m_saved); }
    DenormalGuard(const DenormalGuard &) = delete;
    DenormalGuard &operator=(const DenormalGuard &) = delete;

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned m_saved;
};
#else
// Other processors: subnormals are computed as they come.
class DenormalGuard {
public:
    DenormalGuard() = default;
    DenormalGuard(const DenormalGuard &) = delete;
    DenormalGuard &operator=(const DenormalGuard &) = delete;
};
#endif
