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

    DisplayTickInputs inputs;
    clsDraw painter;
    clsSmooth smoothLeft;
    clsSmooth smoothRight;
    QImage amplImage = blackImage(99, 60);
    QImage freqImage = blackImage(100, 60);
    QImage leftImage = blackImage(246, 13);
    QImage rightImage = blackImage(246, 13);
    PictureBox ampl{amplImage, rgbValue(0, 0, 0)};
    PictureBox freq{freqImage, rgbValue(0, 0, 0)};
    PictureBox vuLeft{leftImage, rgbValue(240, 240, 240)};
    PictureBox vuRight{rightImage, rgbValue(240, 240, 240)};
};

// Width in pixels of the bar drawn on a meter image (pixels that are not the background).
int barWidth(const QImage &image)
{
    int width = 0;
    while (width < image.width() && isColor(image, width, 6, 240, 240, 240) == false)
        ++width;
    return width;
}

} // namespace

TEST(DisplayTick, IdleResetsThePanelsAndLeavesThePicturesAlone)
{
    Display display;
    display.tick(constantBlock(5120, 16384));
    const QImage ampl = display.amplImage.copy();
    const QImage freq = display.freqImage.copy();
    const QImage left = display.leftImage.copy();

    display.inputs.isRecording = false;
    display.inputs.lngRecordedMs = 65000;
    for (int i = 0; i < 3; ++i) {
        const StatusPanels panels = display.tick(constantBlock(5120, 16384));
        EXPECT_EQ(panels.size, "Taille : 0 Octet");
        EXPECT_EQ(panels.duration, "Durée : 0:00");
    }
    EXPECT_EQ(display.amplImage, ampl);
    EXPECT_EQ(display.freqImage, freq);
    EXPECT_EQ(display.leftImage, left);
}

TEST(DisplayTick, StatusShowsTheFileSizeOnDiskAndTheRecordedDuration)
{
    ScopedLocale french;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::vector<std::int16_t> silence = constantBlock(5120, 0);
    Display display;
    // A missing output file reads as empty.
    display.inputs.txtFile = folder.filePath("removed.wav");
    EXPECT_EQ(display.tick(silence).size, "Taille : 0 octets");

    display.inputs.txtFile = folder.filePath("Enregistrement.wav");
    display.inputs.lngRecordedMs = 65000;
    QFile file(display.inputs.txtFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.write(QByteArray(1536, 'x')) == 1536 && file.flush());
    StatusPanels panels = display.tick(silence);
    EXPECT_EQ(panels.size, "Taille : 2 Ko");
    EXPECT_EQ(panels.duration, "Durée : 1:05");

    // The size is read again on every tick, as the file grows.
    ASSERT_TRUE(file.write(QByteArray(1572864 - 1536, 'x')) == 1572864 - 1536 && file.flush());
    EXPECT_EQ(display.tick(silence).size, "Taille : 1,5 Mo");
}

TEST(DisplayTick, MonoBlocksShowOneBarOnBothMetersAndStereoBlocksOneBarPerChannel)
{
    std::vector<std::int16_t> mono(5120, 0);
    mono[1] = 16384; // an odd index: the right channel, were the block stereo
    std::vector<std::int16_t> leftOnly(5120, 0);
    std::vector<std::int16_t> full(5120);
    for (std::size_t i = 0; i < full.size(); ++i) {
        leftOnly[i] = i % 2 == 0 ? -16384 : 0;
        full[i] = i % 3 == 0 ? -32767 : 32767;
    }
    // 16384 / 32768 of 246 pixels is 123; silence counts as 1 / 32768. A full-scale block held
    // for three ticks fills both bars in red.
    const std::tuple<const std::vector<std::int16_t> *, bool, int, int, int> cases[] = {
        {&mono, false, 1, 123, 123}, {&leftOnly, true, 1, 123, 0}, {&full, true, 3, 246, 246}};
    for (const auto &[block, stereo, ticks, left, right] : cases) {
        SCOPED_TRACE(testing::Message() << stereo << " " << left << " " << right);
        Display display;
        display.inputs.stereo = stereo;
        display.tick(*block, ticks);
        EXPECT_EQ(barWidth(display.leftImage), left);
        EXPECT_EQ(barWidth(display.rightImage), right);
        if (!stereo) {
            EXPECT_EQ(display.leftImage, display.rightImage);
        }
        if (left == 246) {
            EXPECT_TRUE(areaIs(display.leftImage, 0, 0, 245, 12, 255, 0, 0));
            EXPECT_TRUE(areaIs(display.rightImage, 0, 0, 245, 12, 255, 0, 0));
        }
    }
}

TEST(DisplayTick, MetersAverageTheLastThreeBlockPeaks)
{
    Display display;
    display.tick(constantBlock(5120, 0), 3);
    const std::vector<std::int16_t> loud = constantBlock(5120, 32767);
    // (1 + 1 + 32767) / 3 / 32768 of 246 pixels = 82.0, then twice and three times as much.
    for (int width : {82, 164, 246}) {
        display.tick(loud);
        EXPECT_EQ(barWidth(display.leftImage), width);
    }
}

TEST(DisplayTick, RecordingTickDrawsTheTraceAndTheSpectrumEvenOfAnEmptyBlock)
{
    Display display;
    display.tick(sineBlock(5120, 32767, 2.5, 1024));
    EXPECT_TRUE(isWhite(display.amplImage, 0, 30));
    EXPECT_TRUE(isColor(display.freqImage, 5, 30, 255, 255, 50));

    Display empty;
    const StatusPanels panels = empty.tick({});
    EXPECT_EQ(barWidth(empty.leftImage), 0);
    EXPECT_TRUE(isWhite(empty.amplImage, 50, 30));
    EXPECT_EQ(panels.duration, "Durée : 0:00");
}
