#include "child_process.h"

#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// The NUL-terminated strings and pointer array execve wants, alive as long as this is.
class CStrings {
public:
    explicit CStrings(const QStringList &texts)
    {
        for (const QString &text : texts)
            m_bytes.push_back(text.toLocal8Bit());
        for (QByteArray &bytes : m_bytes)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }
    char **data() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char *> m_pointers;
};

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    FileActions(const FileActions &) = delete;
    FileActions &operator=(const FileActions &) = delete;

    // Each call records its first failure; the spawn then reports it.
    void open(int fd, const QString &path, int flags)
    {
        const QByteArray name = path.isEmpty() ? QByteArray("/dev/null") : path.toLocal8Bit();
        keep(posix_spawn_file_actions_addopen(&m_actions, fd, name.constData(), flags, 0644));
    }
    void duplicate(int from, int to) { keep(posix_spawn_file_actions_adddup2(&m_actions, from, to)); }
    void changeFolder(const QString &path)
    {
        keep(posix_spawn_file_actions_addchdir_np(&m_actions, path.toLocal8Bit().constData()));
    }
    const posix_spawn_file_actions_t *get() const { return &m_actions; }
    int error() const { return m_error; }

private:
    void keep(int result)
    {
        if (m_error == 0)
            m_error = result;
    }
    posix_spawn_file_actions_t m_actions;
    int m_error = 0;
};

} // namespace

ChildProcess::~ChildProcess()
{
    if (m_terminal >= 0)
        ::close(m_terminal);
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool ChildProcess::start(const QString &program, const QStringList &arguments, const Setup &setup)
{
    FileActions actions;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (setup.terminal) {
        // A session of its own whose controlling terminal is the new one, as a shell gives.
        if (m_terminal >= 0) // a terminal of an earlier start
            ::close(m_terminal);
        m_terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        const char *follower = m_terminal >= 0 && ::grantpt(m_terminal) == 0 && ::unlockpt(m_terminal) == 0
                                   ? ::ptsname(m_terminal)
                                   : nullptr;
        if (!follower) {
            m_error = QStringLiteral("no pseudo-terminal: ") + std::strerror(errno);
            posix_spawnattr_destroy(&attributes);
            return false;
        }
        actions.open(STDIN_FILENO, QString::fromLocal8Bit(follower), O_RDWR);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    } else {
        actions.open(STDIN_FILENO, {}, O_RDONLY);
    }
    actions.open(STDOUT_FILENO, setup.outputFile, O_WRONLY | O_CREAT | O_TRUNC);
    if (!setup.errorFile.isEmpty() && setup.errorFile == setup.outputFile)
        actions.duplicate(STDOUT_FILENO, STDERR_FILENO);
    else
        actions.open(STDERR_FILENO, setup.errorFile, O_WRONLY | O_CREAT | O_TRUNC);
    if (!setup.workingDirectory.isEmpty())
        actions.changeFolder(setup.workingDirectory);
    if (actions.error() != 0) {
        posix_spawnattr_destroy(&attributes);
        m_error = program + QStringLiteral(" does not start: ") + std::strerror(actions.error());
        return false;
    }
    CStrings argv(QStringList{program} + arguments);
    CStrings envp(setup.environment);
    const QByteArray name = program.toLocal8Bit();
    const int result = posix_spawnp(&m_pid, name.constData(), actions.get(), &attributes, argv.data(),
                                    setup.environment.isEmpty() ? environ : envp.data());
    posix_spawnattr_destroy(&attributes);
    if (result == 0)
        return true;
    m_pid = -1;
    m_error = program + QStringLiteral(" does not start: ") + std::strerror(result);
    return false;
}

bool ChildProcess::hasEnded()
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    pid_t reaped;
    do
        reaped = ::waitpid(m_pid, &status, WNOHANG);
    while (reaped < 0 && errno == EINTR);
    if (reaped == 0)
        return false;
    m_exitCode = reaped == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_endSignal = reaped == m_pid && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    m_pid = -1;
    return true;
}

bool ChildProcess::waitForEnd(std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!hasEnded()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        QThread::msleep(2);
    }
    return true;
}

bool ChildProcess::sendSignal(int signal)
{
    return !hasEnded() && ::kill(m_pid, signal) == 0;
}

bool ChildProcess::type(const QByteArray &keys)
{
    return m_terminal >= 0 && ::write(m_terminal, keys.constData(), static_cast<std::size_t>(keys.size())) == keys.size();
}

void ChildProcess::stop(std::chrono::milliseconds grace)
{
    if (hasEnded())
        return;
    ::kill(m_pid, SIGTERM);
    if (waitForEnd(grace))
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}
