// The spectrum bars: 22 bars of a 1024-point windowed transform, with peak hold and a fall of
// 0.07 per call, three pixels wide from x = 4, between y = 2 and H - 2.
#include "display/draw.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

TEST(SpectrumBars, AFullBarIsYellowHeldAndFallsBySevenHundredthsPerCallOfSilence)
{
    clsDraw drawer;
    QImage image = blackImage(100, 100);
    PictureBox box(image, rgbValue(0, 0, 0));
    // A full-scale sine halfway between bins 2 and 3: bins 1 to 4 all peg, so bar 0 reaches 1.
    const std::vector<std::int16_t> full = sineBlock(5120, 32767, 2.5, 1024);
    drawer.DrawFrequencies(full, box);
    for (int x = 3; x <= 7; ++x)
        for (int y = 0; y < 100; ++y)
            EXPECT_EQ(isColor(image, x, y, 255, 255, 50), x >= 4 && x <= 6 && y >= 2 && y < 98) << x << "," << y;
    // A block shorter than 1024 samples leaves the picture and the bars as they were.
    const QImage before = image.copy();
    drawer.DrawFrequencies(std::span<const std::int16_t>(full.data(), 1023), box);
    EXPECT_EQ(image, before);
    // Level 1 - 0.07 n: top = max(2, 7 n - 2), bottom = 98, the colour going from yellow to red.
    for (int n = 1; n <= 14; ++n) {
        drawer.DrawFrequencies(constantBlock(5120, 0), box);
        EXPECT_EQ(litPixelsInColumn(image, 5), 98 - std::max(2, 7 * n - 2)) << n;
        EXPECT_NEAR(qGreen(image.pixel(5, 97)), (1 - 0.07 * n) * 255, 1.0) << n;
    }
    drawer.DrawFrequencies(constantBlock(5120, 0), box);
    EXPECT_EQ(litPixels(image), 0);
}

// The same box on a screen at 200 %: 198 x 200 device pixels, every bar and gap twice as wide.
TEST(SpectrumBars, ABoxTwiceAsWideDrawsEveryBarAndGapTwiceAsWide)
{
    clsDraw drawer;
    QImage image = blackImage(198, 200);
    PictureBox box(image, rgbValue(0, 0, 0));
    std::vector<std::int16_t> noise(5120); // full-scale noise raises every bar
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
