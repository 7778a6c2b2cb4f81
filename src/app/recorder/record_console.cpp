#include "app/recorder/record_console.h"

#include "app/cli/subcommands.h"

#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace cli {

void StderrMessages::print(const QString &text)
{
    if (m_liveLine)
        QTextStream(stderr) << '\n';
    m_liveLine = false;
    printError(text);
}

void StderrMessages::showMessage(const QString &text, const QString &reason)
{
    print(reason.isEmpty() ? text : text + QLatin1Char(' ') + reason);
    ++m_count;
}

void StderrMessages::showNotice(const QString &text)
{
    print(text);
}

void StderrMessages::showLiveLine(const QString &text)
{
    QTextStream(stderr) << '\r' << text << "   ";
    m_liveLine = true;
}

void StderrMessages::endLiveLine()
{
    if (m_liveLine)
        QTextStream(stderr) << '\n';
    m_liveLine = false;
}

struct SpaceBar::Terminal {
    termios saved{};
};

SpaceBar::SpaceBar(QObject *parent) : QObject(parent)
{
    // A program in the background that reads its terminal is stopped by the system.
    if (!::isatty(STDIN_FILENO) || ::tcgetpgrp(STDIN_FILENO) != ::getpgrp())
        return;
    auto terminal = std::make_unique<Terminal>();
    if (::tcgetattr(STDIN_FILENO, &terminal->saved) != 0)
        return;
    termios keys = terminal->saved;
    keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO)); // each key as it comes, not shown; Ctrl+C still stops
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0)
        return;
    // Sent to the background later (Ctrl+Z, bg), a read fails instead of stopping the recording.
    std::signal(SIGTTIN, SIG_IGN);
    std::signal(SIGTTOU, SIG_IGN);
    m_terminal = std::move(terminal);
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char key = 0;
        const ssize_t got = ::read(STDIN_FILENO, &key, 1);
        if (got <= 0) { // end of input or no terminal any more: stop listening
            m_notifier->setEnabled(false);
            return;
        }
        if (key == ' ')
            emit pressed();
    });
}

SpaceBar::~SpaceBar()
{
    if (m_terminal)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &m_terminal->saved);
}

} // namespace cli
