// The amplitude trace: its mid line, its full scale, and no read past the end of the block.
#include "display/draw.h"

#include "display_test_support.h"

static QImage drawTrace(std::span<const std::int16_t> block)
{
    QImage image = blackImage(99, 60); // the main window's box: mid = 30
    PictureBox box(image, rgbValue(0, 0, 0));
    clsDraw().DrawAmplitudes(block, box);
    return image;
}

TEST(AmplitudeTrace, SilenceIsTheMidLineAndFullScaleStopsTwoPixelsFromTheEdge)
{
    QImage image = drawTrace(constantBlock(5120, 0));
    EXPECT_TRUE(areaIs(image, 0, 30, 97, 30, 255, 255, 255));
    EXPECT_EQ(litPixels(image), 98); // the end point is left out
    image = drawTrace(constantBlock(5120, 32767));
    EXPECT_TRUE(areaIs(image, 2, 58, 95, 58, 255, 255, 255));
}

TEST(AmplitudeTrace, NeverReadsPastTheEndOfTheBlock)
{
    // Behind the block, the other extreme: a read past the end would pull the line upward.
    std::vector<std::int16_t> storage(300, -32768);
    std::fill(storage.begin(), storage.begin() + 150, std::int16_t{32767});
    const QImage image = drawTrace(std::span<const std::int16_t>(storage.data(), 150));
    EXPECT_TRUE(areaIs(image, 2, 58, 74, 58, 255, 255, 255));
    EXPECT_EQ(litPixels(image.copy(0, 0, 99, 30)), 0);
}
