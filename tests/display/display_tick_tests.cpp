// The display timer's tick as the main window runs it: the status texts, the meters of mono and stereo.
#include "display/display_tick.h"

#include "display_test_support.h"

#include <QFile>
#include <QTemporaryDir>

// The main window's display objects and boxes, with the window's smoothing rings.
struct Display {
    Display() { smoothLeft.SmoothNew(3); smoothRight.SmoothNew(3); inputs.isRecording = true; }
    StatusPanels tick(std::span<const std::int16_t> block) { inputs.intLastBlock = block; return runDisplayTick(inputs, targets); }
    DisplayTickInputs inputs;
    clsDraw painter;
    clsSmooth smoothLeft, smoothRight;
    QImage amplImage = blackImage(99, 60), freqImage = blackImage(100, 60);
    QImage leftImage = blackImage(246, 13), rightImage = blackImage(246, 13);
    PictureBox ampl{amplImage, rgbValue(0, 0, 0)}, freq{freqImage, rgbValue(0, 0, 0)};
    PictureBox vuLeft{leftImage, rgbValue(240, 240, 240)}, vuRight{rightImage, rgbValue(240, 240, 240)};
    DisplayTickTargets targets{painter, smoothLeft, smoothRight, ampl, freq, vuLeft, vuRight};
};

// The zeros shown when idle are checked on the main window by the recording tests.
TEST(DisplayTick, StatusShowsTheFileSizeOnDiskAndTheDurationWhileRecording)
{
    ScopedLocale french;
    QTemporaryDir folder;
    const std::vector<std::int16_t> block = constantBlock(5120, 16384);
    Display display;
    display.inputs.txtFile = folder.filePath("Enregistrement.wav");
    display.inputs.lngRecordedMs = 65000;
    EXPECT_EQ(display.tick(block).size, "Taille : 0 octets"); // no file yet
    QFile file(display.inputs.txtFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(1536, 'x')) == 1536 && file.flush());
    const StatusPanels panels = display.tick(block);
    EXPECT_EQ(panels.size + " | " + panels.duration, "Taille : 2 Ko | Durée : 1:05");
}

TEST(DisplayTick, MonoBlocksLightBothMetersAndStereoBlocksEachChannelItsOwn)
{
    std::vector<std::int16_t> leftOnly(5120, 0);
    for (std::size_t i = 0; i < leftOnly.size(); i += 2)
        leftOnly[i] = -16384;
    for (const bool stereo : {false, true}) {
        Display display;
        display.inputs.stereo = stereo;
        for (int i = 0; i < 3; ++i)
            display.tick(leftOnly);
        // A bar of half the meter: column 100 is lit, column 200 the background.
        EXPECT_FALSE(isColor(display.leftImage, 100, 6, 240, 240, 240)) << stereo;
        EXPECT_TRUE(isColor(display.leftImage, 200, 6, 240, 240, 240)) << stereo;
        EXPECT_EQ(isColor(display.rightImage, 100, 6, 240, 240, 240), stereo) << stereo;
    }
}
