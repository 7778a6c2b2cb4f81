#include "x_server.h"

#include "tools.h"

#include <QStandardPaths>
#include <QThread>

#include <chrono>

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);

} // namespace

XServer::XServer(QSize screenSize)
{
    if (!m_folder.isValid()) {
        fail(QStringLiteral("no temporary folder for Xvfb"));
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        fail(QStringLiteral("Xvfb not found (./test.sh installs it: package xvfb)"));
        return;
    }
    // Xvfb writes the display number it took to descriptor 1 once it accepts clients.
    ChildProcess::Setup setup;
    setup.outputFile = m_folder.filePath(QStringLiteral("display"));
    setup.errorFile = m_folder.filePath(QStringLiteral("xvfb.log"));
    const QString screen = QStringLiteral("%1x%2x24").arg(screenSize.width()).arg(screenSize.height());
    if (!m_server.start(QStringLiteral("Xvfb"),
                        {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, setup)) {
        fail(m_server.errorText());
        return;
    }
    // Polled without an event loop: the server starts before the test's QApplication exists.
    const auto until = std::chrono::steady_clock::now() + kStartTimeout;
    while (!readFileBytes(setup.outputFile).endsWith('\n') && !m_server.hasEnded() &&
           std::chrono::steady_clock::now() < until)
        QThread::msleep(10);
    const QByteArray number = readFileBytes(setup.outputFile).trimmed();
    if (number.isEmpty() || m_server.hasEnded()) {
        fail(QStringLiteral("Xvfb did not start within 10 s"));
        return;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number);
}

XServer::~XServer()
{
    m_server.stop(std::chrono::seconds(2));
}

bool XServer::isRunning()
{
    return !m_display.isEmpty() && !m_server.hasEnded();
}

bool XServer::fail(const QString &why)
{
    m_error = why;
    const QByteArray log = readFileBytes(m_folder.filePath(QStringLiteral("xvfb.log")));
    if (!log.isEmpty())
        m_error += QStringLiteral("\n") + QString::fromLocal8Bit(log);
    m_server.stop(std::chrono::seconds(1));
    m_display.clear();
    return false;
}
