// The display timer's tick as the main window runs it: idle texts, the meters of mono and
// stereo blocks, the smoothing across ticks, and the size of the file on disk.
#include "display/display_tick.h"

#include "display_test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr std::int32_t kBackground = rgbValue(240, 240, 240);

// The main window's display objects and boxes, with the window's smoothing rings.
struct Display {
    Display()
    {
        smoothLeft.SmoothNew(3);
        smoothRight.SmoothNew(3);
    }

    StatusPanels tick(const DisplayTickInputs &inputs)
    {
        DisplayTickTargets targets{painter, smoothLeft, smoothRight, ampl, freq, vuLeft, vuRight};
        return runDisplayTick(inputs, targets);
    }

    clsDraw painter;
    clsSmooth smoothLeft;
    clsSmooth smoothRight;
    QImage amplImage = blackImage(99, 60);
    QImage freqImage = blackImage(100, 60);
    QImage leftImage = blackImage(246, 13);
    QImage rightImage = blackImage(246, 13);
    PictureBox ampl{amplImage, rgbValue(0, 0, 0)};
    PictureBox freq{freqImage, rgbValue(0, 0, 0)};
    PictureBox vuLeft{leftImage, kBackground};
    PictureBox vuRight{rightImage, kBackground};
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
    const std::vector<std::int16_t> block = constantBlock(5120, 16384);
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    display.tick(inputs);
    const QImage ampl = display.amplImage.copy();
    const QImage freq = display.freqImage.copy();
    const QImage left = display.leftImage.copy();

    inputs.isRecording = false;
    inputs.lngRecordedMs = 65000;
    for (int i = 0; i < 3; ++i) {
        const StatusPanels panels = display.tick(inputs);
        EXPECT_EQ(panels.size, "Taille : 0 Octet");
        EXPECT_EQ(panels.duration, "Durée : 0:00");
    }
    EXPECT_EQ(display.amplImage, ampl);
    EXPECT_EQ(display.freqImage, freq);
    EXPECT_EQ(display.leftImage, left);
}

TEST(DisplayTick, StatusShowsTheFileSizeOnDiskAndTheRecordedDuration)
{
    FrenchLocale french;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("Enregistrement.wav");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(1536, 'x')), 1536);
    ASSERT_TRUE(file.flush());

    Display display;
    const std::vector<std::int16_t> block = constantBlock(5120, 0);
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    inputs.lngRecordedMs = 65000;
    inputs.txtFile = path;
    StatusPanels panels = display.tick(inputs);
    EXPECT_EQ(panels.size, "Taille : 2 Ko");
    EXPECT_EQ(panels.duration, "Durée : 1:05");

    // The size is read again on every tick, as the file grows.
    ASSERT_EQ(file.write(QByteArray(1572864 - 1536, 'x')), 1572864 - 1536);
    ASSERT_TRUE(file.flush());
    panels = display.tick(inputs);
    EXPECT_EQ(panels.size, "Taille : 1,5 Mo");
}

TEST(DisplayTick, MissingOutputFileReadsAsEmpty)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    Display display;
    const std::vector<std::int16_t> block = constantBlock(5120, 0);
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    inputs.txtFile = folder.filePath("removed.wav");
    EXPECT_EQ(display.tick(inputs).size, "Taille : 0 octets");
}

TEST(DisplayTick, FullScaleBlockHeldForThreeTicksFillsBothBarsInRed)
{
    std::vector<std::int16_t> block(5120);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = i % 3 == 0 ? -32767 : 32767;
    Display display;
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    inputs.stereo = true;
    for (int i = 0; i < 3; ++i)
        display.tick(inputs);
    for (const QImage *image : {&display.leftImage, &display.rightImage})
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 246; ++x)
                ASSERT_TRUE(isColor(*image, x, y, 255, 0, 0)) << x << "," << y;
}

TEST(DisplayTick, MonoBlockShowsTheSameBarOnBothMeters)
{
    std::vector<std::int16_t> block(5120, 0);
    block[1] = 16384; // an odd index: the right channel, were the block stereo
    Display display;
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    display.tick(inputs);
    EXPECT_EQ(barWidth(display.leftImage), 123); // 16384 / 32768 of 246
    EXPECT_EQ(display.leftImage, display.rightImage);
}

TEST(DisplayTick, StereoBlockMetersEachChannelOnItsOwn)
{
    std::vector<std::int16_t> block(5120, 0);
    for (std::size_t i = 0; i < block.size(); i += 2)
        block[i] = -16384;
    Display display;
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    inputs.stereo = true;
    display.tick(inputs);
    EXPECT_EQ(barWidth(display.leftImage), 123);
    EXPECT_EQ(barWidth(display.rightImage), 0); // silence counts as 1 / 32768
}

TEST(DisplayTick, MetersAverageTheLastThreeBlockPeaks)
{
    Display display;
    const std::vector<std::int16_t> silence = constantBlock(5120, 0);
    const std::vector<std::int16_t> loud = constantBlock(5120, 32767);
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = silence;
    for (int i = 0; i < 3; ++i)
        display.tick(inputs);
    inputs.intLastBlock = loud;
    display.tick(inputs);
    // (1 + 1 + 32767) / 3 / 32768 of 246 pixels = 82.0
    EXPECT_EQ(barWidth(display.leftImage), 82);
    display.tick(inputs);
    EXPECT_EQ(barWidth(display.leftImage), 164);
    display.tick(inputs);
    EXPECT_EQ(barWidth(display.leftImage), 246);
}

TEST(DisplayTick, RecordingTickDrawsTheTraceAndTheSpectrum)
{
    Display display;
    const std::vector<std::int16_t> block = sineBlock(5120, 32767, 2.5, 1024);
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    display.tick(inputs);
    EXPECT_TRUE(isWhite(display.amplImage, 0, 30));
    EXPECT_TRUE(isColor(display.freqImage, 5, 30, 255, 255, 50));
}

TEST(DisplayTick, EmptyBlockDrawsSilenceWithoutFailing)
{
    Display display;
    DisplayTickInputs inputs;
    inputs.isRecording = true;
    const StatusPanels panels = display.tick(inputs);
    EXPECT_EQ(barWidth(display.leftImage), 0);
    EXPECT_TRUE(isWhite(display.amplImage, 50, 30));
    EXPECT_EQ(panels.duration, "Durée : 0:00");
}
