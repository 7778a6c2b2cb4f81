// The effects chain on blocks; the per-block path allocates nothing (operator new is counted).
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<long> g_allocations{0};

using NonZero = std::vector<std::pair<std::size_t, int>>;

Values impulse(std::size_t values, std::int16_t first) { Values out(values, 0); out[0] = first; return out; }

NonZero nonZero(const Values &values)
{
    NonZero found;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] != 0)
            found.emplace_back(i, values[i]);
    return found;
}

} // namespace

void *operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

TEST(DspChain, TheseSetupsLeaveTheBlockUnchanged)
{
    const std::vector<std::pair<const char *, std::function<void(clsDSP &)>>> setups = {
        {"no effect on", [](clsDSP &d) { prepare(d, 44100, 2, 0); }},
        {"amplifier at 0 dB", [](clsDSP &d) { prepare(d, 44100, 2, clsDSP::kAmplifier), d.setAmplifyDB(0); }},
        {"echo of 0 ms", [](clsDSP &d) { prepare(d, 44100, 2, clsDSP::kEcho), d.setEchoLength(0); }},
    };
    const Values input = noiseBlock(5120, 32768, 3);
    for (const auto &[name, setup] : setups) {
        SCOPED_TRACE(name);
        clsDSP dsp;
        setup(dsp);
        EXPECT_EQ(processed(dsp, input), input);
    }
}

TEST(DspChain, AmplifierScalesByItsGainAndSaturatesThenTheEchoRepeatsAfterItsLengthTimesItsFactor)
{
    clsDSP amplifier;
    prepare(amplifier, 44100, 1, clsDSP::kAmplifier);
    EXPECT_EQ(processed(amplifier, {1000}), Values{1413}); // the default 3 dB: x 1.4125376
    amplifier.setAmplifyDB(6); // x 1.9952623: full scale does not wrap
    EXPECT_EQ(processed(amplifier, {32767, -32768, 20000, -20000, 1000, -3}),
              (Values{32767, -32768, 32767, -32768, 1995, -6}));

    const auto shortEcho = [](float factor) { // 1 ms at 8 kHz: 8 values
        return [factor](clsDSP &d) { d.setEchoLength(1), d.setEchoAmp(factor); };
    };
    const struct {
        const char *name;
        int rateHz, channels, effects;
        std::function<void(clsDSP &)> setup;
        Values signal;
        NonZero expected;
    } cases[] = {
        {"mono, the default 100 ms and 0.4", 44100, 1, clsDSP::kEcho, [](clsDSP &) {}, impulse(20000, 10000),
         {{0, 10000}, {4410, 4000}, {8820, 1600}, {13230, 640}, {17640, 256}}},
        // round(-9950 x -0.995) = 9900, then round(9900 x -0.995) = -9850
        {"a negative factor alternates the sign", 8000, 1, clsDSP::kEcho, shortEcho(-0.995f), impulse(32, 10000),
         {{0, 10000}, {8, -9950}, {16, 9900}, {24, -9850}}},
        // Amplified first, 20000 saturates to 32767 and its echo is 0.4 x 32767 = 13107.
        {"the amplifier runs first", 44100, 1, clsDSP::kAmplifier | clsDSP::kEcho,
         [](clsDSP &d) { d.setAmplifyDB(6); }, impulse(5000, 20000), {{0, 32767}, {4410, 13107}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        clsDSP dsp;
        prepare(dsp, c.rateHz, c.channels, c.effects);
        c.setup(dsp);
        EXPECT_EQ(nonZero(processed(dsp, c.signal)), c.expected);
    }
}

TEST(DspChain, PhaseShifterKeepsTheLevelWetAndCutsSweepingNotchesMixedWithTheDrySignal)
{
    clsDSP wet, mixed;
    for (clsDSP *dsp : {&wet, &mixed}) {
        prepare(*dsp, 44100, 1, clsDSP::kPhaseShift);
        dsp->setPhaseShiftFeedback(0);
    }
    wet.setPhaseShiftDry(0);
    const Values input = sineBlock(1000, 10000, 88200);
    const Values allPass = processed(wet, input);
    EXPECT_NEAR(rmsDb(allPass, 4410, allPass.size()), rmsDb(input, 4410, input.size()), 0.5);
    EXPECT_NE(allPass, input);
    const Values block = processed(mixed, input);
    double quietest = 1e9, loudest = -1e9;
    for (std::size_t from = 0; from + 441 <= block.size(); from += 441) {
        quietest = std::min(quietest, rmsDb(block, from, from + 441));
        loudest = std::max(loudest, rmsDb(block, from, from + 441));
    }
    EXPECT_GT(loudest - quietest, 15.0);
}

TEST(DspChain, BlocksContinueOneStreamAndAllocateNothing)
{
    clsDSP whole, split;
    for (clsDSP *dsp : {&whole, &split}) {
        prepare(*dsp, 44100, 2, kAllEffects);
        dsp->setEchoLength(20);
        dsp->setEqualizerBandGainDB(1, 9);
        dsp->setEqualizerBandGainDB(5, -9);
    }
    Values inOne = noiseBlock(10240, 20000, 6), inParts = inOne;
    const long before = g_allocations.load();
    for (int i = 0; i < 5; ++i)
        whole.ProcessSamples(inOne);
    EXPECT_EQ(g_allocations.load() - before, 0);
    for (int i = 0; i < 5; ++i)
        inParts = processed(split, inParts, 3333);
    EXPECT_EQ(inParts, inOne);
    const long rebuilt = g_allocations.load(); // the counter sees allocations at all
    whole.setEchoLength(250);
    EXPECT_GT(g_allocations.load() - rebuilt, 0);
}
