// Level meters: the channel peaks, the three-block smoothing, the colour ramp and the bar.
#include "display/draw.h"
#include "display/meters.h"
#include "display/smooth.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int32_t kGreen = rgbValue(0, 255, 0);
constexpr std::int32_t kAmber = rgbValue(225, 168, 34);
constexpr std::int32_t kRed = rgbValue(255, 0, 0);
constexpr std::int32_t kBackground = rgbValue(240, 240, 240);

std::int32_t meterColor(float level) { return GradientColor(1.0f, level, kGreen, kAmber, kRed); }

} // namespace

TEST(ChannelPeak, TakesTheLargestMagnitudeOfOneInterleavedChannel)
{
    const std::vector<std::int16_t> block = {100, -7, -300, 5, 200, 9};
    EXPECT_EQ(ChannelPeak(block, 0, 2), 300);
    EXPECT_EQ(ChannelPeak(block, 1, 2), 9);
    EXPECT_EQ(ChannelPeak(block, 0, 1), 300);
}

TEST(ChannelPeak, MostNegativeSampleCountsAsFullMagnitude)
{
    const std::vector<std::int16_t> block = {32767, -32768};
    EXPECT_EQ(ChannelPeak(block, 0, 1), 32768);
    EXPECT_EQ(ChannelPeak(block, 1, 2), 32768);
}

TEST(ChannelPeak, NoSampleOfTheChannelGivesZero)
{
    const std::vector<std::int16_t> one = {1234};
    EXPECT_EQ(ChannelPeak(one, 1, 2), 0);
    EXPECT_EQ(ChannelPeak({}, 0, 1), 0);
}

TEST(ChannelPeak, ImpossibleWalksGiveZeroInsteadOfRunningAway)
{
    const std::vector<std::int16_t> block = {1000, 2000};
    EXPECT_EQ(ChannelPeak(block, 0, 0), 0);
    EXPECT_EQ(ChannelPeak(block, 0, -1), 0);
    EXPECT_EQ(ChannelPeak(block, -1, 1), 0);
}

TEST(LevelSmoothing, ReturnsTheMeanOfTheLastThreeValues)
{
    clsSmooth smooth;
    smooth.SmoothNew(3);
    smooth.SmoothAdd(3);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 3);
    smooth.SmoothAdd(6);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 4.5);
    smooth.SmoothAdd(9);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 6);
    smooth.SmoothAdd(30); // replaces the 3
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 15);
    smooth.SmoothAdd(0);
    smooth.SmoothAdd(0);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 10);
}

TEST(LevelSmoothing, NewRingForgetsEverything)
{
    clsSmooth smooth;
    smooth.SmoothNew(3);
    smooth.SmoothAdd(300);
    smooth.SmoothNew(2);
    smooth.SmoothAdd(4);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 4);
    smooth.SmoothAdd(8);
    smooth.SmoothAdd(10);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 9);
}

TEST(LevelSmoothing, EmptyRingReadsZero)
{
    clsSmooth unsized;
    EXPECT_EQ(unsized.SmoothGetMax(), 0.0f);
    unsized.SmoothAdd(5);
    EXPECT_EQ(unsized.SmoothGetMax(), 0.0f);

    clsSmooth sized;
    sized.SmoothNew(3);
    EXPECT_EQ(sized.SmoothGetMax(), 0.0f);
    sized.SmoothNew(0);
    sized.SmoothAdd(5);
    EXPECT_EQ(sized.SmoothGetMax(), 0.0f);
}

TEST(MeterColour, RampsFromGreenThroughAmberToRed)
{
    EXPECT_EQ(meterColor(0.0f), kGreen);
    EXPECT_EQ(meterColor(0.25f), rgbValue(112, 212, 17));
    EXPECT_EQ(meterColor(0.5f), kAmber);
    EXPECT_EQ(meterColor(0.75f), rgbValue(240, 84, 17));
    EXPECT_EQ(meterColor(1.0f), kRed);
    EXPECT_EQ(meterColor(32767.0f / 32768.0f), kRed);
}

TEST(MeterColour, LevelsOutsideTheRampKeepEveryComponentInRange)
{
    // Extrapolating past red would give 405 red and negative green and blue; each component
    // stays a byte so that it cannot spill into its neighbour.
    EXPECT_EQ(meterColor(2.0f), kRed);
    EXPECT_EQ(meterColor(-1.0f), rgbValue(0, 255, 0));
    EXPECT_EQ(GradientColor(0.0f, 0.0f, kGreen, kAmber, kRed), kRed);
    EXPECT_EQ(GradientColor(0.0f, -1.0f, kGreen, kAmber, kRed), kGreen);
}

TEST(MeterColour, GradientUsesTheGivenMaximum)
{
    EXPECT_EQ(GradientColor(20.0f, 5.0f, kGreen, kAmber, kRed), rgbValue(112, 212, 17));
    EXPECT_EQ(GradientColor(20.0f, 10.0f, kGreen, kAmber, kRed), kAmber);
}

TEST(MeterColour, SplitColourSeparatesRedGreenAndBlue)
{
    const ColorParts parts = SplitColor(rgbValue(18, 52, 86));
    EXPECT_EQ(parts.red, 18.0f);
    EXPECT_EQ(parts.green, 52.0f);
    EXPECT_EQ(parts.blue, 86.0f);
    const ColorParts high = SplitColor(0x7fffffff);
    EXPECT_EQ(high.red, 255.0f);
    EXPECT_EQ(high.green, 255.0f);
    EXPECT_EQ(high.blue, 255.0f);
}

TEST(MeterBar, HalfLevelFillsHalfTheBoxInAmber)
{
    QImage image = blackImage(246, 13);
    PictureBox box(image, kBackground);
    clsDraw painter;
    DrawMeter(painter, box, 0.5f);
    for (int y = 0; y < 13; ++y) {
        EXPECT_TRUE(isColor(image, 0, y, 225, 168, 34));
        EXPECT_TRUE(isColor(image, 122, y, 225, 168, 34));
        EXPECT_TRUE(isColor(image, 123, y, 240, 240, 240));
        EXPECT_TRUE(isColor(image, 245, y, 240, 240, 240));
    }
}

TEST(MeterBar, FullScaleFillsTheWholeBoxInRed)
{
    QImage image = blackImage(246, 13);
    PictureBox box(image, kBackground);
    clsDraw painter;
    DrawMeter(painter, box, 32767.0f / 32768.0f);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 246; ++x)
            ASSERT_TRUE(isColor(image, x, y, 255, 0, 0)) << x << "," << y;
}

TEST(MeterBar, SilenceLeavesOnlyTheBackground)
{
    QImage image = blackImage(246, 13);
    image.fill(Qt::blue);
    PictureBox box(image, kBackground);
    clsDraw painter;
    DrawMeter(painter, box, 1.0f / 32768.0f);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 246; ++x)
            ASSERT_TRUE(isColor(image, x, y, 240, 240, 240)) << x << "," << y;
}

TEST(MeterBar, RightEdgeRoundsHalvesToEven)
{
    // 0.25 of 246 is 61.5 pixels, which rounds to 62; 0.25 of 250 is 62.5, which rounds to 62.
    for (int width : {246, 250}) {
        QImage image = blackImage(width, 13);
        PictureBox box(image, kBackground);
        clsDraw painter;
        DrawMeter(painter, box, 0.25f);
        EXPECT_TRUE(isColor(image, 61, 6, 112, 212, 17)) << width;
        EXPECT_TRUE(isColor(image, 62, 6, 240, 240, 240)) << width;
    }
}
