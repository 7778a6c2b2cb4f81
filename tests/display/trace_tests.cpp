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

QImage drawTrace(std::span<const std::int16_t> block, int width = kWidth)
{
    QImage image = blackImage(width, kHeight);
    PictureBox box(image, rgbValue(0, 0, 0));
    clsDraw draw;
    draw.DrawAmplitudes(block, box);
    return image;
}

// The flat line at mid height that ends at x = last + 2 = 98 and leaves its end point out.
void expectMidLine(const QImage &image)
{
    EXPECT_TRUE(areaIs(image, 0, kMid, kWidth - 2, kMid, 255, 255, 255));
    EXPECT_EQ(litPixels(image), kWidth - 1);
}

} // namespace

TEST(AmplitudeTrace, BlocksThatAverageToSilenceRepaintTheWholeBoxWithTheMidLine)
{
    std::vector<std::int16_t> stereo(5120);
    for (std::size_t i = 0; i < stereo.size(); ++i)
        stereo[i] = i % 2 == 0 ? 16384 : -16384; // left and right averaged together
    QImage image = blackImage(kWidth, kHeight);
    image.fill(Qt::red);
    PictureBox box(image, rgbValue(0, 0, 0));
    clsDraw draw;
    // A box wider than twice the block shows silence.
    for (const auto &block : {constantBlock(5120, 0), stereo, constantBlock(20, 32767),
                              std::vector<std::int16_t>{}}) {
        SCOPED_TRACE(block.size());
        draw.DrawAmplitudes(constantBlock(5120, 16384), box);
        draw.DrawAmplitudes(block, box);
        expectMidLine(image);
    }
}

TEST(AmplitudeTrace, ConstantsLieInProportionBelowOrAboveTheMiddle)
{
    // 16384 / 32767 of (mid - 2) = 14.0004 pixels below mid; full scale stops two pixels from
    // the edge, -32768 being limited to -1. A short block of 1023 samples: step 10.
    const std::tuple<std::size_t, std::int16_t, int> cases[] = {
        {5120, 16384, kMid + 14}, {5120, 32767, kHeight - 2}, {5120, -32768, 2},
        {1023, 16384, kMid + 14}};
    for (const auto &[count, value, y] : cases) {
        SCOPED_TRACE(testing::Message() << count << " " << value);
        const QImage image = drawTrace(constantBlock(count, value));
        EXPECT_TRUE(areaIs(image, 2, y, 95, y, 255, 255, 255));
        for (int x = 2; x <= 95; ++x)
            EXPECT_EQ(litPixelsInColumn(image, x), 1) << "x " << x;
    }
    // The trace starts and ends at mid height.
    const QImage image = drawTrace(constantBlock(5120, 16384));
    EXPECT_TRUE(isWhite(image, 0, kMid));
    EXPECT_TRUE(isWhite(image, 97, kMid));
}

TEST(AmplitudeTrace, EachColumnIsTheMeanOfFiftyTwoSamples)
{
    // Only the first run of 52 samples is loud: column 1 dips to the bottom, column 2 is back.
    std::vector<std::int16_t> block = constantBlock(5120, 0);
    std::fill(block.begin(), block.begin() + 52, std::int16_t{32767});
    const QImage image = drawTrace(block);
    EXPECT_TRUE(isWhite(image, 1, kHeight - 2));
    for (int x = 3; x <= 97; ++x)
        EXPECT_EQ(litPixelsInColumn(image, x), 1) << "x " << x;

    // Shifting the loud run by one sample spreads it over two columns at 51/52 and 1/52.
    std::vector<std::int16_t> shifted = constantBlock(5120, 0);
    std::fill(shifted.begin() + 1, shifted.begin() + 53, std::int16_t{32767});
    const QImage second = drawTrace(shifted);
    EXPECT_TRUE(isWhite(second, 1, kMid + 27)); // 28 * 51 / 52 = 27.46
    EXPECT_TRUE(isWhite(second, 2, kMid + 1));  // 28 / 52 = 0.54
}

// A line from (x, y0) to (x + 1, y1) that leaves out its end point lights one pixel in each row
// from y0 up to y1 excluded, in whichever of its two columns the ideal line is nearer to: the
// upper half of the rows in one column, the lower half in the other.
TEST(AmplitudeTrace, SteepStepsShareTheirRowsBetweenTheTwoColumnsTheyJoin)
{
    // 62 pixels high: mid = 31 and full scale lies 29 rows from it, an odd count, so no row of
    // a step lies exactly halfway between two columns.
    constexpr int height = 62;
    constexpr int mid = 31;
    std::vector<std::int16_t> block = constantBlock(5120, 0);
    std::fill(block.begin(), block.begin() + 48 * 52, std::int16_t{-32767}); // columns 1 to 48
    QImage image = blackImage(kWidth, height);
    PictureBox box(image, rgbValue(0, 0, 0));
    clsDraw draw;
    draw.DrawAmplitudes(block, box);

    // The trace: (0, 31) up to (1, 2), along row 2 to (48, 2), down to (49, 31), along row 31
    // to (98, 31), which is left out. Each step of 29 rows plus the vertex it reaches makes 30
    // pixels, 15 in each of its two columns.
    const auto litRows = [&image](int x) {
        std::vector<int> rows;
        for (int y = 0; y < image.height(); ++y)
            if (isWhite(image, x, y))
                rows.push_back(y);
        return rows;
    };
    const auto range = [](int first, int last) {
        std::vector<int> rows;
        for (int y = first; y <= last; ++y)
            rows.push_back(y);
        return rows;
    };
    EXPECT_EQ(litRows(0), range(17, mid));
    EXPECT_EQ(litRows(1), range(2, 16));
    for (int x = 2; x <= 47; ++x)
        EXPECT_EQ(litRows(x), std::vector<int>{2}) << "x " << x;
    EXPECT_EQ(litRows(48), range(2, 16));
    EXPECT_EQ(litRows(49), range(17, mid));
    for (int x = 50; x <= 97; ++x)
        EXPECT_EQ(litRows(x), std::vector<int>{mid}) << "x " << x;
    EXPECT_TRUE(litRows(98).empty());
    EXPECT_EQ(litPixels(image), 4 * 15 + 46 + 48);
}

TEST(AmplitudeTrace, TooNarrowBoxDrawsOnlyTheStartOfTheMidLine)
{
    const QImage image = drawTrace(constantBlock(5120, 16384), 3);
    EXPECT_TRUE(areaIs(image, 0, kMid, 1, kMid, 255, 255, 255));
    EXPECT_EQ(litPixels(image), 2);
}

TEST(AmplitudeTrace, NeverReadsPastTheEndOfTheBlock)
{
    // 150 samples: step rounds to 2 and 96 columns would need 192. The samples behind the
    // block are at the other extreme, so any read past the end would pull the line upward.
    std::vector<std::int16_t> storage(300, -32768);
    std::fill(storage.begin(), storage.begin() + 150, std::int16_t{32767});
    const QImage image = drawTrace(std::span<const std::int16_t>(storage.data(), 150));
    EXPECT_TRUE(areaIs(image, 2, kHeight - 2, 74, kHeight - 2, 255, 255, 255));
    EXPECT_TRUE(areaIs(image, 77, kMid, 97, kMid, 255, 255, 255));
    EXPECT_EQ(litPixels(image.copy(0, 0, kWidth, kMid)), 0);
}
