// The waveform graph as the pixels of its boxes: a trace on the centre line for silence, each
// channel of a stereo file in its own boxes on its own side, and files whose frames run out,
// are gone, or have more than two channels.
#include "join_window_support.h"

#include "join/join_engine.h"
#include "join/window/wave_graph.h"

#include <QFile>
#include <QTest>

#include <set>

namespace {

// The rows of image holding at least one pixel of color, and the last column of row holding it.
std::set<int> rowsOf(const QImage &image, QColor color)
{
    std::set<int> rows;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color) {
                rows.insert(y);
                break;
            }
    return rows;
}

int lastColumn(const QImage &image, int row, QColor color)
{
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, row) == color)
            last = x;
    return last;
}

class WaveGraph : public JoinWindowTest {
protected:
    // The only row of the box's trace, -1 (and a failure) when the trace is not one flat line.
    int traceRow(const char *name)
    {
        const std::set<int> rows = rowsOf(box(name).image(), wave_graph::traceColor());
        EXPECT_EQ(rows.size(), 1u) << name;
        return rows.size() == 1 ? *rows.begin() : -1;
    }
    void doubleClickLine(int row)
    {
        QListWidget &files = list("lstFiles");
        const QPoint line = files.visualItemRect(files.item(row)).center();
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {}, line);
        QTest::mouseDClick(files.viewport(), Qt::LeftButton, {}, line);
    }
};

} // namespace

TEST_F(WaveGraph, SilenceLiesOnTheCentreLineAndStereoChannelsEachInTheirOwnBoxesOnTheirOwnSide)
{
    const WaveLayout mono{1, 22050, 8};
    addFile(writeFile("silence.wav", waveFile(mono, constantFrames(mono, 200, 128))));
    const QImage &image = box("picLeft1").image();
    EXPECT_FALSE(box("picRight1").isVisibleTo(&window()));
    EXPECT_EQ(traceRow("picLeft1"), image.height() / 2);
    EXPECT_GE(lastColumn(image, image.height() / 2, wave_graph::traceColor()), 630) << "200 frames cover the box";

    QByteArray frames;
    for (int i = 0; i < 100; ++i)
        frames += QByteArray("\x34\x21\xcc\xde", 4); // left 8500, right -8500
    addFile(writeFile("stereo.wav", waveFile({2, 44100, 16}, frames)));
    EXPECT_TRUE(box("picRight1").isVisibleTo(&window()));
    const int centre = box("picLeft1").image().height() / 2;
    EXPECT_NEAR(centre - traceRow("picLeft1"), 500 / wave_graph::kTwipsPerPixel, 0.5); // 8500 is 500 twips
    EXPECT_GT(traceRow("picRight1"), centre);
    EXPECT_EQ(traceRow("picLeft1") + traceRow("picRight1"), 2 * centre);
    EXPECT_EQ(box("picLeft2").image(), box("picLeft1").image());
    EXPECT_EQ(box("picRight2").image(), box("picRight1").image());
}

TEST_F(WaveGraph, FramesMissingFromAShortenedFileAreNotDrawnAndAFileThatIsGoneIsReported)
{
    const WaveLayout mono{1, 44100, 16};
    const QString path = writeFile("long.wav", waveFile(mono, constantFrames(mono, 20000, 17000)));
    addFile(path);
    // Half the frames go after the file was listed; its record still announces all of them.
    ASSERT_TRUE(QFile::resize(path, 44 + 10000 * 2));
    doubleClickLine(0);
    const QImage &image = box("picLeft1").image();
    EXPECT_NEAR(lastColumn(image, std::max(traceRow("picLeft1"), 0), wave_graph::traceColor()), image.width() / 2, 2);

    ASSERT_TRUE(QFile::remove(path));
    dialogs().queue(DialogAnswer::cancel());
    doubleClickLine(0);
    ASSERT_FALSE(dialogs().seen().empty());
    EXPECT_TRUE(dialogs().seen().back().text.contains(path));
    EXPECT_TRUE(rowsOf(box("picLeft1").image(), wave_graph::traceColor()).empty());
}

TEST_F(WaveGraph, AFileOfMoreThanTwoChannelsGraphsItsFirstChannelAsMono)
{
    QByteArray frames;
    for (int i = 0; i < 100; ++i)
        frames += QByteArray("\x68\x42\x98\xbd\x98\xbd\x98\xbd", 8); // 17000, then -17000 three times
    addFile(writeFile("four.wav", waveFile({4, 44100, 16}, frames)));
    ASSERT_EQ(JoinFileCount, 1);
    EXPECT_FALSE(box("picRight1").isVisibleTo(&window()));
    // One flat trace above the centre: every frame read from its own start.
    EXPECT_LT(traceRow("picLeft1"), box("picLeft1").image().height() / 2);
}
