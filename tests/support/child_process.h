// A program the tests start: the reference tools and the private sound servers' daemons.
// It is started with posix_spawn rather than QProcess. QProcess starts its children with vfork
// semantics, so the child runs Qt's code on the parent's memory until it execs; ThreadSanitizer
// cannot follow that, and after the first QProcess it takes every lock of the test process for
// unlocked. posix_spawn runs nothing but the C library in the child.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <sys/types.h>

class ChildProcess {
public:
    struct Setup {
        QStringList environment;  // "NAME=value" each; empty: the test process's own
        QString workingDirectory; // empty: the test process's own
        QString outputFile;       // stdout goes there (created or emptied); empty: /dev/null
        QString errorFile;        // stderr: the same file as outputFile appends to it
        bool terminal = false;    // stdin: a new pseudo-terminal, the program's own, typed into with type()
    };

    ChildProcess() = default;
    ~ChildProcess(); // a program still running is killed and reaped
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Looks the program up in PATH; false, with errorText(), when it cannot be started.
    bool start(const QString &program, const QStringList &arguments, const Setup &setup);

    // Reaps the program if it has ended; true when it has (or never started).
    bool hasEnded();
    bool waitForEnd(std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL when it has not ended within grace; reaped either way.
    void stop(std::chrono::milliseconds grace);

    // Sends signal to the program while it runs; false when it has ended.
    bool sendSignal(int signal);
    // Keys typed on the program's terminal (Setup::terminal); false without one.
    bool type(const QByteArray &keys);

    // The exit status of a program that ended normally; -1 while it runs or after a signal.
    int exitCode() const { return m_exitCode; }
    // The signal that ended the program; 0 while it runs or when it exited.
    int endSignal() const { return m_endSignal; }
    QString errorText() const { return m_error; }

private:
    pid_t m_pid = -1;
    int m_terminal = -1; // the pseudo-terminal's master side
    int m_exitCode = -1;
    int m_endSignal = 0;
    QString m_error;
};
