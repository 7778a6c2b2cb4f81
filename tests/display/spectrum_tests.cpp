// The spectrum bars: a full bar for a full-scale tone, falling with silence until none is left.
#include "display/draw.h"

#include "display_test_support.h"

TEST(SpectrumBars, AFullBarIsHeldThenFallsWithSilence)
{
    clsDraw drawer;
    QImage image = blackImage(100, 100);
    PictureBox box(image, rgbValue(0, 0, 0));
    // A full-scale sine halfway between bins 2 and 3: bins 1 to 4 all peg the first bar.
    std::vector<std::int16_t> full(5120);
    for (std::size_t n = 0; n < full.size(); ++n)
        full[n] = static_cast<std::int16_t>(std::lround(32767 * std::sin(2 * std::acos(-1.0) * 2.5 * n / 1024)));
    drawer.DrawFrequencies(full, box);
    EXPECT_TRUE(areaIs(image, 4, 2, 6, 97, 255, 255, 50)); // the first bar, yellow from top to bottom
    const QImage before = image.copy();
    drawer.DrawFrequencies(std::span<const std::int16_t>(full.data(), 1023), box);
    EXPECT_EQ(image, before);
    for (int n = 1, lit = litPixels(image, 5); n <= 15; lit = litPixels(image, 5), ++n) {
        drawer.DrawFrequencies(constantBlock(5120, 0), box);
        EXPECT_LT(litPixels(image, 5), lit) << n;
    }
    EXPECT_EQ(litPixels(image), 0);
}
