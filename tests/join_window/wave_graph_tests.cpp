// The selected file's waveform: redrawn on a double click, short of lost frames; a file gone is reported.
#include "join_window_support.h"

#include "join/window/wave_graph.h"

// The last column of the image holding a pixel of the trace, -1 when there is none.
static int lastTraceColumn(const QImage &image)
{
    int last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == wave_graph::traceColor()) last = std::max(last, x);
    return last;
}

using WaveGraph = JoinWindowTest;

TEST_F(WaveGraph, FramesMissingFromAShortenedFileAreNotDrawnAndAFileThatIsGoneIsReported)
{
    const WaveLayout mono{1, 44100, 16};
    const QString path = writeFile("long.wav", waveFile(mono, constantFrames(mono, 20000, 17000)));
    addFile(path);
    const QImage &image = box("picLeft1").image();
    QListWidget &files = list("lstFiles");
    const auto doubleClickFirstLine = [&] {
        const QPoint line = files.visualItemRect(files.item(0)).center();
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {}, line);
        QTest::mouseDClick(files.viewport(), Qt::LeftButton, {}, line);
    };
    EXPECT_GE(lastTraceColumn(image), image.width() - 2);
    // Half the frames go after the file was listed; its record still announces all of them.
    ASSERT_TRUE(QFile::resize(path, 44 + 10000 * 2));
    doubleClickFirstLine();
    EXPECT_NEAR(lastTraceColumn(box("picLeft1").image()), image.width() / 2, 2);

    ASSERT_TRUE(QFile::remove(path));
    m_dialogs->queue(DialogAnswer::cancel());
    doubleClickFirstLine();
    ASSERT_FALSE(m_dialogs->seen().empty());
    EXPECT_TRUE(m_dialogs->seen().back().text.contains(path));
    EXPECT_EQ(lastTraceColumn(box("picLeft1").image()), -1);
}
