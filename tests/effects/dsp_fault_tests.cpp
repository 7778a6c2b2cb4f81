// Floating-point faults of the chain reach the caller as the runtime's errors; a set whose
// set-up step faults changes nothing, and an effect that ran away starts again from silence.
#include "effects/cls_dsp.h"

#include "common/app_error.h"
#include "signals.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

int errorNumberOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return error.number();
    }
    return 0;
}

// Both chains give the same output on the same blocks.
void expectSameOutput(clsDSP &a, clsDSP &b)
{
    for (unsigned seed = 0; seed < 3; ++seed) {
        std::vector<std::int16_t> x = noiseBlock(5120, 20000, 40 + seed), y = x;
        a.ProcessSamples(x);
        b.ProcessSamples(y);
        ASSERT_EQ(x, y);
    }
}

constexpr int kAll = clsDSP::kEcho | clsDSP::kPhaseShift | clsDSP::kAmplifier | clsDSP::kEqualizer;

} // namespace

TEST(DspFaults, ASweepRangeBeyondFloatIsAnOverflowAndChangesNothing)
{
    clsDSP dsp, twin;
    for (clsDSP *d : {&dsp, &twin})
        prepare(*d, 44100, 2, kAll);
    EXPECT_EQ(errorNumberOf([&] { dsp.setPhaseShiftSweepRange(1000); }), 6);
    EXPECT_EQ(dsp.PhaseShiftSweepRange(), 4.0f);
    expectSameOutput(dsp, twin);
}

TEST(DspFaults, ABandGainBeyondFloatIsAnOverflowAndChangesNothing)
{
    clsDSP dsp, twin;
    for (clsDSP *d : {&dsp, &twin}) {
        prepare(*d, 44100, 2, kAll);
        d->setEqualizerBandGainDB(3, 5);
    }
    EXPECT_EQ(errorNumberOf([&] { dsp.setEqualizerBandGainDB(3, 1e6f); }), 6);
    EXPECT_EQ(dsp.EqualizerBandGainDB(3), 5.0f);
    expectSameOutput(dsp, twin);
}

TEST(DspFaults, ARateTooLowForAnyBandIsRefusedAndChangesNothing)
{
    clsDSP dsp;
    prepare(dsp, 8000, 1, 0);
    EXPECT_EQ(errorNumberOf([&] { dsp.setSamplerate(1); }), 5); // a third of 1 Hz rounds to 0
    EXPECT_EQ(dsp.samplerate(), 8000);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 2667);
}

TEST(DspFaults, AnEchoLineLongerThan32BitsIsAnOverflowAndChangesNothing)
{
    clsDSP dsp;
    prepare(dsp, 96000, 1, clsDSP::kEcho);
    EXPECT_EQ(errorNumberOf([&] { dsp.setEchoLength(2147483647); }), 6);
    EXPECT_EQ(dsp.EchoLength(), 100);
    std::vector<std::int16_t> signal(20000, 0);
    signal[0] = 10000;
    dsp.ProcessSamples(signal);
    EXPECT_EQ(signal[9600], 4000); // still 100 ms
}

TEST(DspFaults, AnAmplifierGainBeyondFloatIsAnOverflowBeforeTheBlockIsTouched)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, clsDSP::kAmplifier | clsDSP::kEcho);
    dsp.setAmplifyDB(800);
    const std::vector<std::int16_t> input = noiseBlock(5120, 1000, 50);
    std::vector<std::int16_t> block = input;
    EXPECT_EQ(errorNumberOf([&] { dsp.ProcessSamples(block); }), 6);
    EXPECT_EQ(block, input);
}

TEST(DspFaults, AnEchoProductOutside16BitsIsAnOverflowAndEmptiesTheLine)
{
    clsDSP dsp;
    prepare(dsp, 8000, 1, clsDSP::kEcho);
    dsp.setEchoLength(1); // 8 values
    dsp.setEchoAmp(-1.0f); // -32768 x -1 = 32768 does not fit the line
    std::vector<std::int16_t> block(8, -32768);
    EXPECT_EQ(errorNumberOf([&] { dsp.ProcessSamples(block); }), 6);
    std::vector<std::int16_t> silence(16, 0);
    dsp.ProcessSamples(silence);
    EXPECT_EQ(silence, std::vector<std::int16_t>(16, 0));
}

TEST(DspFaults, APhaseShifterThatRunsAwayIsAnOverflowAndRecoversOnceTamed)
{
    clsDSP dsp, twin;
    for (clsDSP *d : {&dsp, &twin})
        prepare(*d, 44100, 2, clsDSP::kPhaseShift);
    dsp.setPhaseShiftFeedback(1e30f);
    std::vector<std::int16_t> block = noiseBlock(5120, 20000, 60);
    EXPECT_EQ(errorNumberOf([&] { dsp.ProcessSamples(block); }), 6);
    dsp.setPhaseShiftFeedback(0.5f);
    twin.setPhaseShiftFeedback(0.5f);
    expectSameOutput(dsp, twin);
}

TEST(DspFaults, ASweepReachingMinusOneIsADivisionByZero)
{
    // wp = frequency x pi / rate = -1 at the start of the sweep: (1 - wp) / (1 + wp) has no value.
    clsDSP dsp;
    prepare(dsp, 44100, 1, clsDSP::kPhaseShift);
    dsp.setPhaseShiftFrequency(-44100.0f / 3.1415927f);
    std::vector<std::int16_t> block = noiseBlock(100, 1000, 61);
    EXPECT_EQ(errorNumberOf([&] { dsp.ProcessSamples(block); }), 11);
}

TEST(DspFaults, ValidationErrorsCarryTheirReasonAsSource)
{
    clsDSP dsp;
    try {
        dsp.setSamplerate(0);
        FAIL() << "no error";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 32000);
        EXPECT_EQ(error.source(), QStringLiteral("invalid samplerate"));
        EXPECT_FALSE(error.text().isEmpty());
    }
}

#if defined(__x86_64__)
#include <xmmintrin.h>

TEST(DspFaults, TheCallersFloatingPointModeIsTheSameAfterABlockAndAfterAFault)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, kAll);
    const unsigned before = _mm_getcsr();
    std::vector<std::int16_t> block = noiseBlock(5120, 20000, 80);
    dsp.ProcessSamples(block);
    EXPECT_EQ(_mm_getcsr() & 0xffc0u, before & 0xffc0u); // mode bits; the low six are sticky flags
    dsp.setAmplifyDB(800);
    EXPECT_EQ(errorNumberOf([&] { dsp.ProcessSamples(block); }), 6);
    dsp.setAmplifyDB(3);
    dsp.setPhaseShiftFeedback(1e30f);
    EXPECT_EQ(errorNumberOf([&] { dsp.ProcessSamples(block); }), 6);
    EXPECT_EQ(_mm_getcsr() & 0xffc0u, before & 0xffc0u);
}
#endif
