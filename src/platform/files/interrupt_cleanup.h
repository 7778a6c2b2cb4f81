// Ends a command-line job cleanly when it is asked to stop: Ctrl+C (SIGINT), kill or a
// shutdown (SIGTERM), a closed terminal (SIGHUP). While an InterruptCleanup lives, each of these
// signals removes the temporary file of the job's output (the ".part" file that a
// ReplacementFile writes before the output takes its name), prints the job's notice on stderr
// when it removed one, and then ends the process as the signal ends any program, so that the
// shell, a script or a service manager sees that the job was interrupted and stops too.
//
// The handler does only what is safe inside one: unlink() of a name and write() of a line, both
// prepared beforehand, then the signal's own default action. A signal that the process started
// with ignored (under nohup, or a background job of a shell without job control) stays ignored.
// The command line runs on one thread; the temporary file is named to the handler with the
// signals blocked, so that the handler never sees half a name, nor a file about to be renamed.
#pragma once

#include <QByteArray>
#include <QString>

#include <csignal>

class InterruptCleanup {
public:
    // notice: the line printed when the output's temporary file was removed.
    explicit InterruptCleanup(const QString &notice);
    ~InterruptCleanup(); // the signals' previous handling comes back
    InterruptCleanup(const InterruptCleanup &) = delete;
    InterruptCleanup &operator=(const InterruptCleanup &) = delete;

private:
    struct sigaction m_previous[3] {};
    bool m_installed[3] = {};
};

namespace interrupt_cleanup {

// Keeps SIGINT, SIGTERM and SIGHUP waiting for the life of the object; one that arrives
// meanwhile is handled when it ends.
class SignalBlock {
public:
    SignalBlock();
    ~SignalBlock();
    SignalBlock(const SignalBlock &) = delete;
    SignalBlock &operator=(const SignalBlock &) = delete;

private:
    sigset_t m_previous {};
};

// The temporary file the handler removes (one at a time), or none. Call with the signals
// blocked. A name too long to keep is not kept.
void setTemporaryFile(const QByteArray &path);
void clearTemporaryFile();

} // namespace interrupt_cleanup
