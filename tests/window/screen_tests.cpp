// The windows on a real X server (Xvfb) of the size and scale the program was started for (a
// 1366 x 768 laptop at 100 %, a 1080-pixel screen at 200 %): the main window opens at about
// 361 x 495 pixels, every group of the main and join windows lies on the screen, the pictures
// show their drawings pixel for pixel at the size the screen gives them.
#include "window_test_support.h"

#include "../support/child_process.h"

#include "app/window/picture_widget.h"
#include "join/window/frm_join.h"

namespace {

QString xdotool(const QStringList &arguments)
{
    const ToolResult result = runTool(QStringLiteral("xdotool"), arguments, std::chrono::seconds(30));
    EXPECT_EQ(result.exitCode, 0) << "xdotool " << arguments.join(' ').toStdString() << ": "
                                  << result.err.toStdString();
    return result.out;
}

// The window leaves room on the screen for a title bar, and every named part of it lies whole
// on the screen, not cut off by the window around it.
void expectOnScreen(QWidget &window, const QStringList &names)
{
    constexpr int titleBar = 40;
    const QRect screen = window.screen()->geometry();
    EXPECT_LE(window.frameGeometry().height() + titleBar, screen.height());
    for (const QString &name : names) {
        auto *part = window.findChild<QWidget *>(name);
        ASSERT_NE(part, nullptr) << name.toStdString();
        const QRect area(part->mapToGlobal(QPoint(0, 0)), part->size());
        EXPECT_TRUE(screen.contains(area)) << name.toStdString() << " lies outside the screen";
        EXPECT_EQ(part->visibleRegion().boundingRect(), part->rect()) << name.toStdString() << " is cut off";
    }
}

void showAndWait(QWidget &window)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(100); // the layouts settle and paint
}

} // namespace

using Screen = WindowTest;

// The program as a user starts it: its window on the X server, measured by xdotool.
TEST_F(Screen, MainWindowOpensAtItsDesignedSizeOfAbout361By495Pixels)
{
    ASSERT_TRUE(haveTool(QStringLiteral("xdotool")));
    QTemporaryDir runtime; // the instance lock
    ASSERT_TRUE(runtime.isValid());
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    ChildProcess program;
    ChildProcess::Setup setup;
    setup.outputFile = runtime.filePath(QStringLiteral("sonoriel.log"));
    setup.errorFile = setup.outputFile;
    const bool started = program.start(QStringLiteral(SONORIEL_EXECUTABLE), {}, setup);
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    ASSERT_TRUE(started) << program.errorText().toStdString();

    const QString id = xdotool({"search", "--sync", "--onlyvisible", "--name", "^Sonoriel : Enregistrement WAV$"})
                           .split('\n')
                           .constFirst();
    const QString shell = xdotool({"getwindowgeometry", "--shell", id});
    program.stop(std::chrono::seconds(5));
    const auto value = [&shell](const QString &key) {
        for (const QString &line : shell.split('\n'))
            if (line.startsWith(key + QLatin1Char('=')))
                return line.mid(key.size() + 1).toInt();
        return -1;
    };
    // The server counts device pixels; the design counts the window's own.
    const double scale = QGuiApplication::primaryScreen()->devicePixelRatio();
    EXPECT_NEAR(value(QStringLiteral("WIDTH")) / scale, 361, 10) << shell.toStdString();
    EXPECT_NEAR(value(QStringLiteral("HEIGHT")) / scale, 495, 15) << shell.toStdString();
}

TEST_F(Screen, EveryGroupOfTheMainAndJoinWindowsLiesOnTheScreen)
{
    ModalAnswerer answerer;
    FrmREC window;
    showAndWait(window);
    expectOnScreen(window, {"frmInp", "frmOut", "Frame1", "frmEffects", "Frame3", "Frame2", "sbar"});

    frmJoin join;
    showAndWait(join);
    expectOnScreen(join, {"Frame2", "Frame4", "Frame3", "Frame1", "Command2"});
}

// The trace, the spectrum and the meters after a short recording: what the screen shows of each
// box is its image, pixel for pixel, and the trace runs from the box's first column to its last
// but one (its end point is left out).
TEST_F(Screen, PicturesShowTheirDrawingsPixelForPixel)
{
    ModalAnswerer answerer;
    FrmREC window;
    showAndWait(window);
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    cmdDo->click();
    ASSERT_TRUE(window.recorder().IsRecording()) << answerer.messages.join('|').toStdString();
    QTest::qWait(300);
    cmdDo->click();
    QTest::qWait(100);

    const double scale = window.devicePixelRatioF();
    const QImage shown = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    for (const char *name : {"picAmpl", "picFreq", "picVUL", "picVUR"}) {
        SCOPED_TRACE(name);
        auto *picture = control<PictureWidget>(window, name);
        const QPoint topLeft = picture->mapTo(&window, QPoint(0, 0)) * scale;
        const QImage onScreen = shown.copy(QRect(topLeft, picture->size() * scale));
        EXPECT_EQ(picture->image().size(), onScreen.size());
        EXPECT_TRUE(picture->image().convertToFormat(QImage::Format_RGB32) == onScreen) << "the picture is not shown as drawn";
        if (QByteArray(name) == "picAmpl") {
            int litColumns = 0;
            for (int x = 0; x < onScreen.width(); ++x)
                for (int y = 0; y < onScreen.height(); ++y)
                    if ((onScreen.pixel(x, y) & 0xffffff) != 0) {
                        ++litColumns;
                        break;
                    }
            EXPECT_EQ(litColumns, onScreen.width() - 1);
        }
    }
}
