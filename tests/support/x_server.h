// A private X server (Xvfb) for the tests where real pixels, window sizes or key events are
// the question. It picks a free display number itself (-displayfd), so it never meets the
// user's own display or another test's.
//
//     XServer x(QSize(1366, 768));
//     ASSERT_TRUE(x.isRunning()) << x.errorText().toStdString();
//     qputenv("DISPLAY", x.display().toUtf8());   // then xdotool, or Qt's xcb platform
//
// A test program whose tests all need one starts it from its main before the QApplication
// (tests/support/test_main.cpp does so when SONORIEL_TEST_X_SCREEN is set).
#pragma once

#include "child_process.h"

#include <QSize>
#include <QString>
#include <QTemporaryDir>

class XServer {
public:
    // Starts Xvfb with one 24-bit screen of the given size in pixels and waits until it
    // accepts clients (at most about 10 s). On failure isRunning() is false and errorText()
    // says why, with the server's own log.
    explicit XServer(QSize screenSize);
    ~XServer(); // stops the server
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    bool isRunning();
    QString errorText() const { return m_error; }
    QString display() const { return m_display; } // ":N"

private:
    bool fail(const QString &why);

    QTemporaryDir m_folder;
    ChildProcess m_server;
    QString m_display;
    QString m_error;
};
