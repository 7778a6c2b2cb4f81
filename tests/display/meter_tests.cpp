// Level meters: the channel peaks, a smoothing ring without values or room, and the colour
// ramp, whose parts stay bytes.
#include "display/meters.h"
#include "display/smooth.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

TEST(ChannelPeak, LargestMagnitudeOfOneChannelAndZeroForImpossibleWalks)
{
    const std::vector<std::int16_t> block = {100, -7, -300, 5, 200, 9};
    const std::vector<std::int16_t> extremes = {32767, -32768}; // -32768 counts as 32768
    const std::tuple<const std::vector<std::int16_t> *, int, int, std::int32_t> cases[] = {
        {&block, 0, 2, 300}, {&block, 1, 2, 9}, {&extremes, 1, 2, 32768}, {&block, 0, 0, 0}, {&block, -1, 1, 0}};
    for (const auto &[samples, first, step, peak] : cases)
        EXPECT_EQ(ChannelPeak(*samples, first, step), peak) << first << " " << step;
}

TEST(LevelSmoothing, ARingNotYetMadeOrOfNoRoomReadsZero)
{
    clsSmooth smooth;
    smooth.SmoothAdd(5); // no ring yet
    EXPECT_EQ(smooth.SmoothGetMax(), 0.0f);
    smooth.SmoothNew(0);
    smooth.SmoothAdd(5);
    EXPECT_EQ(smooth.SmoothGetMax(), 0.0f);
    smooth.SmoothNew(2); // a new ring forgets everything and holds the last two values
    for (float value : {4.0f, 8.0f, 10.0f})
        smooth.SmoothAdd(value);
    EXPECT_FLOAT_EQ(smooth.SmoothGetMax(), 9);
}

TEST(MeterColour, RampsFromGreenThroughAmberToRedWithinByteRange)
{
    const std::int32_t green = rgbValue(0, 255, 0), amber = rgbValue(225, 168, 34), red = rgbValue(255, 0, 0);
    // Extrapolating past red would give 405 red and negative green and blue; each component
    // stays a byte so that it cannot spill into its neighbour.
    const std::tuple<float, float, std::int32_t> cases[] = {
        {1, 0.0f, green}, {1, 0.25f, rgbValue(112, 212, 17)}, {1, 0.5f, amber}, {1, 0.75f, rgbValue(240, 84, 17)},
        {1, 2.0f, red},   {1, -1.0f, green},                   {0, 0.0f, red},   {20, 10.0f, amber}};
    for (const auto &[maximum, level, colour] : cases)
        EXPECT_EQ(GradientColor(maximum, level, green, amber, red), colour) << maximum << " " << level;
}
