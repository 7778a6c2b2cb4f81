// The spectrum bars: 22 bars of a 1024-point windowed transform, with peak hold and a fall of
// 0.07 per call, three pixels wide from x = 4, between y = 2 and H - 2.
#include "display/draw.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWidth = 100;
constexpr int kHeight = 100;

int barColumn(int bar) { return 4 * bar + 5; }

// Height in pixels of bar b, read from its middle column.
int barHeight(const QImage &image, int bar) { return litPixelsInColumn(image, barColumn(bar)); }

// A full-scale sine halfway between bins 2 and 3: bins 1 to 4 all peg, so bar 0 reaches 1.
std::vector<std::int16_t> barZeroFullBlock()
{
    return sineBlock(5120, 32767, 2.5, 1024);
}

struct SpectrumBox {
    QImage image = blackImage(kWidth, kHeight);
    PictureBox box{image, rgbValue(0, 0, 0)};
};

} // namespace

TEST(SpectrumBars, SilenceOnANewDisplayDrawsNoBar)
{
    clsDraw draw;
    SpectrumBox freq;
    freq.image.fill(Qt::blue);
    draw.DrawFrequencies(constantBlock(5120, 0), freq.box);
    EXPECT_EQ(litPixels(freq.image), 0);
}

TEST(SpectrumBars, FullBarIsYellowAndSpansFromTwoToHeightLessTwo)
{
    clsDraw draw;
    SpectrumBox freq;
    draw.DrawFrequencies(barZeroFullBlock(), freq.box);
    for (int x = 4; x <= 6; ++x) {
        for (int y = 0; y < kHeight; ++y) {
            const bool inside = y >= 2 && y < kHeight - 2;
            EXPECT_EQ(isColor(freq.image, x, y, 255, 255, 50), inside) << x << "," << y;
        }
    }
    // The gap column before bar 1 stays black.
    EXPECT_EQ(litPixelsInColumn(freq.image, 7), 0);
    EXPECT_EQ(litPixelsInColumn(freq.image, 3), 0);
}

TEST(SpectrumBars, BarsFallBySevenHundredthsPerCallUntilEmpty)
{
    clsDraw draw;
    SpectrumBox freq;
    draw.DrawFrequencies(barZeroFullBlock(), freq.box);
    ASSERT_EQ(barHeight(freq.image, 0), 96);

    // Level 1 - 0.07 n: top = max(2, round(100 - 100 level) - 2) = max(2, 7 n - 2), bottom = 98.
    const std::vector<std::int16_t> silence = constantBlock(5120, 0);
    for (int n = 1; n <= 14; ++n) {
        draw.DrawFrequencies(silence, freq.box);
        EXPECT_EQ(barHeight(freq.image, 0), 98 - std::max(2, 7 * n - 2)) << "call " << n;
        const QRgb pixel = freq.image.pixel(barColumn(0), kHeight - 3);
        EXPECT_NEAR(qGreen(pixel), (1 - 0.07 * n) * 255, 1.0) << "call " << n;
        EXPECT_EQ(qRed(pixel), 255);
        EXPECT_EQ(qBlue(pixel), 50);
    }
    draw.DrawFrequencies(silence, freq.box);
    EXPECT_EQ(litPixels(freq.image), 0);
}

TEST(SpectrumBars, ShortBlockLeavesBarsAndPictureAsTheyWere)
{
    clsDraw draw;
    SpectrumBox freq;
    draw.DrawFrequencies(barZeroFullBlock(), freq.box);
    const QImage before = freq.image.copy();

    const std::vector<std::int16_t> full = barZeroFullBlock();
    draw.DrawFrequencies(std::span<const std::int16_t>(full.data(), 1023), freq.box);
    EXPECT_EQ(freq.image, before);

    // The short block did not lower the bars either: one silent call takes bar 0 to 0.93.
    draw.DrawFrequencies(constantBlock(5120, 0), freq.box);
    EXPECT_EQ(barHeight(freq.image, 0), 93);
}

TEST(SpectrumBars, ConstantBlockRaisesBarZeroAndADecayingShareToItsRight)
{
    clsDraw draw;
    SpectrumBox freq;
    draw.DrawFrequencies(constantBlock(5120, 16384), freq.box);
    const int first = barHeight(freq.image, 0);
    EXPECT_GT(first, 20);
    EXPECT_LT(first, 96);
    EXPECT_GT(barHeight(freq.image, 1), 0);
    EXPECT_LT(barHeight(freq.image, 1), first);
    for (int b = 1; b < clsDraw::kBarCount; ++b)
        EXPECT_LE(barHeight(freq.image, b), barHeight(freq.image, b - 1)) << "bar " << b;
}

TEST(SpectrumBars, SineOnBinTenRaisesBarsOneAndTwoAndCarriesToTheRight)
{
    // 430 Hz at 44100 Hz is 9.98 bins: bin 10 belongs to no bar.
    clsDraw draw;
    SpectrumBox freq;
    draw.DrawFrequencies(sineBlock(5120, 32767, 430, 44100), freq.box);
    const int bar0 = barHeight(freq.image, 0);
    const int bar1 = barHeight(freq.image, 1);
    const int bar2 = barHeight(freq.image, 2);
    EXPECT_EQ(bar0, 0);
    EXPECT_GT(bar1, 20);
    EXPECT_GT(bar2, bar1);
    // Bins 16 and above hold almost nothing, yet bars 3 to 5 still show the running sum.
    EXPECT_GT(barHeight(freq.image, 3), 0);
    EXPECT_LT(barHeight(freq.image, 3), bar2);
    EXPECT_GT(barHeight(freq.image, 5), 0);
}

TEST(SpectrumBars, OnlyTheFirst1024SamplesAreAnalysed)
{
    std::vector<std::int16_t> block = constantBlock(5120, 0);
    const std::vector<std::int16_t> loud = barZeroFullBlock();
    std::copy(loud.begin() + 1024, loud.end(), block.begin() + 1024);
    clsDraw draw;
    SpectrumBox freq;
    draw.DrawFrequencies(block, freq.box);
    EXPECT_EQ(litPixels(freq.image), 0);
}

TEST(SolidRectangle, CoversLeftAndTopButNotRightAndBottom)
{
    QImage image = blackImage(10, 10);
    clsDraw draw;
    {
        QPainter painter(&image);
        draw.DrawRect(painter, 2, 3, 5, 7, rgbValue(10, 20, 30));
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(isColor(image, x, y, 10, 20, 30), x >= 2 && x < 5 && y >= 3 && y < 7)
                << x << "," << y;
}

TEST(SolidRectangle, EmptyOrInvertedRectangleFillsNothing)
{
    QImage image = blackImage(10, 10);
    clsDraw draw;
    {
        QPainter painter(&image);
        draw.DrawRect(painter, 4, 4, 4, 8, rgbValue(255, 0, 0));
        draw.DrawRect(painter, 6, 6, 2, 2, rgbValue(255, 0, 0));
    }
    EXPECT_EQ(litPixels(image), 0);
}
