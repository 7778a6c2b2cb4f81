// The display timer's tick as the main window runs it: idle texts, the meters of mono and
// stereo blocks, the smoothing across ticks, and the size of the file on disk.
#include "display/display_tick.h"

#include "display_test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The main window's display objects and boxes, with the window's smoothing rings.
struct Display {
    Display()
    {
        smoothLeft.SmoothNew(3);
        smoothRight.SmoothNew(3);
        inputs.isRecording = true;
    }
    StatusPanels tick(std::span<const std::int16_t> block, int times = 1)
    {
        inputs.intLastBlock = block;
        DisplayTickTargets targets{painter, smoothLeft, smoothRight, ampl, freq, vuLeft, vuRight};
        StatusPanels panels;
        for (int i = 0; i < times; ++i)
            panels = runDisplayTick(inputs, targets);
        return panels;
    }
    // Width in pixels of the bar drawn on a meter image (pixels that are not the background).
    static int barWidth(const QImage &image)
    {
        int width = 0;
        while (width < image.width() && !isColor(image, width, 6, 240, 240, 240))
            ++width;
        return width;
    }

    DisplayTickInputs inputs;
    clsDraw painter;
    clsSmooth smoothLeft, smoothRight;
    QImage amplImage = blackImage(99, 60), freqImage = blackImage(100, 60);
    QImage leftImage = blackImage(246, 13), rightImage = blackImage(246, 13);
    PictureBox ampl{amplImage, rgbValue(0, 0, 0)};
    PictureBox freq{freqImage, rgbValue(0, 0, 0)};
    PictureBox vuLeft{leftImage, rgbValue(240, 240, 240)};
    PictureBox vuRight{rightImage, rgbValue(240, 240, 240)};
};

} // namespace

TEST(DisplayTick, StatusShowsTheFileSizeOnDiskAndTheDurationWhileRecordingAndZerosWhenIdle)
{
    ScopedLocale french;
    QTemporaryDir folder;
    const std::vector<std::int16_t> block = constantBlock(5120, 16384);
    Display display;
    display.inputs.txtFile = folder.filePath("removed.wav"); // a missing output file reads as empty
    EXPECT_EQ(display.tick(block).size, "Taille : 0 octets");

    display.inputs.txtFile = folder.filePath("Enregistrement.wav");
    display.inputs.lngRecordedMs = 65000;
    QFile file(display.inputs.txtFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(1536, 'x')) == 1536 && file.flush());
    StatusPanels panels = display.tick(block);
    EXPECT_EQ(panels.size, "Taille : 2 Ko");
    EXPECT_EQ(panels.duration, "Durée : 1:05");
    ASSERT_TRUE(file.write(QByteArray(1572864 - 1536, 'x')) == 1572864 - 1536 && file.flush());
    EXPECT_EQ(display.tick(block).size, "Taille : 1,5 Mo"); // read again on every tick

    const QImage ampl = display.amplImage.copy(), left = display.leftImage.copy();
    display.inputs.isRecording = false;
    panels = display.tick(constantBlock(5120, 0));
    EXPECT_EQ(panels.size, "Taille : 0 Octet");
    EXPECT_EQ(panels.duration, "Durée : 0:00");
    EXPECT_EQ(display.amplImage, ampl); // the pictures are left alone
    EXPECT_EQ(display.leftImage, left);
}

TEST(DisplayTick, MonoBlocksShowOneBarOnBothMetersStereoOneBarPerChannelAveragedOverThreeTicks)
{
    std::vector<std::int16_t> mono(5120, 0);
    mono[1] = 16384; // an odd index: the right channel, were the block stereo
    std::vector<std::int16_t> leftOnly(5120, 0);
    for (std::size_t i = 0; i < leftOnly.size(); i += 2)
        leftOnly[i] = -16384;
    // 16384 / 32768 of 246 pixels is 123; silence counts as 1 / 32768.
    for (const auto &[block, stereo, left, right] :
         {std::tuple{&mono, false, 123, 123}, std::tuple{&leftOnly, true, 123, 0}}) {
        Display display;
        display.inputs.stereo = stereo;
        display.tick(*block, 3);
        EXPECT_EQ(Display::barWidth(display.leftImage), left) << stereo;
        EXPECT_EQ(Display::barWidth(display.rightImage), right) << stereo;
    }
    Display display;
    display.inputs.stereo = true;
    display.tick(constantBlock(5120, 0), 3);
    // (1 + 1 + 32767) / 3 / 32768 of 246 pixels = 82.0, then twice and three times as much.
    for (int width : {82, 164, 246}) {
        display.tick(constantBlock(5120, 32767));
        EXPECT_EQ(Display::barWidth(display.leftImage), width);
    }
    EXPECT_TRUE(areaIs(display.rightImage, 0, 0, 245, 12, 255, 0, 0)); // full scale fills the bar in red
    EXPECT_GT(litPixels(display.freqImage), 0);
    EXPECT_EQ(litPixelsInColumn(display.amplImage, 50), 1);

    Display empty;
    const StatusPanels panels = empty.tick({});
    EXPECT_EQ(Display::barWidth(empty.leftImage), 0);
    EXPECT_TRUE(isColor(empty.amplImage, 50, 30, 255, 255, 255));
    EXPECT_EQ(panels.duration, "Durée : 0:00");
}
