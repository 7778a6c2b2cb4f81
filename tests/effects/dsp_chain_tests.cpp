// The effects chain on blocks: when it leaves them alone, the amplifier, the feedback echo,
// the phase shifter, their order, and the stream that continues across blocks.
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <span>

namespace {

constexpr int kAll = clsDSP::kEcho | clsDSP::kPhaseShift | clsDSP::kAmplifier | clsDSP::kEqualizer;

// Indices and values of the non-zero values.
std::vector<std::pair<std::size_t, int>> nonZero(const std::vector<std::int16_t> &values)
{
    std::vector<std::pair<std::size_t, int>> found;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] != 0)
            found.emplace_back(i, values[i]);
    return found;
}

} // namespace

TEST(DspChain, NothingChangesBeforeRateAndChannelsAreBothSet)
{
    const std::vector<std::int16_t> input = noiseBlock(5120, 30000, 1);
    clsDSP dsp;
    dsp.setEffectsUsed(kAll);
    std::vector<std::int16_t> block = input;
    dsp.ProcessSamples(block);
    EXPECT_EQ(block, input);
    dsp.setSamplerate(44100);
    dsp.ProcessSamples(block);
    EXPECT_EQ(block, input);
}

TEST(DspChain, NoEffectSwitchedOnLeavesTheBlockUnchanged)
{
    const std::vector<std::int16_t> input = noiseBlock(5120, 30000, 2);
    clsDSP dsp;
    prepare(dsp, 44100, 2, 0);
    std::vector<std::int16_t> block = input;
    dsp.ProcessSamples(block);
    EXPECT_EQ(block, input);
}

TEST(DspChain, AmplifierAtZeroDbLeavesEveryValue)
{
    const std::vector<std::int16_t> input = noiseBlock(5120, 32768, 3);
    clsDSP dsp;
    prepare(dsp, 44100, 2, clsDSP::kAmplifier);
    dsp.setAmplifyDB(0);
    std::vector<std::int16_t> block = input;
    dsp.ProcessSamples(block);
    EXPECT_EQ(block, input);
}

TEST(DspChain, AmplifierAtSixDbSaturatesFullScaleInsteadOfWrapping)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kAmplifier);
    dsp.setAmplifyDB(6);
    std::vector<std::int16_t> block = {32767, -32768, 20000, -20000, 1000, -3};
    dsp.ProcessSamples(block);
    // 10^(6/20) = 1.9952623: 1000 -> 1995.26, -3 -> -5.99
    EXPECT_EQ(block, (std::vector<std::int16_t>{32767, -32768, 32767, -32768, 1995, -6}));
}

TEST(DspChain, AmplifierFollowsItsGainFromTheNextBlock)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kAmplifier);
    std::vector<std::int16_t> block = {1000};
    dsp.ProcessSamples(block);
    EXPECT_EQ(block[0], 1413); // the default 3 dB: x 1.4125376
    dsp.setAmplifyDB(-6);
    block = {1000};
    dsp.ProcessSamples(block);
    EXPECT_EQ(block[0], 501);
}

TEST(DspChain, EchoRepeatsAnImpulseEvery4410ValuesEachTimeTimesFourTenths)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kEcho);
    std::vector<std::int16_t> signal(20000, 0);
    signal[0] = 10000;
    processInBlocks(dsp, signal, 5120);
    const std::vector<std::pair<std::size_t, int>> expected = {
        {0, 10000}, {4410, 4000}, {8820, 1600}, {13230, 640}, {17640, 256}};
    EXPECT_EQ(nonZero(signal), expected);
}

TEST(DspChain, EchoDelayCountsValuesNotFramesInStereo)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, clsDSP::kEcho);
    std::vector<std::int16_t> signal(10240, 0);
    signal[1] = -10000; // first right value
    processInBlocks(dsp, signal, 5120);
    const std::vector<std::pair<std::size_t, int>> expected = {{1, -10000}, {4411, -4000}, {8821, -1600}};
    EXPECT_EQ(nonZero(signal), expected);
}

TEST(DspChain, ANegativeEchoFactorAlternatesTheSignOfEachRepeat)
{
    clsDSP dsp;
    prepare(dsp, 8000, 1, clsDSP::kEcho);
    dsp.setEchoLength(1); // 8 values
    dsp.setEchoAmp(-0.995f);
    std::vector<std::int16_t> signal(32, 0);
    signal[0] = 10000;
    dsp.ProcessSamples(signal);
    // -9950, then round(-9950 x -0.995) = 9900, then round(9900 x -0.995) = -9850
    const std::vector<std::pair<std::size_t, int>> expected = {{0, 10000}, {8, -9950}, {16, 9900}, {24, -9850}};
    EXPECT_EQ(nonZero(signal), expected);
}

TEST(DspChain, EchoSumsSaturateInsteadOfWrapping)
{
    clsDSP dsp;
    prepare(dsp, 8000, 1, clsDSP::kEcho);
    dsp.setEchoLength(1); // 8 values
    dsp.setEchoAmp(0.9f);
    std::vector<std::int16_t> signal(16, 30000);
    dsp.ProcessSamples(signal);
    for (std::size_t i = 8; i < 16; ++i)
        EXPECT_EQ(signal[i], 32767) << i; // 30000 + 27000 would wrap to a negative value
}

TEST(DspChain, SettingTheEchoEmptiesItsDelayLine)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kEcho);
    std::vector<std::int16_t> first(100, 0);
    first[0] = 10000;
    dsp.ProcessSamples(first);
    dsp.setEchoLength(100);
    std::vector<std::int16_t> rest(10000, 0);
    dsp.ProcessSamples(rest);
    EXPECT_TRUE(nonZero(rest).empty());
}

TEST(DspChain, AZeroOrNegativeEchoLengthPassesTheSignalThrough)
{
    for (int ms : {0, -50}) {
        clsDSP dsp;
        prepare(dsp, 44100, 2, clsDSP::kEcho);
        dsp.setEchoLength(ms);
        const std::vector<std::int16_t> input = noiseBlock(5120, 30000, 4);
        std::vector<std::int16_t> block = input;
        dsp.ProcessSamples(block);
        EXPECT_EQ(block, input) << ms;
        EXPECT_EQ(dsp.EchoLength(), ms);
    }
}

TEST(DspChain, AmplifierRunsBeforeTheEcho)
{
    // Amplified first, 20000 saturates to 32767 and its echo is 0.4 x 32767 = 13107; echoed
    // first, the echo would be amplified to 0.4 x 20000 x 1.995 = 15962.
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kAmplifier | clsDSP::kEcho);
    dsp.setAmplifyDB(6);
    std::vector<std::int16_t> signal(5000, 0);
    signal[0] = 20000;
    dsp.ProcessSamples(signal);
    EXPECT_EQ(signal[0], 32767);
    EXPECT_EQ(signal[4410], 13107);
}

TEST(DspChain, AnEffectSwitchedOffKeepsItsMemoryAndContinuesFromIt)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kEcho);
    std::vector<std::int16_t> first(4000, 0);
    first[0] = 10000;
    dsp.ProcessSamples(first);
    dsp.setEffectsUsed(0);
    std::vector<std::int16_t> paused(1000, 0);
    dsp.ProcessSamples(paused);
    EXPECT_TRUE(nonZero(paused).empty());
    dsp.setEffectsUsed(clsDSP::kEcho);
    std::vector<std::int16_t> resumed(1000, 0);
    dsp.ProcessSamples(resumed);
    // 4410 slots on: the line was read 4000 times, so its first slot comes 410 values later.
    const std::vector<std::pair<std::size_t, int>> expected = {{410, 4000}};
    EXPECT_EQ(nonZero(resumed), expected);
}

TEST(DspChain, PhaseShifterWithoutWetShareGivesTheInputButForRounding)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, clsDSP::kPhaseShift);
    dsp.setPhaseShiftWet(0);
    dsp.setPhaseShiftDry(1);
    const std::vector<std::int16_t> input = noiseBlock(10240, 32768, 5);
    std::vector<std::int16_t> block = input;
    processInBlocks(dsp, block, 5120);
    for (std::size_t i = 0; i < block.size(); ++i)
        ASSERT_LE(std::abs(block[i] - input[i]), 1) << i;
}

TEST(DspChain, PhaseShifterAllPassChainKeepsTheLevelOfASine)
{
    // All-pass stages change the phase, not the level: the wet share alone keeps the level.
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kPhaseShift);
    dsp.setPhaseShiftDry(0);
    dsp.setPhaseShiftFeedback(0);
    std::vector<std::int16_t> block = sineBlock(440, 44100, 10000, 44100);
    const std::vector<std::int16_t> input = block;
    processInBlocks(dsp, block, 5120);
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
    std::vector<std::int16_t> block = sineBlock(1000, 44100, 10000, 88200);
    processInBlocks(dsp, block, 5120);
    double quietest = 1e9, loudest = -1e9;
    for (std::size_t from = 0; from + 441 <= block.size(); from += 441) {
        quietest = std::min(quietest, rmsDb(block, from, from + 441));
        loudest = std::max(loudest, rmsDb(block, from, from + 441));
    }
    EXPECT_GT(loudest - quietest, 15.0);
}

TEST(DspChain, TwoBlocksGiveTheSameResultAsOneBlockHoldingBoth)
{
    const std::vector<std::int16_t> input = noiseBlock(10240, 20000, 6);
    clsDSP whole, split;
    for (clsDSP *dsp : {&whole, &split}) {
        prepare(*dsp, 44100, 2, kAll);
        dsp->setEchoLength(20);
        dsp->setEqualizerBandGainDB(1, 9);
        dsp->setEqualizerBandGainDB(5, -9);
    }
    std::vector<std::int16_t> once = input;
    whole.ProcessSamples(once);
    std::vector<std::int16_t> twice = input;
    split.ProcessSamples(std::span<std::int16_t>(twice.data(), 3333));
    split.ProcessSamples(std::span<std::int16_t>(twice.data() + 3333, twice.size() - 3333));
    EXPECT_EQ(twice, once);
}
