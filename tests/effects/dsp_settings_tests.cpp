// The effects chain's properties: what each set refuses, and a fault while processing that
// leaves the block untouched.
#include "effects/cls_dsp.h"

#include "signals.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(raisedBy([&] { dsp.setEqualizerBandGainDB(5, 1); }).number, 9);
    EXPECT_EQ(raisedBy([&] { dsp.EqualizerBandFrequency(-1); }).number, 9);
}

TEST(DspFaults, AnAmplifierGainBeyondFloatIsAnOverflowThatLeavesTheBlockUntouched)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, clsDSP::kAmplifier | clsDSP::kEcho);
    dsp.setAmplifyDB(800);
    const Values input = noiseBlock(5120, 1000, 50);
    Values block = input;
    EXPECT_EQ(raisedBy([&] { dsp.ProcessSamples(block); }).number, 6);
    EXPECT_EQ(block, input);
}
