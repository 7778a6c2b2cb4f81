// Moving the bands' coefficients and memory between the filters and the cascade's lanes.
#include "effects/band_cascade.h"

void BandCascade::load(std::span<const IIRFilter> filters)
{
    *this = BandCascade();
    for (const IIRFilter &filter : filters) {
        if (!filter.Enabled() || m_bands == kMaxBands)
            continue;
        const BiquadSection &s = filter.section();
        const int k = m_bands++;
        b0[k] = s.b0;
        b1[k] = s.b1;
        b2[k] = s.b2;
        a1[k] = s.a1;
        a2[k] = s.a2;
        x1[k] = s.x1;
        x2[k] = s.x2;
        y1[k] = s.y1;
        y2[k] = s.y2;
    }
}

void BandCascade::store(std::span<IIRFilter> filters) const
{
    int k = 0;
    for (IIRFilter &filter : filters) {
        if (!filter.Enabled() || k == m_bands)
            continue;
        if (runaway)
            filter.clearMemory();
        else
            filter.setMemory(x1[k], x2[k], y1[k], y2[k]);
        ++k;
    }
}
