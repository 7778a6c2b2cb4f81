// The spectrum bars: 22 bars of a 1024-point windowed transform, with peak hold and a fall of
// 0.07 per call, three pixels wide from x = 4, between y = 2 and H - 2.
#include "display/draw.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr int kHeight = 100;

int barColumn(int bar) { return 4 * bar + 5; }

// The spectrum box and its drawer, with the height in pixels of bar b read from its middle column.
struct Spectrum {
    int bar(int b) const { return litPixelsInColumn(image, barColumn(b)); }
    void draw(std::span<const std::int16_t> block) { drawer.DrawFrequencies(block, box); }

    clsDraw drawer;
    QImage image = blackImage(100, kHeight);
    PictureBox box{image, rgbValue(0, 0, 0)};
};

// A full-scale sine halfway between bins 2 and 3: bins 1 to 4 all peg, so bar 0 reaches 1.
const std::vector<std::int16_t> kBarZeroFull = sineBlock(5120, 32767, 2.5, 1024);
const std::vector<std::int16_t> kSilence = constantBlock(5120, 0);

} // namespace

TEST(SpectrumBars, SilenceOrLoudnessAfterTheFirst1024SamplesDrawsNoBar)
{
    Spectrum silent;
    silent.image.fill(Qt::blue);
    silent.draw(kSilence);
    EXPECT_EQ(litPixels(silent.image), 0);

    std::vector<std::int16_t> late = kSilence;
    std::copy(kBarZeroFull.begin() + 1024, kBarZeroFull.end(), late.begin() + 1024);
    Spectrum spectrum;
    spectrum.draw(late);
    EXPECT_EQ(litPixels(spectrum.image), 0);
}

TEST(SpectrumBars, FullBarIsYellowFromTwoToHeightLessTwoThenFallsBySevenHundredthsPerCall)
{
    Spectrum spectrum;
    spectrum.draw(kBarZeroFull);
    for (int x = 4; x <= 6; ++x)
        for (int y = 0; y < kHeight; ++y)
            EXPECT_EQ(isColor(spectrum.image, x, y, 255, 255, 50), y >= 2 && y < kHeight - 2)
                << x << "," << y;
    // The gap columns around bar 0 stay black.
    EXPECT_EQ(litPixelsInColumn(spectrum.image, 3), 0);
    EXPECT_EQ(litPixelsInColumn(spectrum.image, 7), 0);
    // A block shorter than 1024 samples leaves the picture and the bars as they were.
    const QImage before = spectrum.image.copy();
    spectrum.draw(std::span<const std::int16_t>(kBarZeroFull.data(), 1023));
    EXPECT_EQ(spectrum.image, before);

    // Level 1 - 0.07 n: top = max(2, round(100 - 100 level) - 2) = max(2, 7 n - 2), bottom = 98.
    for (int n = 1; n <= 14; ++n) {
        SCOPED_TRACE(n);
        spectrum.draw(kSilence);
        EXPECT_EQ(spectrum.bar(0), 98 - std::max(2, 7 * n - 2));
        const QRgb pixel = spectrum.image.pixel(barColumn(0), kHeight - 3);
        EXPECT_NEAR(qGreen(pixel), (1 - 0.07 * n) * 255, 1.0);
        EXPECT_EQ(qRed(pixel), 255);
        EXPECT_EQ(qBlue(pixel), 50);
    }
    spectrum.draw(kSilence);
    EXPECT_EQ(litPixels(spectrum.image), 0);
}

// The same box on a screen at 200 %: 198 x 200 device pixels, every bar and gap twice as wide.
TEST(SpectrumBars, ABoxTwiceAsWideDrawsEveryBarAndGapTwiceAsWide)
{
    clsDraw drawer;
    QImage image = blackImage(198, 2 * kHeight);
    PictureBox box(image, rgbValue(0, 0, 0));
    // Full-scale noise raises every bar.
    std::vector<std::int16_t> noise(5120);
    std::uint32_t state = 1;
    for (std::int16_t &sample : noise) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<std::int16_t>(state >> 16);
    }
    drawer.DrawFrequencies(noise, box);
    for (int x = 0; x < image.width(); ++x) {
        const bool inBar = x >= 8 && x < 8 + 22 * 8 && (x - 8) % 8 < 6;
        EXPECT_EQ(litPixelsInColumn(image, x) > 0, inBar) << "x " << x;
    }
}

TEST(SpectrumBars, ConstantsAndSinesRaiseTheirBarsAndADecayingShareToTheRight)
{
    Spectrum constant;
    constant.draw(constantBlock(5120, 16384));
    EXPECT_GT(constant.bar(0), 20);
    EXPECT_LT(constant.bar(0), 96);
    EXPECT_GT(constant.bar(1), 0);
    for (int b = 1; b < clsDraw::kBarCount; ++b)
        EXPECT_LE(constant.bar(b), constant.bar(b - 1)) << "bar " << b;
    EXPECT_LT(constant.bar(1), constant.bar(0));

    // 430 Hz at 44100 Hz is 9.98 bins: bin 10 belongs to no bar. Bins 16 and above hold
    // almost nothing, yet bars 3 to 5 still show the running sum.
    Spectrum sine;
    sine.draw(sineBlock(5120, 32767, 430, 44100));
    EXPECT_EQ(sine.bar(0), 0);
    EXPECT_GT(sine.bar(1), 20);
    EXPECT_GT(sine.bar(2), sine.bar(1));
    EXPECT_GT(sine.bar(3), 0);
    EXPECT_LT(sine.bar(3), sine.bar(2));
    EXPECT_GT(sine.bar(5), 0);
}

TEST(SolidRectangle, CoversLeftAndTopButNotRightAndBottomAndNothingWhenEmpty)
{
    QImage image = blackImage(10, 10);
    clsDraw draw;
    {
        QPainter painter(&image);
        draw.DrawRect(painter, 2, 3, 5, 7, rgbValue(10, 20, 30));
        draw.DrawRect(painter, 4, 4, 4, 8, rgbValue(255, 0, 0)); // empty
        draw.DrawRect(painter, 6, 6, 2, 2, rgbValue(255, 0, 0)); // inverted
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(isColor(image, x, y, 10, 20, 30), x >= 2 && x < 5 && y >= 3 && y < 7)
                << x << "," << y;
    EXPECT_EQ(litPixels(image), 12);
}
