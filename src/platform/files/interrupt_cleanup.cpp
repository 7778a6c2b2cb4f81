#include "platform/files/interrupt_cleanup.h"

#include "common/file_names.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

// What the handler reads. Written only while the signals are blocked or no handler is
// installed; the handler runs on the one thread that writes them.
char g_temporaryFile[PATH_MAX] = {};
volatile std::sig_atomic_t g_haveTemporaryFile = 0;
char g_notice[2048] = {};
volatile std::sig_atomic_t g_noticeBytes = 0;

sigset_t terminationSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

extern "C" void onTerminationSignal(int signal)
{
    if (g_haveTemporaryFile && ::unlink(g_temporaryFile) == 0) {
        for (std::size_t done = 0; done < std::size_t(g_noticeBytes);) {
            const ssize_t n = ::write(STDERR_FILENO, g_notice + done, std::size_t(g_noticeBytes) - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
    }
    g_haveTemporaryFile = 0;
    // The signal's default action: it is delivered again as soon as this handler returns, and
    // ends the process as it ends any program.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    ::raise(signal);
}

} // namespace

InterruptCleanup::InterruptCleanup(const QString &notice)
{
    const QByteArray line = fileNameBytes(notice) + '\n';
    const std::size_t bytes = std::min<std::size_t>(std::size_t(line.size()), sizeof g_notice);
    std::memcpy(g_notice, line.constData(), bytes);
    g_noticeBytes = std::sig_atomic_t(bytes);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    action.sa_mask = terminationSignals(); // one handler at a time
    for (int i = 0; i < 3; ++i) {
        if (::sigaction(kSignals[i], nullptr, &m_previous[i]) != 0 || m_previous[i].sa_handler == SIG_IGN)
            continue;
        m_installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

InterruptCleanup::~InterruptCleanup()
{
    for (int i = 0; i < 3; ++i)
        if (m_installed[i])
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    g_noticeBytes = 0;
}

namespace interrupt_cleanup {

SignalBlock::SignalBlock()
{
    const sigset_t block = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &block, &m_previous);
}

SignalBlock::~SignalBlock()
{
    ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void setTemporaryFile(const QByteArray &path)
{
    g_haveTemporaryFile = 0;
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof g_temporaryFile)
        return;
    std::memcpy(g_temporaryFile, path.constData(), std::size_t(path.size()) + 1);
    g_haveTemporaryFile = 1;
}

void clearTemporaryFile()
{
    g_haveTemporaryFile = 0;
}

} // namespace interrupt_cleanup
