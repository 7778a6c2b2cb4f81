// The effects chain's properties: what each set refuses, the equaliser's bands, and
// floating-point faults of a set: an error that changes nothing and keeps the caller's
// floating-point mode, and an effect that ran away starts again from silence.
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

#include <cmath>

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

void expectSameOutput(clsDSP &a, clsDSP &b)
{
    for (unsigned seed = 0; seed < 3; ++seed) {
        const Values x = noiseBlock(5120, 20000, 40 + seed);
        ASSERT_EQ(processed(a, x), processed(b, x));
    }
}

} // namespace

TEST(DspSettings, FormatsBandCountsAndBandsOutOfRangeAreRefusedWithTheirReason)
{
    const struct {
        const char *source;
        std::vector<int> bad;
        std::function<void(clsDSP &, int)> set;
        std::function<int(clsDSP &)> get;
        int kept;
    } cases[] = {
        {"invalid samplerate", {0, 96001}, [](clsDSP &d, int v) { d.setSamplerate(v); },
         [](clsDSP &d) { return d.samplerate(); }, 96000}, // the highest rate taken
        {"invalid channels", {0, 3}, [](clsDSP &d, int v) { d.setChannels(static_cast<std::int16_t>(v)); },
         [](clsDSP &d) { return static_cast<int>(d.Channels()); }, 2},
        {"Out Of Bounds!", {0, 11}, [](clsDSP &d, int v) { d.setEqualizerBands(v); },
         [](clsDSP &d) { return d.EqualizerBands(); }, 10},
    };
    for (const auto &c : cases) {
        clsDSP dsp;
        c.set(dsp, c.kept);
        for (int bad : c.bad) {
            SCOPED_TRACE(testing::Message() << c.source << ": " << bad);
            const Raised r = raisedBy([&] { c.set(dsp, bad); });
            EXPECT_EQ(r.number, 32000);
            EXPECT_EQ(r.source, QString::fromLatin1(c.source));
        }
        EXPECT_EQ(c.get(dsp), c.kept) << c.source;
    }
    clsDSP dsp;
    prepare(dsp, 44100, 2, 0);
    dsp.setEqualizerBands(5);
    EXPECT_EQ(raisedBy([&] { dsp.EqualizerBandGainDB(5); }).number, 9);
    EXPECT_EQ(raisedBy([&] { dsp.setEqualizerBandGainDB(5, 1); }).number, 9);
    EXPECT_EQ(raisedBy([&] { dsp.EqualizerBandFrequency(-1); }).number, 9);
    dsp.setEchoAmp(1.5f); // an echo factor above nine tenths reads back as nine tenths
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.9f);
}

TEST(DspSettings, BandsSitAtEqualRatiosFrom80HzToAThirdOfTheRateOnceRateAndChannelsAreSet)
{
    clsDSP dsp;
    dsp.setSamplerate(44100);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 0); // no channels yet: no band designed
    dsp.setChannels(1);
    for (const auto &[rateHz, bands] : {std::pair{8000, 7}, std::pair{44100, 7}, std::pair{48000, 10}, std::pair{22050, 2}}) {
        SCOPED_TRACE(testing::Message() << rateHz << " Hz, " << bands << " bands");
        dsp.setSamplerate(rateHz);
        dsp.setEqualizerBands(bands);
        const double ratio = std::pow(rateHz / 3.0 / 80.0, 1.0 / (bands - 1));
        for (int i = 0; i < bands; ++i) {
            EXPECT_NEAR(dsp.EqualizerBandFrequency(i), 80 * std::pow(ratio, i), 1.0) << "band " << i;
            EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
            EXPECT_EQ(dsp.bandFilter(i).samplerate(), rateHz);
            EXPECT_EQ(dsp.bandFilter(i).IIRType(), IIRFilter::kPeaking);
        }
    }
    dsp.setEqualizerBands(1);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 767); // the geometric middle: 80 x sqrt(7350 / 80)
    // A rate too low for any band is refused: a third of 1 Hz rounds to 0.
    EXPECT_EQ(raisedBy([&] { dsp.setSamplerate(1); }).number, 5);
    EXPECT_EQ(dsp.samplerate(), 22050);
}

TEST(DspFaults, ASetBeyondFloatIsAnOverflowAndChangesNothing)
{
    const struct {
        const char *name;
        std::function<void(clsDSP &)> set;
        std::function<float(clsDSP &)> get;
        float kept;
    } cases[] = {
        {"sweep range", [](clsDSP &d) { d.setPhaseShiftSweepRange(1000); }, [](clsDSP &d) { return d.PhaseShiftSweepRange(); }, 4.0f},
        {"band gain", [](clsDSP &d) { d.setEqualizerBandGainDB(3, 1e6f); }, [](clsDSP &d) { return d.EqualizerBandGainDB(3); }, 5.0f},
    };
    for (const auto &c : cases) {
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
    clsDSP dsp; // an echo line longer than 32 bits: the length stays 100 ms
    prepare(dsp, 96000, 1, clsDSP::kEcho);
    EXPECT_EQ(raisedBy([&] { dsp.setEchoLength(2147483647); }).number, 6);
    EXPECT_EQ(processed(dsp, impulse(20000, 10000))[9600], 4000);
}

TEST(DspFaults, AFaultWhileProcessingIsTheRuntimesErrorAndKeepsTheCallersFloatingPointMode)
{
    const struct {
        const char *name;
        int rateHz, channels, effects;
        std::function<void(clsDSP &)> setup;
        Values block;
        std::function<void(clsDSP &, const Values &)> after;
    } cases[] = {
        {"amplifier gain beyond float, before the block is touched", 44100, 2, clsDSP::kAmplifier | clsDSP::kEcho,
         [](clsDSP &d) { d.setAmplifyDB(800); }, noiseBlock(5120, 1000, 50),
         [](clsDSP &, const Values &block) { EXPECT_EQ(block, noiseBlock(5120, 1000, 50)); }},
        // -32768 x -1 = 32768 does not fit the line, which is emptied
        {"echo product outside 16 bits", 8000, 1, clsDSP::kEcho,
         [](clsDSP &d) { d.setEchoLength(1), d.setEchoAmp(-1.0f); }, Values(8, -32768),
         [](clsDSP &d, const Values &) { EXPECT_EQ(processed(d, Values(16, 0)), Values(16, 0)); }},
        {"phase shifter that runs away, recovering once tamed", 44100, 2, clsDSP::kPhaseShift,
         [](clsDSP &d) { d.setPhaseShiftFeedback(1e30f); }, noiseBlock(5120, 20000, 60),
         [](clsDSP &d, const Values &) {
             clsDSP twin;
             prepare(twin, 44100, 2, clsDSP::kPhaseShift);
             for (clsDSP *x : {&d, &twin})
                 x->setPhaseShiftFeedback(0.5f);
             expectSameOutput(d, twin);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        clsDSP dsp;
        prepare(dsp, c.rateHz, c.channels, c.effects);
        c.setup(dsp);
        Values block = c.block;
        const unsigned mode = fpMode();
        EXPECT_EQ(raisedBy([&] { dsp.ProcessSamples(block); }).number, 6);
        EXPECT_EQ(fpMode(), mode);
        c.after(dsp, block);
    }
}
