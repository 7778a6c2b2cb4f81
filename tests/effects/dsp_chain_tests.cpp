// The effects chain on blocks: when it leaves them alone, the amplifier, the feedback echo,
// the phase shifter, their order, and the stream that continues across blocks; the per-block
// path allocates nothing: every operator new of this program is counted.
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocations{0};

using NonZero = std::vector<std::pair<std::size_t, int>>;

// Indices and values of the non-zero values.
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
        {"neither rate nor channels", [](clsDSP &d) { d.setEffectsUsed(kAllEffects); }},
        {"rate without channels", [](clsDSP &d) { d.setEffectsUsed(kAllEffects), d.setSamplerate(44100); }},
        {"no effect on", [](clsDSP &d) { prepare(d, 44100, 2, 0); }},
        {"amplifier at 0 dB", [](clsDSP &d) { prepare(d, 44100, 2, clsDSP::kAmplifier), d.setAmplifyDB(0); }},
        {"echo of 0 ms", [](clsDSP &d) { prepare(d, 44100, 2, clsDSP::kEcho), d.setEchoLength(0); }},
        {"echo of -50 ms", [](clsDSP &d) { prepare(d, 44100, 2, clsDSP::kEcho), d.setEchoLength(-50); }},
    };
    const Values input = noiseBlock(5120, 32768, 3);
    for (const auto &[name, setup] : setups) {
        SCOPED_TRACE(name);
        clsDSP dsp;
        setup(dsp);
        EXPECT_EQ(processed(dsp, input), input);
    }
    clsDSP dsp;
    dsp.setEchoLength(-50);
    EXPECT_EQ(dsp.EchoLength(), -50); // stored as given
}

TEST(DspChain, AmplifierScalesByItsGainFromTheNextBlockAndSaturates)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kAmplifier);
    EXPECT_EQ(processed(dsp, {1000}), Values{1413}); // the default 3 dB: x 1.4125376
    dsp.setAmplifyDB(6); // x 1.9952623: 1000 -> 1995.26, -3 -> -5.99, full scale does not wrap
    EXPECT_EQ(processed(dsp, {32767, -32768, 20000, -20000, 1000, -3}),
              (Values{32767, -32768, 32767, -32768, 1995, -6}));
    dsp.setAmplifyDB(-6);
    EXPECT_EQ(processed(dsp, {1000}), Values{501});
}

TEST(DspChain, EchoRepeatsAnImpulseAfterItsLengthInValuesTimesItsFactor)
{
    struct Case {
        const char *name;
        int rateHz, channels, effects;
        std::function<void(clsDSP &)> setup;
        Values signal;
        NonZero expected;
    };
    const auto shortEcho = [](float factor) { // 1 ms at 8 kHz: 8 values
        return [factor](clsDSP &d) { d.setEchoLength(1), d.setEchoAmp(factor); };
    };
    const Case cases[] = {
        {"mono, the default 100 ms and 0.4", 44100, 1, clsDSP::kEcho, [](clsDSP &) {}, impulse(20000, 10000),
         {{0, 10000}, {4410, 4000}, {8820, 1600}, {13230, 640}, {17640, 256}}},
        {"stereo counts values, not frames", 44100, 2, clsDSP::kEcho, [](clsDSP &) {}, impulse(10240, -10000, 1),
         {{1, -10000}, {4411, -4000}, {8821, -1600}}},
        // round(-9950 x -0.995) = 9900, then round(9900 x -0.995) = -9850
        {"a negative factor alternates the sign", 8000, 1, clsDSP::kEcho, shortEcho(-0.995f), impulse(32, 10000),
         {{0, 10000}, {8, -9950}, {16, 9900}, {24, -9850}}},
        // 30000 + 27000 would wrap to a negative value
        {"sums saturate", 8000, 1, clsDSP::kEcho, shortEcho(0.9f), {30000, 0, 0, 0, 0, 0, 0, 0, 30000},
         {{0, 30000}, {8, 32767}}},
        // Amplified first, 20000 saturates to 32767 and its echo is 0.4 x 32767 = 13107; echoed
        // first, the echo would be amplified to 0.4 x 20000 x 1.995 = 15962.
        {"the amplifier runs first", 44100, 1, clsDSP::kAmplifier | clsDSP::kEcho,
         [](clsDSP &d) { d.setAmplifyDB(6); }, impulse(5000, 20000), {{0, 32767}, {4410, 13107}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clsDSP dsp;
        prepare(dsp, c.rateHz, c.channels, c.effects);
        c.setup(dsp);
        EXPECT_EQ(nonZero(processed(dsp, c.signal)), c.expected);
    }
}

TEST(DspChain, TheEchoLineIsEmptiedBySettingTheEchoAndKeptWhileTheEchoIsOff)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kEcho);
    processed(dsp, impulse(100, 10000));
    dsp.setEchoLength(100);
    EXPECT_TRUE(nonZero(processed(dsp, Values(10000, 0))).empty());

    processed(dsp, impulse(4000, 10000));
    dsp.setEffectsUsed(0);
    EXPECT_TRUE(nonZero(processed(dsp, Values(1000, 0))).empty());
    dsp.setEffectsUsed(clsDSP::kEcho);
    // 4410 slots on: the line was read 4000 times, so its first slot comes 410 values later.
    EXPECT_EQ(nonZero(processed(dsp, Values(1000, 0))), (NonZero{{410, 4000}}));
}

TEST(DspChain, PhaseShifterDryShareAloneGivesTheInputAndWetShareAloneKeepsTheLevel)
{
    clsDSP dry;
    prepare(dry, 44100, 2, clsDSP::kPhaseShift);
    dry.setPhaseShiftWet(0);
    dry.setPhaseShiftDry(1);
    const Values noise = noiseBlock(10240, 32768, 5);
    EXPECT_LE(largestDifference(processed(dry, noise), noise), 1); // but for rounding
    // All-pass stages change the phase, not the level.
    clsDSP wet;
    prepare(wet, 44100, 1, clsDSP::kPhaseShift);
    wet.setPhaseShiftDry(0);
    wet.setPhaseShiftFeedback(0);
    const Values input = sineBlock(440, 44100, 10000, 44100);
    const Values block = processed(wet, input);
    EXPECT_NEAR(rmsDb(block, 4410, block.size()), rmsDb(input, 4410, input.size()), 0.5);
    EXPECT_NE(block, input);
}

TEST(DspChain, PhaseShifterMixedWithTheDrySignalCutsNotches)
{
    // Dry + wet of an all-pass cancels where the chain turns the phase by half a turn: some
    // short stretches of a steady sine lose most of their level as the notch sweeps over it.
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kPhaseShift);
    dsp.setPhaseShiftFeedback(0);
    const Values block = processed(dsp, sineBlock(1000, 44100, 10000, 88200));
    double quietest = 1e9, loudest = -1e9;
    for (std::size_t from = 0; from + 441 <= block.size(); from += 441) {
        quietest = std::min(quietest, rmsDb(block, from, from + 441));
        loudest = std::max(loudest, rmsDb(block, from, from + 441));
    }
    EXPECT_GT(loudest - quietest, 15.0);
}

TEST(DspChain, TwoBlocksGiveTheSameResultAsOneBlockHoldingBoth)
{
    clsDSP whole, split;
    for (clsDSP *dsp : {&whole, &split}) {
        prepare(*dsp, 44100, 2, kAllEffects);
        dsp->setEchoLength(20);
        dsp->setEqualizerBandGainDB(1, 9);
        dsp->setEqualizerBandGainDB(5, -9);
    }
    const Values input = noiseBlock(10240, 20000, 6);
    EXPECT_EQ(processed(split, input, 3333), processed(whole, input, input.size()));
}

TEST(DspChain, ProcessingBlocksWithEveryEffectOnAllocatesNothing)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, kAllEffects);
    dsp.setEqualizerBandGainDB(2, 6);
    Values block = noiseBlock(5120, 20000, 70);
    long before = g_allocations.load();
    for (int i = 0; i < 20; ++i)
        dsp.ProcessSamples(block);
    EXPECT_EQ(g_allocations.load() - before, 0);
    // The counter sees allocations at all: the rebuild of the delay line makes one.
    before = g_allocations.load();
    dsp.setEchoLength(250);
    EXPECT_GT(g_allocations.load() - before, 0);
}

TEST(DspChain, PhaseShifterStaysStableAtEveryEndOfItsSettingsWindowRanges)
{
    // The window offers -10 to 150 Hz, 3 to 6 octaves, 0.1 to 1.5 for the sweep rate and -0.9 to
    // 0.9 of feedback. At each corner a quiet noise stays quiet (a diverging filter grows into
    // full-scale noise within a second).
    for (const float hz : {-10.0f, 0.0f, 150.0f})
        for (const float octaves : {3.0f, 6.0f})
            for (const float feedback : {-0.9f, 0.9f})
                for (const int rate : {8000, 44100}) {
                    SCOPED_TRACE(testing::Message() << hz << " Hz, " << octaves << " octaves, feedback " << feedback
                                                    << ", " << rate << " Hz");
                    clsDSP dsp;
                    prepare(dsp, rate, 1, clsDSP::kPhaseShift);
                    dsp.setPhaseShiftFrequency(hz);
                    dsp.setPhaseShiftSweepRange(octaves);
                    dsp.setPhaseShiftSweepRate(1.5f);
                    dsp.setPhaseShiftFeedback(feedback);
                    const Values block = processed(dsp, noiseBlock(3 * rate, 1000, 9));
                    EXPECT_LT(rmsDb(block, block.size() - rate, block.size()), rmsDb(block, 0, rate) + 12);
                    EXPECT_EQ(std::count(block.begin(), block.end(), std::int16_t{32767}), 0);
                }
}
