// Level meters: the channel peaks and the colour ramp, whose parts stay bytes.
#include "display/meters.h"

#include "display_test_support.h"

TEST(ChannelPeak, LargestMagnitudeOfOneChannelAndZeroForImpossibleWalks)
{
    const std::vector<std::int16_t> block = {100, -7, -300, 5, -32768, 9};
    // -32768 counts as 32768; a step of 0 or a start before the block finds nothing.
    const std::vector<std::int32_t> peaks{ChannelPeak(block, 1, 2), ChannelPeak(block, 0, 2), ChannelPeak(block, 0, 0), ChannelPeak(block, -1, 1)};
    EXPECT_EQ(peaks, (std::vector<std::int32_t>{9, 32768, 0, 0}));
}

TEST(MeterColour, RampsFromGreenThroughAmberToRedWithinByteRange)
{
    const std::int32_t green = rgbValue(0, 255, 0), amber = rgbValue(225, 168, 34), red = rgbValue(255, 0, 0);
    // Past red, each component stays a byte; a maximum of 0 has no ramp.
    const std::tuple<float, float, std::int32_t> cases[] = {
        {1, 0.0f, green}, {1, 0.25f, rgbValue(112, 212, 17)}, {1, 0.5f, amber},
        {1, 2.0f, red},   {1, -1.0f, green},                   {0, 0.0f, red}};
    for (const auto &[maximum, level, colour] : cases)
        EXPECT_EQ(GradientColor(maximum, level, green, amber, red), colour) << maximum << " " << level;
}
