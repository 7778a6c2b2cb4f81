// Runs the equaliser's band filters over one stream side by side, in four-lane float vectors.
// Band k works on value u - kSkew x k while band k - 1 works on value u - kSkew x (k - 1): each
// value still passes band 0, then band 1, and so on, with the 16-bit rounding and clipping of
// IIRFilter::ProcessSamples_16bit after every band, and each band sees the values in order, so
// the result is bit for bit that of running the bands one after the other over the block. Only
// the order in which the processor meets the work changes: the bands' recursions overlap
// instead of waiting for each other, and a value has kSkew steps to travel from one band to the
// next, which hides the latency of a band's arithmetic.
#pragma once

#include "effects/iir_filter.h"

#include <cstdint>
#include <span>

class BandCascade {
public:
    static constexpr int kLanes = 4;
    static constexpr int kMaxGroups = 3;
    static constexpr int kMaxBands = kLanes * kMaxGroups;

    // Takes the coefficients and memory of the enabled filters, in order; at most kMaxBands.
    void load(std::span<const IIRFilter> filters);
    // Hands the memory back to the same filters; clears it instead when it ran away.
    void store(std::span<IIRFilter> filters) const;

    int bands() const { return m_bands; }
    int groups() const { return (m_bands + kLanes - 1) / kLanes; }

    // Coefficients and memory by lane, band k in lane k; unused lanes stay 0.
    alignas(16) float b0[kMaxBands] = {};
    alignas(16) float b1[kMaxBands] = {};
    alignas(16) float b2[kMaxBands] = {};
    alignas(16) float a1[kMaxBands] = {};
    alignas(16) float a2[kMaxBands] = {};
    alignas(16) float x1[kMaxBands] = {};
    alignas(16) float x2[kMaxBands] = {};
    alignas(16) float y1[kMaxBands] = {};
    alignas(16) float y2[kMaxBands] = {};
    bool runaway = false; // some band produced a value that is no longer finite

private:
    int m_bands = 0;
};

namespace band_cascade {

typedef float Floats __attribute__((vector_size(16)));
typedef std::int32_t Ints __attribute__((vector_size(16)));

// Steps between a band's output and the next band's use of it.
constexpr int kSkew = 3;

// {a[3], b[0], b[1], b[2]}: the outputs of one group move one lane on into the next.
inline Floats shiftIn(Floats a, Floats b)
{
#if defined(__clang__)
    return __builtin_shufflevector(a, b, 3, 4, 5, 6);
#else
    return __builtin_shuffle(a, b, Ints{3, 4, 5, 6});
#endif
}

// G groups of four bands held in registers for one block. push() feeds value u into band 0 and
// returns what the last band made of value u - lag().
template <int G>
class Kernel {
public:
    explicit Kernel(const BandCascade &c) : m_bands(c.bands())
    {
        for (int g = 0; g < G; ++g) {
            b0[g] = loadGroup(c.b0, g);
            b1[g] = loadGroup(c.b1, g);
            b2[g] = loadGroup(c.b2, g);
            a1[g] = loadGroup(c.a1, g);
            a2[g] = loadGroup(c.a2, g);
            x1[g] = loadGroup(c.x1, g);
            x2[g] = loadGroup(c.x2, g);
            y1[g] = loadGroup(c.y1, g);
            y2[g] = loadGroup(c.y2, g);
            lane[g] = (Ints{0, 1, 2, 3} + g * BandCascade::kLanes) * kSkew;
            for (int d = 0; d < kSkew; ++d)
                history[d][g] = Floats{};
        }
    }

    std::int32_t lag() const { return kSkew * (m_bands - 1); }

    void save(BandCascade &c) const
    {
        for (int g = 0; g < G; ++g) {
            storeGroup(c.x1, g, x1[g]);
            storeGroup(c.x2, g, x2[g]);
            storeGroup(c.y1, g, y1[g]);
            storeGroup(c.y2, g, y2[g]);
        }
        bool bad = false;
        for (int g = 0; g < G; ++g)
            for (int l = 0; l < BandCascade::kLanes; ++l)
                bad |= nonFinite[g][l] != 0.0f;
        c.runaway = c.runaway || bad;
    }

    // u: index of the value entering band 0 (it may lie outside the block, 0 <= u < count + lag());
    // count: values in the block. Band k works on value u - kSkew x k. Masked, a band whose
    // value lies outside the block keeps its memory as it is (its output is never used); the
    // unmasked step is for lag() <= u < count, where every band has a value of the block. Lanes
    // beyond the last band have all coefficients 0 and only ever compute 0.
    template <bool Masked>
    [[gnu::always_inline]] float push(float front, std::int32_t u, std::int32_t count)
    {
        // The outputs of kSkew steps ago, one lane on: band k takes band k - 1's.
        Floats (&slot)[G] = history[m_step];
        Floats in[G];
        in[0] = shiftIn(Floats{} + front, slot[0]);
        for (int g = 1; g < G; ++g)
            in[g] = shiftIn(slot[g - 1], slot[g]);
        for (int g = 0; g < G; ++g) {
            const Floats x = in[g] / 32767.0f;
            const Floats y = b0[g] * x + b1[g] * x1[g] + b2[g] * x2[g] - a1[g] * y1[g] - a2[g] * y2[g];
            if constexpr (Masked) {
                const Ints active = (lane[g] <= u) & (lane[g] > u - count);
                x2[g] = active ? x1[g] : x2[g];
                x1[g] = active ? x : x1[g];
                y2[g] = active ? y1[g] : y2[g];
                y1[g] = active ? y : y1[g];
            } else {
                x2[g] = x1[g];
                x1[g] = x;
                y2[g] = y1[g];
                y1[g] = y;
            }
            const Floats scaled = (y * 32767.0f + 12582912.0f) - 12582912.0f; // rounded, halves even
            Floats o = y > 1.0f ? Floats{} + 32767.0f : scaled;
            o = y < -1.0f ? Floats{} - 32768.0f : o;
            o = y != y ? Floats{} : o;
            // y - y is 0 for a finite y and NaN otherwise; once NaN, the sum stays NaN. (Lanes
            // without a value compute from finite leftovers, so they add 0.)
            nonFinite[g] += y - y;
            slot[g] = o;
        }
        m_step = m_step + 1 == kSkew ? 0 : m_step + 1;
        const int last = m_bands - 1;
        return slot[last / BandCascade::kLanes][last % BandCascade::kLanes];
    }

private:
    static Floats loadGroup(const float *values, int g)
    {
        const float *p = values + g * BandCascade::kLanes;
        return Floats{p[0], p[1], p[2], p[3]};
    }
    static void storeGroup(float *values, int g, Floats v)
    {
        for (int l = 0; l < BandCascade::kLanes; ++l)
            values[g * BandCascade::kLanes + l] = v[l];
    }

    const std::int32_t m_bands;
    Floats b0[G], b1[G], b2[G], a1[G], a2[G];
    Floats x1[G], x2[G], y1[G], y2[G];
    Floats history[kSkew][G];
    int m_step = 0;
    Ints lane[G]; // kSkew x band index: how far behind band 0 each lane works
    Floats nonFinite[G] = {};
};

} // namespace band_cascade
