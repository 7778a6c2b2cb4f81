// The per-block path allocates nothing: every operator new of this program is counted.
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> g_allocations{0};
}

void *operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

TEST(DspAllocation, ProcessingBlocksWithEveryEffectOnAllocatesNothing)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2,
            clsDSP::kEcho | clsDSP::kPhaseShift | clsDSP::kAmplifier | clsDSP::kEqualizer);
    dsp.setEqualizerBandGainDB(2, 6);
    std::vector<std::int16_t> block = noiseBlock(5120, 20000, 70);
    const long before = g_allocations.load();
    for (int i = 0; i < 20; ++i)
        dsp.ProcessSamples(block);
    EXPECT_EQ(g_allocations.load() - before, 0);
}

TEST(DspAllocation, SettingUpAllocatesTheDelayLine)
{
    // The counter sees allocations at all: the rebuild of the delay line makes one.
    clsDSP dsp;
    prepare(dsp, 44100, 2, 0);
    const long before = g_allocations.load();
    dsp.setEchoLength(250);
    EXPECT_GT(g_allocations.load() - before, 0);
}
