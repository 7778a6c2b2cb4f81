// The amplitude trace: one white line over a black box, each column the mean of a run of
// samples, never read past the end of the block.
#include "display/draw.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

namespace {

// The main window's trace box: 99 x 60 pixels inside, so mid = 30.
constexpr int kWidth = 99;
constexpr int kHeight = 60;
constexpr int kMid = 30;

QImage drawTrace(std::span<const std::int16_t> block, int width = kWidth)
{
    QImage image = blackImage(width, kHeight);
    PictureBox box(image, rgbValue(0, 0, 0));
    clsDraw draw;
    draw.DrawAmplitudes(block, box);
    return image;
}

} // namespace

TEST(AmplitudeTrace, SilenceIsTheMidLineAndConstantsLieInProportionBelowOrAboveIt)
{
    std::vector<std::int16_t> stereo(5120);
    for (std::size_t i = 0; i < stereo.size(); ++i)
        stereo[i] = i % 2 == 0 ? 16384 : -16384; // left and right averaged together
    for (const auto &block : {constantBlock(5120, 0), stereo, std::vector<std::int16_t>{}}) {
        const QImage image = drawTrace(block);
        EXPECT_TRUE(areaIs(image, 0, kMid, kWidth - 2, kMid, 255, 255, 255)) << block.size();
        EXPECT_EQ(litPixels(image), kWidth - 1); // the end point is left out
    }
    // 16384 / 32767 of (mid - 2) is 14 pixels below mid; full scale stops two pixels from the
    // edge, -32768 being limited to -1.
    for (const auto &[value, y] : {std::pair<std::int16_t, int>{16384, kMid + 14}, {32767, kHeight - 2}, {-32768, 2}}) {
        const QImage image = drawTrace(constantBlock(5120, value));
        EXPECT_TRUE(areaIs(image, 2, y, 95, y, 255, 255, 255)) << value;
        for (int x = 2; x <= 95; ++x)
            EXPECT_EQ(litPixelsInColumn(image, x), 1) << "x " << x;
    }
}

TEST(AmplitudeTrace, NeverReadsPastTheEndOfTheBlock)
{
    // 150 samples: the samples behind the block are at the other extreme, so any read past the
    // end would pull the line upward.
    std::vector<std::int16_t> storage(300, -32768);
    std::fill(storage.begin(), storage.begin() + 150, std::int16_t{32767});
    const QImage image = drawTrace(std::span<const std::int16_t>(storage.data(), 150));
    EXPECT_TRUE(areaIs(image, 2, kHeight - 2, 74, kHeight - 2, 255, 255, 255));
    EXPECT_TRUE(areaIs(image, 77, kMid, 97, kMid, 255, 255, 255));
    EXPECT_EQ(litPixels(image.copy(0, 0, kWidth, kMid)), 0);
    EXPECT_EQ(litPixels(drawTrace(constantBlock(5120, 16384), 3)), 2); // a box too narrow: the start of the mid line
}
