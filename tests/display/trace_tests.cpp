// The amplitude trace: one white line over a black box, each column the mean of a run of
// samples, lines stopping before their end point.
#include "display/draw.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

namespace {

// The main window's trace box: 99 x 60 pixels inside, so mid = 30, step = 52, last = 96.
constexpr int kWidth = 99;
constexpr int kHeight = 60;
constexpr int kMid = 30;

QImage drawTrace(clsDraw &draw, const std::vector<std::int16_t> &block, int width = kWidth)
{
    QImage image = blackImage(width, kHeight);
    PictureBox box(image, rgbValue(0, 0, 0));
    draw.DrawAmplitudes(block, box);
    return image;
}

} // namespace

TEST(AmplitudeTrace, SilentBlockIsAFlatLineAtMidHeight)
{
    clsDraw draw;
    const QImage image = drawTrace(draw, constantBlock(5120, 0));
    for (int x = 0; x <= kWidth - 2; ++x)
        EXPECT_TRUE(isWhite(image, x, kMid)) << "x " << x;
    // The last line ends at x = last + 2 = 98 and leaves its end point out.
    EXPECT_FALSE(isWhite(image, kWidth - 1, kMid));
    EXPECT_EQ(litPixels(image), kWidth - 1);
}

TEST(AmplitudeTrace, PositiveConstantLiesHalfTheSwingBelowTheMiddle)
{
    // 16384 / 32767 of (mid - 2) = 14.0004 pixels below mid.
    clsDraw draw;
    const QImage image = drawTrace(draw, constantBlock(5120, 16384));
    const int y = kMid + 14;
    for (int x = 2; x <= 95; ++x) {
        EXPECT_TRUE(isWhite(image, x, y)) << "x " << x;
        EXPECT_EQ(litPixelsInColumn(image, x), 1) << "x " << x;
    }
    // The trace starts and ends at mid height.
    EXPECT_TRUE(isWhite(image, 0, kMid));
    EXPECT_TRUE(isWhite(image, 97, kMid));
}

TEST(AmplitudeTrace, FullScaleStopsTwoPixelsFromTheEdge)
{
    clsDraw draw;
    const QImage low = drawTrace(draw, constantBlock(5120, 32767));
    const QImage high = drawTrace(draw, constantBlock(5120, -32768));
    for (int x = 2; x <= 95; ++x) {
        EXPECT_TRUE(isWhite(low, x, kHeight - 2)) << "x " << x;  // mid + (mid - 2)
        EXPECT_TRUE(isWhite(high, x, 2)) << "x " << x;           // limited to -1
    }
}

TEST(AmplitudeTrace, EachColumnIsTheMeanOfFiftyTwoSamples)
{
    // Only the first run of 52 samples is loud: column 1 dips to the bottom, column 2 is back.
    std::vector<std::int16_t> block = constantBlock(5120, 0);
    for (int i = 0; i < 52; ++i)
        block[static_cast<std::size_t>(i)] = 32767;
    clsDraw draw;
    const QImage image = drawTrace(draw, block);
    EXPECT_TRUE(isWhite(image, 1, kHeight - 2));
    for (int x = 3; x <= 97; ++x)
        EXPECT_EQ(litPixelsInColumn(image, x), 1) << "x " << x;

    // Shifting the loud run by one sample spreads it over two columns at 51/52 and 1/52.
    std::vector<std::int16_t> shifted = constantBlock(5120, 0);
    for (int i = 1; i < 53; ++i)
        shifted[static_cast<std::size_t>(i)] = 32767;
    const QImage second = drawTrace(draw, shifted);
    EXPECT_TRUE(isWhite(second, 1, kMid + 27)); // 28 * 51 / 52 = 27.46
    EXPECT_TRUE(isWhite(second, 2, kMid + 1));  // 28 / 52 = 0.54
}

TEST(AmplitudeTrace, StereoColumnsAverageLeftAndRightTogether)
{
    std::vector<std::int16_t> block(5120);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = i % 2 == 0 ? 16384 : -16384;
    clsDraw draw;
    const QImage image = drawTrace(draw, block);
    for (int x = 0; x <= kWidth - 2; ++x)
        EXPECT_TRUE(isWhite(image, x, kMid)) << "x " << x;
    EXPECT_EQ(litPixels(image), kWidth - 1);
}

TEST(AmplitudeTrace, EachCallRepaintsTheWholeBox)
{
    QImage image = blackImage(kWidth, kHeight);
    image.fill(Qt::red);
    PictureBox box(image, rgbValue(0, 0, 0));
    clsDraw draw;
    draw.DrawAmplitudes(constantBlock(5120, 16384), box);
    const std::vector<std::int16_t> silence = constantBlock(5120, 0);
    draw.DrawAmplitudes(silence, box);
    EXPECT_EQ(litPixels(image), kWidth - 1);
    EXPECT_FALSE(isWhite(image, 50, kMid + 14));
}

TEST(AmplitudeTrace, TooNarrowBoxDrawsOnlyTheStartOfTheMidLine)
{
    clsDraw draw;
    const QImage image = drawTrace(draw, constantBlock(5120, 16384), 3);
    EXPECT_TRUE(isWhite(image, 0, kMid));
    EXPECT_TRUE(isWhite(image, 1, kMid));
    EXPECT_EQ(litPixels(image), 2);
}

TEST(AmplitudeTrace, ShortBlockIsStillDrawn)
{
    // 1023 samples in the 99-pixel box: step 10, 960 samples read.
    clsDraw draw;
    const QImage image = drawTrace(draw, constantBlock(1023, 16384));
    for (int x = 2; x <= 95; ++x)
        EXPECT_TRUE(isWhite(image, x, kMid + 14)) << "x " << x;
}

TEST(AmplitudeTrace, NeverReadsPastTheEndOfTheBlock)
{
    // 150 samples: step rounds to 2 and 96 columns would need 192. The samples behind the
    // block are at the other extreme, so any read past the end would pull the line upward.
    std::vector<std::int16_t> storage(300, -32768);
    std::fill(storage.begin(), storage.begin() + 150, std::int16_t{32767});
    clsDraw draw;
    QImage image = blackImage(kWidth, kHeight);
    PictureBox box(image, rgbValue(0, 0, 0));
    draw.DrawAmplitudes(std::span<const std::int16_t>(storage.data(), 150), box);
    for (int x = 2; x <= 74; ++x)
        EXPECT_TRUE(isWhite(image, x, kHeight - 2)) << "x " << x;
    for (int x = 77; x <= 97; ++x)
        EXPECT_TRUE(isWhite(image, x, kMid)) << "x " << x;
    for (int y = 0; y < kMid; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_FALSE(isWhite(image, x, y)) << x << "," << y;
}

TEST(AmplitudeTrace, BoxWiderThanTwiceTheBlockShowsSilence)
{
    clsDraw draw;
    const QImage image = drawTrace(draw, constantBlock(20, 32767));
    EXPECT_EQ(litPixels(image), kWidth - 1);
    for (int x = 0; x <= kWidth - 2; ++x)
        EXPECT_TRUE(isWhite(image, x, kMid)) << "x " << x;

    const QImage empty = drawTrace(draw, {});
    EXPECT_EQ(litPixels(empty), kWidth - 1);
}
