// The waveform graph as the pixels of its boxes: the centre line, the height of a sample in
// twips (15 to a pixel), the labels of a stereo file, and files whose frames run out.
#include "join_window_support.h"

#include "join/join_engine.h"
#include "join/window/wave_graph.h"

#include <QFile>
#include <QTest>

#include <algorithm>
#include <set>

namespace {

// The rows of image holding at least one pixel of color.
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

// The first and last columns of row holding color, (-1, -1) when none.
std::pair<int, int> spanOf(const QImage &image, int row, QColor color)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, row) == color) {
            if (first < 0)
                first = x;
            last = x;
        }
    return {first, last};
}

// Pixels of text within the rectangle: dark grey to black (the label is antialiased).
int textPixelsIn(const QImage &image, QRect area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += qGray(image.pixel(x, y)) < 160 && image.pixelColor(x, y) != wave_graph::traceColor();
    return count;
}

constexpr double kTwips = wave_graph::kTwipsPerPixel;

class WaveGraph : public JoinWindowTest {
protected:
    // The row of the black centre line of a box: the only black that reaches the last column
    // (traces of short files stop before it, labels stay at the left).
    int centreRow(const char *name)
    {
        const QImage &image = box(name).image();
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(image.width() - 1, y) == wave_graph::centreLineColor())
                return y;
        ADD_FAILURE() << "no centre line in " << name;
        return -1;
    }
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

TEST_F(WaveGraph, EightBitSilenceDrawsAFlatTraceOnTheCentreLineOfOneTallBox)
{
    const WaveLayout mono{1, 22050, 8};
    addFile(writeFile("silence.wav", waveFile(mono, constantFrames(mono, 200, 128))));
    const QImage &image = box("picLeft1").image();
    EXPECT_EQ(image.height(), 166) << "2480 twips";
    EXPECT_FALSE(box("picRight1").isVisibleTo(&window()));

    const int centre = centreRow("picLeft1");
    EXPECT_EQ(centre, image.height() / 2);
    EXPECT_EQ(rowsOf(image, wave_graph::traceColor()), std::set<int>{centre});
    const auto [first, last] = spanOf(image, centre, wave_graph::traceColor());
    EXPECT_EQ(first, 0);
    EXPECT_GE(last, 630) << "200 frames cover the box";
    // Apart from the centre line nothing dark: a mono graph has no labels.
    EXPECT_EQ(textPixelsIn(image, QRect(0, 0, image.width(), centre)), 0);
    EXPECT_EQ(textPixelsIn(image, QRect(0, centre + 1, image.width(), image.height() - centre - 1)), 0);
    EXPECT_EQ(box("picLeft2").image(), image) << "both boxes of a channel get the same drawing";
}

TEST_F(WaveGraph, ASixteenBitValueOf17000LiesThousandTwipsAboveTheCentre)
{
    const WaveLayout mono{1, 44100, 16};
    addFile(writeFile("high.wav", waveFile(mono, constantFrames(mono, 100, 17000))));
    const QImage &image = box("picLeft1").image();
    const int centre = centreRow("picLeft1");
    EXPECT_NEAR(traceRow("picLeft1"), centre - 1000 / kTwips, 0.5);
    // The guide lines sit 3/8 of the height from the centre, in the button-face colour.
    const std::set<int> guides = rowsOf(image, box("picLeft1").palette().color(QPalette::Button));
    EXPECT_EQ(guides.size(), 2u);
    for (const int row : guides)
        EXPECT_NEAR(std::abs(row - centre), image.height() * 3.0 / 8.0, 1.0);
}

TEST_F(WaveGraph, StereoDrawsEachChannelInItsOwnBoxesUnderItsLabel)
{
    const WaveLayout stereo{2, 44100, 16};
    QByteArray frames;
    for (int i = 0; i < 100; ++i)
        frames += QByteArray("\x34\x21\xcc\xde", 4); // left 8500, right -8500
    addFile(writeFile("stereo.wav", waveFile(stereo, frames)));
    const QImage &left = box("picLeft1").image();
    const QImage &right = box("picRight1").image();
    EXPECT_EQ(left.height(), 82) << "1240 twips";
    EXPECT_TRUE(box("picRight1").isVisibleTo(&window()));

    const int centre = centreRow("picLeft1");
    EXPECT_EQ(centreRow("picRight1"), centre);
    EXPECT_NEAR(traceRow("picLeft1"), centre - 500 / kTwips, 0.5);
    EXPECT_NEAR(traceRow("picRight1"), centre + 500 / kTwips, 0.5);

    const QRect corner(0, 0, 40, 14);
    EXPECT_GT(textPixelsIn(left, corner), 15) << "\"Left\"";
    EXPECT_GT(textPixelsIn(right, corner), 15) << "\"Right\"";
    EXPECT_EQ(textPixelsIn(left, QRect(200, 0, 400, centre)), 0) << "nothing else is written";
    EXPECT_NE(left.copy(corner), right.copy(corner)) << "the two labels differ";
    EXPECT_EQ(box("picLeft2").image(), left);
    EXPECT_EQ(box("picRight2").image(), right);
}

TEST_F(WaveGraph, FramesMissingFromAShortenedFileAreNotDrawnAndNoError)
{
    const WaveLayout mono{1, 44100, 16};
    const QString path = writeFile("long.wav", waveFile(mono, constantFrames(mono, 20000, 17000)));
    addFile(path);
    // Half the frames go after the file was listed; its record still announces all of them.
    QFile file(path);
    ASSERT_TRUE(file.resize(44 + 10000 * 2));
    doubleClickLine(0);
    const QImage &image = box("picLeft1").image();
    const auto [first, last] = spanOf(image, std::max(traceRow("picLeft1"), 0), wave_graph::traceColor());
    EXPECT_EQ(first, 0);
    EXPECT_NEAR(last, image.width() / 2, 2);
}

TEST_F(WaveGraph, AListedFileThatIsGoneIsReportedAndTheBoxesAreCleared)
{
    const WaveLayout mono{1, 44100, 16};
    const QString path = writeFile("gone.wav", waveFile(mono, constantFrames(mono, 100, 17000)));
    addFile(path);
    ASSERT_TRUE(QFile::remove(path));
    dialogs().queue(DialogAnswer::cancel());
    doubleClickLine(0);
    ASSERT_FALSE(dialogs().seen().empty());
    EXPECT_EQ(dialogs().seen().back().title, QStringLiteral("Sonoriel"));
    EXPECT_TRUE(dialogs().seen().back().text.contains(path));
    EXPECT_TRUE(rowsOf(box("picLeft1").image(), wave_graph::traceColor()).empty());
}

TEST_F(WaveGraph, AFileOfMoreThanTwoChannelsGraphsItsFirstChannelAsMono)
{
    const WaveLayout four{4, 44100, 16};
    QByteArray frames;
    for (int i = 0; i < 100; ++i)
        frames += QByteArray("\x68\x42\x98\xbd\x98\xbd\x98\xbd", 8); // 17000, then -17000 three times
    addFile(writeFile("four.wav", waveFile(four, frames)));
    ASSERT_EQ(JoinFileCount, 1);
    EXPECT_FALSE(box("picRight1").isVisibleTo(&window()));
    // One flat trace: every frame read from its own start.
    EXPECT_NEAR(traceRow("picLeft1"), centreRow("picLeft1") - 1000 / kTwips, 0.5);
}
