// The effects chain's properties: what each set accepts, refuses and reads back, and the
// equaliser's band layout. Floating-point faults of the chain reach the caller as the
// runtime's errors; a set whose set-up step faults changes nothing, and an effect that ran
// away starts again from silence.
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

// The caller's floating-point mode bits (the low six of MXCSR are sticky flags).
unsigned fpMode()
{
#if defined(__x86_64__)
    return _mm_getcsr() & 0xffc0u;
#else
    return 0;
#endif
}

// Both chains give the same output on the same blocks.
void expectSameOutput(clsDSP &a, clsDSP &b)
{
    for (unsigned seed = 0; seed < 3; ++seed) {
        const Values x = noiseBlock(5120, 20000, 40 + seed);
        ASSERT_EQ(processed(a, x), processed(b, x));
    }
}

} // namespace

TEST(DspSettings, ANewChainHasTheDocumentedDefaultsAndCapsTheEchoFactor)
{
    clsDSP dsp;
    // effects, echo ms, amplifier dB, bands, rate, channels
    EXPECT_EQ((std::vector<int>{dsp.EffectsUsed(), dsp.EchoLength(), dsp.AmplifyDB(), dsp.EqualizerBands(),
                                dsp.samplerate(), dsp.Channels()}),
              (std::vector<int>{0, 100, 3, 7, 0, 0}));
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.4f);
    // phase shifter: dry, wet, feedback, sweep rate, sweep range, frequency
    EXPECT_EQ((std::vector<float>{dsp.PhaseShiftDry(), dsp.PhaseShiftWet(), dsp.PhaseShiftFeedback(),
                                  dsp.PhaseShiftSweepRate(), dsp.PhaseShiftSweepRange(), dsp.PhaseShiftFrequency()}),
              (std::vector<float>{1, 1, 0.5f, 1, 4, 100}));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
        EXPECT_EQ(dsp.EqualizerBandFrequency(i), 0); // no band designed yet
    }
    // An echo factor above nine tenths reads back as nine tenths.
    dsp.setEchoAmp(1.5f);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.9f);
    dsp.setEchoAmp(0.2f);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.2f);
}

TEST(DspSettings, FormatsAndBandCountsOutOfRangeAreRefusedWithTheirReason)
{
    struct Case {
        const char *source;
        std::vector<int> bad;
        std::function<void(clsDSP &, int)> set;
        std::function<int(clsDSP &)> get;
        int kept;
    };
    const Case cases[] = {
        {"invalid samplerate", {0, -44100, 96001}, [](clsDSP &d, int v) { d.setSamplerate(v); },
         [](clsDSP &d) { return d.samplerate(); }, 96000}, // the highest rate taken
        {"invalid channels", {0, 3, -1}, [](clsDSP &d, int v) { d.setChannels(static_cast<std::int16_t>(v)); },
         [](clsDSP &d) { return static_cast<int>(d.Channels()); }, 2},
        {"Out Of Bounds!", {0, 11, -3}, [](clsDSP &d, int v) { d.setEqualizerBands(v); },
         [](clsDSP &d) { return d.EqualizerBands(); }, 7},
    };
    for (const Case &c : cases) {
        clsDSP dsp;
        c.set(dsp, c.kept);
        for (int bad : c.bad) {
            SCOPED_TRACE(testing::Message() << c.source << ": " << bad);
            const Raised r = raisedBy([&] { c.set(dsp, bad); });
            EXPECT_EQ(r.number, 32000);
            EXPECT_EQ(r.source, QString::fromLatin1(c.source));
            EXPECT_FALSE(r.text.isEmpty());
        }
        EXPECT_EQ(c.get(dsp), c.kept) << c.source;
    }
}

TEST(DspSettings, BandGainsReadBackRedesignTheirFilterAndStartAtZeroWithANewCount)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, 0);
    dsp.setEqualizerBandGainDB(4, -7.5f);
    EXPECT_EQ(dsp.EqualizerBandGainDB(4), -7.5f);
    EXPECT_EQ(dsp.bandFilter(4).GainDB(), -7.5f);
    EXPECT_EQ(dsp.bandFilter(4).IIRType(), IIRFilter::kPeaking);
    EXPECT_EQ(dsp.bandFilter(3).GainDB(), 0.0f);
    dsp.setEqualizerBands(5);
    EXPECT_EQ(dsp.EqualizerBands(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
    // The sixth band is out of range.
    EXPECT_EQ(raisedBy([&] { dsp.EqualizerBandGainDB(5); }).number, 9);
    EXPECT_EQ(raisedBy([&] { dsp.setEqualizerBandGainDB(5, 1); }).number, 9);
    EXPECT_EQ(raisedBy([&] { dsp.EqualizerBandFrequency(-1); }).number, 9);
}

TEST(DspSettings, SevenBandsSitAtEqualRatiosFrom80HzToAThirdOfTheRate)
{
    struct BandTable {
        int rateHz;
        int hz[7];
        double bandwidth;
    };
    for (const BandTable &t : {BandTable{8000, {80, 144, 257, 462, 829, 1487, 2667}, 0.8767},
                               BandTable{22050, {80, 170, 361, 767, 1629, 3460, 7350}, 1.1301},
                               BandTable{44100, {80, 191, 455, 1084, 2586, 6165, 14700}, 1.3034},
                               BandTable{48000, {80, 193, 468, 1131, 2736, 6616, 16000}, 1.3246}}) {
        clsDSP dsp;
        prepare(dsp, t.rateHz, 2, 0);
        for (int i = 0; i < 7; ++i) {
            SCOPED_TRACE(testing::Message() << t.rateHz << " Hz, band " << i);
            EXPECT_EQ(dsp.EqualizerBandFrequency(i), t.hz[i]);
            EXPECT_NEAR(dsp.bandFilter(i).Bandwidth(), t.bandwidth, 0.00005);
            EXPECT_EQ(dsp.bandFilter(i).samplerate(), t.rateHz);
        }
    }
}

TEST(DspSettings, TheBandsAreDesignedOnlyOnceBothRateAndChannelsAreSet)
{
    clsDSP dsp;
    dsp.setSamplerate(44100);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 0);
    dsp.setChannels(1);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 14700);
    dsp.setSamplerate(8000);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 2667);
    // A rate too low for any band is refused: a third of 1 Hz rounds to 0.
    EXPECT_EQ(raisedBy([&] { dsp.setSamplerate(1); }).number, 5);
    EXPECT_EQ(dsp.samplerate(), 8000);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 2667);
}

TEST(DspSettings, OneAndTenBandsSpanTheSameRange)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, 0);
    dsp.setEqualizerBands(1);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 1084); // the geometric middle: 80 x sqrt(14700 / 80)
    EXPECT_NEAR(dsp.bandFilter(0).Bandwidth(), 1.3034, 0.00005);
    prepare(dsp, 48000, 2, 0);
    dsp.setEqualizerBands(10);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80);
    EXPECT_EQ(dsp.EqualizerBandFrequency(9), 16000);
    for (int i = 1; i < 10; ++i)
        EXPECT_GT(dsp.EqualizerBandFrequency(i), dsp.EqualizerBandFrequency(i - 1));
}

TEST(DspFaults, ASetBeyondFloatIsAnOverflowAndChangesNothing)
{
    struct Case {
        const char *name;
        std::function<void(clsDSP &)> set;
        std::function<float(clsDSP &)> get;
        float kept;
    };
    const Case cases[] = {
        {"sweep range", [](clsDSP &d) { d.setPhaseShiftSweepRange(1000); },
         [](clsDSP &d) { return d.PhaseShiftSweepRange(); }, 4.0f},
        {"band gain", [](clsDSP &d) { d.setEqualizerBandGainDB(3, 1e6f); },
         [](clsDSP &d) { return d.EqualizerBandGainDB(3); }, 5.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clsDSP dsp, twin;
        for (clsDSP *d : {&dsp, &twin}) {
            prepare(*d, 44100, 2, kAllEffects);
            d->setEqualizerBandGainDB(3, 5);
        }
        EXPECT_EQ(raisedBy([&] { c.set(dsp); }).number, 6);
        EXPECT_EQ(c.get(dsp), c.kept);
        const unsigned mode = fpMode();
        expectSameOutput(dsp, twin);
        EXPECT_EQ(fpMode(), mode);
    }
    // An echo line longer than 32 bits: the length stays 100 ms.
    clsDSP dsp;
    prepare(dsp, 96000, 1, clsDSP::kEcho);
    EXPECT_EQ(raisedBy([&] { dsp.setEchoLength(2147483647); }).number, 6);
    EXPECT_EQ(dsp.EchoLength(), 100);
    EXPECT_EQ(processed(dsp, impulse(20000, 10000))[9600], 4000);
}

TEST(DspFaults, AFaultWhileProcessingIsTheRuntimesErrorAndKeepsTheCallersFloatingPointMode)
{
    struct Case {
        const char *name;
        int rateHz, channels, effects;
        std::function<void(clsDSP &)> setup;
        Values block;
        int number;
        std::function<void(clsDSP &, const Values &)> after;
    };
    const Case cases[] = {
        {"amplifier gain beyond float, before the block is touched", 44100, 2, clsDSP::kAmplifier | clsDSP::kEcho,
         [](clsDSP &d) { d.setAmplifyDB(800); }, noiseBlock(5120, 1000, 50), 6,
         [](clsDSP &, const Values &block) { EXPECT_EQ(block, noiseBlock(5120, 1000, 50)); }},
        // -32768 x -1 = 32768 does not fit the line, which is emptied
        {"echo product outside 16 bits", 8000, 1, clsDSP::kEcho,
         [](clsDSP &d) { d.setEchoLength(1), d.setEchoAmp(-1.0f); }, Values(8, -32768), 6,
         [](clsDSP &d, const Values &) { EXPECT_EQ(processed(d, Values(16, 0)), Values(16, 0)); }},
        {"phase shifter that runs away, recovering once tamed", 44100, 2, clsDSP::kPhaseShift,
         [](clsDSP &d) { d.setPhaseShiftFeedback(1e30f); }, noiseBlock(5120, 20000, 60), 6,
         [](clsDSP &d, const Values &) {
             clsDSP twin;
             prepare(twin, 44100, 2, clsDSP::kPhaseShift);
             for (clsDSP *x : {&d, &twin})
                 x->setPhaseShiftFeedback(0.5f);
             expectSameOutput(d, twin);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clsDSP dsp;
        prepare(dsp, c.rateHz, c.channels, c.effects);
        c.setup(dsp);
        Values block = c.block;
        const unsigned mode = fpMode();
        EXPECT_EQ(raisedBy([&] { dsp.ProcessSamples(block); }).number, c.number);
        EXPECT_EQ(fpMode(), mode);
        c.after(dsp, block);
    }
}
