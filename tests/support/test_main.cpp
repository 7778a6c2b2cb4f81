// The test programs of windows and drawing run inside a QApplication: on the offscreen platform,
// or, when SONORIEL_TEST_X_SCREEN gives a screen size ("1366x768"), on a private X server of that
// size started here (the programs where real pixels, window sizes or key events are the
// question). The engine's test programs run on a QCoreApplication (test_main_core.cpp).
#include "x_server.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    std::unique_ptr<XServer> xServer;
    const QByteArray screen = qgetenv("SONORIEL_TEST_X_SCREEN");
    if (!screen.isEmpty()) {
        const QList<QByteArray> size = screen.split('x');
        xServer = std::make_unique<XServer>(QSize(size.value(0).toInt(), size.value(1).toInt()));
        if (!xServer->isRunning()) {
            // A missing or broken X server fails the program: these tests never skip.
            std::fprintf(stderr, "no X server for the tests: %s\n", qPrintable(xServer->errorText()));
            return 1;
        }
        qputenv("DISPLAY", xServer->display().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
