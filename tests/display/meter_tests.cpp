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

// Draws a meter of the given level on a fresh blue box 13 pixels high.
QImage meter(float level, int width = 246)
{
    QImage image = blackImage(width, 13);
    image.fill(Qt::blue);
    PictureBox box(image, rgbValue(240, 240, 240));
    clsDraw painter;
    DrawMeter(painter, box, level);
    return image;
}

} // namespace

TEST(ChannelPeak, LargestMagnitudeOfOneChannelAndZeroForImpossibleWalks)
{
    const std::vector<std::int16_t> block = {100, -7, -300, 5, 200, 9};
    const std::vector<std::int16_t> extremes = {32767, -32768}; // -32768 counts as 32768
    const std::vector<std::int16_t> one = {1234};
    const std::tuple<const std::vector<std::int16_t> *, int, int, std::int32_t> cases[] = {
        {&block, 0, 2, 300},     {&block, 1, 2, 9}, {&block, 0, 1, 300}, {&extremes, 0, 1, 32768},
        {&extremes, 1, 2, 32768}, {&one, 1, 2, 0},   {&block, 0, 0, 0},   {&block, 0, -1, 0},
        {&block, -1, 1, 0}};
    for (const auto &[samples, first, step, peak] : cases)
        EXPECT_EQ(ChannelPeak(*samples, first, step), peak)
            << testing::PrintToString(*samples) << " " << first << " " << step;
    EXPECT_EQ(ChannelPeak({}, 0, 1), 0);
}

TEST(LevelSmoothing, MeanOfTheLastValuesOfTheRingAndZeroForAnEmptyRing)
{
    clsSmooth smooth;
    EXPECT_EQ(smooth.SmoothGetMax(), 0.0f);
    smooth.SmoothAdd(5); // no ring yet
    EXPECT_EQ(smooth.SmoothGetMax(), 0.0f);
    smooth.SmoothNew(3);
    EXPECT_EQ(smooth.SmoothGetMax(), 0.0f);
    const std::pair<float, float> steps[] = {{3, 3}, {6, 4.5f}, {9, 6}, {30, 15} /* replaces 3 */,
                                             {0, 13}, {0, 10}};
    for (const auto &[value, mean] : steps) {
        smooth.SmoothAdd(value);
        EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), mean) << value;
    }
    // A new ring forgets everything.
    smooth.SmoothNew(2);
    for (float value : {4.0f, 8.0f, 10.0f})
        smooth.SmoothAdd(value);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 9);
    smooth.SmoothNew(0);
    smooth.SmoothAdd(5);
    EXPECT_EQ(smooth.SmoothGetMax(), 0.0f);
}

TEST(MeterColour, RampsFromGreenThroughAmberToRedWithinByteRange)
{
    const std::tuple<float, float, std::int32_t> cases[] = {
        {1, 0.0f, kGreen}, {1, 0.25f, rgbValue(112, 212, 17)}, {1, 0.5f, kAmber},
        {1, 0.75f, rgbValue(240, 84, 17)}, {1, 1.0f, kRed}, {1, 32767.0f / 32768.0f, kRed},
        // Extrapolating past red would give 405 red and negative green and blue; each
        // component stays a byte so that it cannot spill into its neighbour.
        {1, 2.0f, kRed}, {1, -1.0f, kGreen}, {0, 0.0f, kRed}, {0, -1.0f, kGreen},
        // The given maximum scales the ramp.
        {20, 5.0f, rgbValue(112, 212, 17)}, {20, 10.0f, kAmber}};
    for (const auto &[maximum, level, colour] : cases)
        EXPECT_EQ(GradientColor(maximum, level, kGreen, kAmber, kRed), colour)
            << maximum << " " << level;

    const std::pair<std::int32_t, ColorParts> splits[] = {{rgbValue(18, 52, 86), {18, 52, 86}},
                                                         {0x7fffffff, {255, 255, 255}}};
    for (const auto &[colour, parts] : splits) {
        const ColorParts split = SplitColor(colour);
        EXPECT_EQ(std::tie(split.red, split.green, split.blue), std::tie(parts.red, parts.green, parts.blue))
            << colour;
    }
}

TEST(MeterBar, FillsTheLevelsShareOfTheBoxInItsColourOverTheBackground)
{
    const QImage half = meter(0.5f);
    EXPECT_TRUE(areaIs(half, 0, 0, 122, 12, 225, 168, 34));
    EXPECT_TRUE(areaIs(half, 123, 0, 245, 12, 240, 240, 240));
    EXPECT_TRUE(areaIs(meter(32767.0f / 32768.0f), 0, 0, 245, 12, 255, 0, 0));
    EXPECT_TRUE(areaIs(meter(1.0f / 32768.0f), 0, 0, 245, 12, 240, 240, 240)); // silence
    // 0.25 of 246 is 61.5 pixels, which rounds to 62; 0.25 of 250 is 62.5, which rounds to 62.
    for (int width : {246, 250}) {
        EXPECT_TRUE(areaIs(meter(0.25f, width), 61, 0, 61, 12, 112, 212, 17)) << width;
        EXPECT_TRUE(areaIs(meter(0.25f, width), 62, 0, width - 1, 12, 240, 240, 240)) << width;
    }
}
