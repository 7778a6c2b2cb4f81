// The effects chain's properties: what each set accepts, refuses and reads back, and the
// equaliser's band layout.
#include "effects/cls_dsp.h"

#include "common/app_error.h"
#include "signals.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Raised {
    int number = 0;
    QString source;
};

Raised raisedBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return {error.number(), error.source()};
    }
    return {};
}

} // namespace

TEST(DspSettings, ANewChainHasTheDocumentedDefaults)
{
    clsDSP dsp;
    EXPECT_EQ(dsp.EffectsUsed(), 0);
    EXPECT_EQ(dsp.EchoLength(), 100);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.4f);
    EXPECT_EQ(dsp.AmplifyDB(), 3);
    EXPECT_EQ(dsp.PhaseShiftDry(), 1.0f);
    EXPECT_EQ(dsp.PhaseShiftWet(), 1.0f);
    EXPECT_EQ(dsp.PhaseShiftFeedback(), 0.5f);
    EXPECT_EQ(dsp.PhaseShiftSweepRate(), 1.0f);
    EXPECT_EQ(dsp.PhaseShiftSweepRange(), 4.0f);
    EXPECT_EQ(dsp.PhaseShiftFrequency(), 100.0f);
    EXPECT_EQ(dsp.EqualizerBands(), 7);
    EXPECT_EQ(dsp.samplerate(), 0);
    EXPECT_EQ(dsp.Channels(), 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
        EXPECT_EQ(dsp.EqualizerBandFrequency(i), 0); // no band designed yet
    }
}

TEST(DspSettings, RatesOutsideOneTo96000AreRefusedWithTheirReason)
{
    clsDSP dsp;
    dsp.setSamplerate(22050);
    for (int bad : {0, -44100, 96001}) {
        const Raised r = raisedBy([&] { dsp.setSamplerate(bad); });
        EXPECT_EQ(r.number, 32000) << bad;
        EXPECT_EQ(r.source, QStringLiteral("invalid samplerate"));
    }
    EXPECT_EQ(dsp.samplerate(), 22050);
    dsp.setSamplerate(96000);
    EXPECT_EQ(dsp.samplerate(), 96000);
}

TEST(DspSettings, ChannelCountsOtherThanOneOrTwoAreRefusedWithTheirReason)
{
    clsDSP dsp;
    dsp.setChannels(2);
    for (int bad : {0, 3, -1}) {
        const Raised r = raisedBy([&] { dsp.setChannels(static_cast<std::int16_t>(bad)); });
        EXPECT_EQ(r.number, 32000) << bad;
        EXPECT_EQ(r.source, QStringLiteral("invalid channels"));
    }
    EXPECT_EQ(dsp.Channels(), 2);
}

TEST(DspSettings, BandCountsOutsideOneToTenAreRefusedWithTheirReason)
{
    clsDSP dsp;
    for (int bad : {0, 11, -3}) {
        const Raised r = raisedBy([&] { dsp.setEqualizerBands(bad); });
        EXPECT_EQ(r.number, 32000) << bad;
        EXPECT_EQ(r.source, QStringLiteral("Out Of Bounds!"));
    }
    EXPECT_EQ(dsp.EqualizerBands(), 7);
}

TEST(DspSettings, EchoFactorAboveNineTenthsReadsBackAsNineTenths)
{
    clsDSP dsp;
    dsp.setEchoAmp(1.5f);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.9f);
    dsp.setEchoAmp(0.2f);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.2f);
}

TEST(DspSettings, FiveBandsStartAtZeroDbAndTheSixthIsOutOfRange)
{
    clsDSP dsp;
    prepare(dsp, 44100, 2, 0);
    dsp.setEqualizerBandGainDB(2, 8);
    dsp.setEqualizerBands(5);
    EXPECT_EQ(dsp.EqualizerBands(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
    EXPECT_EQ(raisedBy([&] { dsp.EqualizerBandGainDB(5); }).number, 9);
    EXPECT_EQ(raisedBy([&] { dsp.setEqualizerBandGainDB(5, 1); }).number, 9);
    EXPECT_EQ(raisedBy([&] { dsp.EqualizerBandFrequency(-1); }).number, 9);
}

TEST(DspSettings, BandGainsReadBackAndRedesignTheirFilter)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, 0);
    dsp.setEqualizerBandGainDB(4, -7.5f);
    EXPECT_EQ(dsp.EqualizerBandGainDB(4), -7.5f);
    EXPECT_EQ(dsp.bandFilter(4).GainDB(), -7.5f);
    EXPECT_EQ(dsp.bandFilter(4).IIRType(), IIRFilter::kPeaking);
    EXPECT_EQ(dsp.bandFilter(3).GainDB(), 0.0f);
}

struct BandTable {
    int rateHz;
    int hz[7];
    double bandwidth;
};

class DspBandTable : public ::testing::TestWithParam<BandTable> {};

TEST_P(DspBandTable, SevenBandsSitAtEqualRatiosFrom80HzToAThirdOfTheRate)
{
    const BandTable &t = GetParam();
    clsDSP dsp;
    prepare(dsp, t.rateHz, 2, 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(dsp.EqualizerBandFrequency(i), t.hz[i]) << "band " << i;
        EXPECT_NEAR(dsp.bandFilter(i).Bandwidth(), t.bandwidth, 0.00005) << "band " << i;
        EXPECT_EQ(dsp.bandFilter(i).samplerate(), t.rateHz);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, DspBandTable,
    ::testing::Values(BandTable{8000, {80, 144, 257, 462, 829, 1487, 2667}, 0.8767},
                      BandTable{22050, {80, 170, 361, 767, 1629, 3460, 7350}, 1.1301},
                      BandTable{44100, {80, 191, 455, 1084, 2586, 6165, 14700}, 1.3034},
                      BandTable{48000, {80, 193, 468, 1131, 2736, 6616, 16000}, 1.3246}));

TEST(DspSettings, TheBandsAreDesignedOnlyOnceBothRateAndChannelsAreSet)
{
    clsDSP dsp;
    dsp.setSamplerate(44100);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 0);
    dsp.setChannels(1);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 14700);
    dsp.setSamplerate(8000);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 2667);
}

TEST(DspSettings, ASingleBandSitsInTheGeometricMiddleOfTheRange)
{
    clsDSP dsp;
    prepare(dsp, 44100, 1, 0);
    dsp.setEqualizerBands(1);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 1084); // 80 x sqrt(14700 / 80)
    EXPECT_NEAR(dsp.bandFilter(0).Bandwidth(), 1.3034, 0.00005);
}

TEST(DspSettings, TenBandsSpanTheSameRange)
{
    clsDSP dsp;
    prepare(dsp, 48000, 2, 0);
    dsp.setEqualizerBands(10);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80);
    EXPECT_EQ(dsp.EqualizerBandFrequency(9), 16000);
    for (int i = 1; i < 10; ++i)
        EXPECT_GT(dsp.EqualizerBandFrequency(i), dsp.EqualizerBandFrequency(i - 1));
}
