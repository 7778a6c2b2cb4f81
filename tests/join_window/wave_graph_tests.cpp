// The selected file's waveform: redrawn on a double click, short of lost frames; a file gone is reported.
#include "join_window_support.h"

#include "join/window/wave_graph.h"

namespace {

// The last column of the image holding a pixel of the trace, -1 when there is none.
int lastTraceColumn(const QImage &image)
{
    int last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == wave_graph::traceColor()) last = std::max(last, x);
    return last;
}

using WaveGraph = JoinWindowTest;

} // namespace

TEST_F(WaveGraph, FramesMissingFromAShortenedFileAreNotDrawnAndAFileThatIsGoneIsReported)
{
    const WaveLayout mono{1, 44100, 16};
    const QString path = writeFile("long.wav", waveFile(mono, constantFrames(mono, 20000, 17000)));
    addFile(path);
    const QImage &image = box("picLeft1").image();
    EXPECT_GE(lastTraceColumn(image), image.width() - 2);
    // Half the frames go after the file was listed; its record still announces all of them.
    ASSERT_TRUE(QFile::resize(path, 44 + 10000 * 2));
    doubleClickLine("lstFiles", 0);
    EXPECT_NEAR(lastTraceColumn(box("picLeft1").image()), image.width() / 2, 2);

    ASSERT_TRUE(QFile::remove(path));
    dialogs().queue(DialogAnswer::cancel());
    doubleClickLine("lstFiles", 0);
    ASSERT_FALSE(dialogs().seen().empty());
    EXPECT_TRUE(dialogs().seen().back().text.contains(path));
    EXPECT_EQ(lastTraceColumn(box("picLeft1").image()), -1);
}
