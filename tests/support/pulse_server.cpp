// Starting, using and stopping the tests' private PulseAudio daemon.
#include "pulse_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 5000;
constexpr int kPactlTimeoutMs = 10000;
constexpr int kWriteStallMs = 2000;

// The FIFO's write end, open for the daemon's whole life so the pipe source never sees its
// writer go away.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

struct ToolRun {
    bool ok = false;
    QString out;
    QString err;
};

ToolRun runPactl(const QString &server, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PULSE_SERVER", server);
    process.setProcessEnvironment(environment);
    process.start("pactl", QStringList{"--server", server} + arguments);
    ToolRun run;
    if (!process.waitForStarted(kPactlTimeoutMs)) {
        run.err = QStringLiteral("pactl does not start: ") + process.errorString();
        return run;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(kPactlTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("pactl did not finish");
        return run;
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

} // namespace

struct PulseServer::Impl {
    Options options;
    QTemporaryDir dir;
    QProcess daemon;
    FileDescriptor fifo;
    std::mutex fifoMutex;
    QString error;
    bool running = false;
    bool replacedServerVariable = false;
    bool hadServerVariable = false;
    QByteArray previousServerVariable;

    QString socketPath() const { return dir.filePath("native"); }
    QString fifoPath() const { return dir.filePath("source.fifo"); }
    QString logPath() const { return dir.filePath("daemon.log"); }
    QString address() const { return QStringLiteral("unix:") + socketPath(); }

    bool writeScript(const QString &path) const;
    bool start();
    bool waitUntilAnswering();
    bool openFifo();
    void stopDaemon();
    QString daemonLog() const;
};

bool PulseServer::Impl::writeScript(const QString &path) const
{
    // ".fail" ends the daemon when a module does not load, so a bad start shows in the log
    // instead of as a server without its source.
    const QString script =
        QStringLiteral(".fail\n"
                       "load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n"
                       "load-module module-null-sink sink_name=sonoriel_test_sink "
                       "sink_properties=\"device.description='Sortie de test Sonoriel'\"\n"
                       "load-module module-pipe-source source_name=sonoriel_test_source file=%2 "
                       "format=s16le rate=%3 channels=%4 "
                       "source_properties=\"device.description='Entrée de test Sonoriel'\"\n")
            .arg(socketPath(), fifoPath())
            .arg(options.sourceRateHz)
            .arg(options.sourceChannels);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = script.toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

bool PulseServer::Impl::start()
{
    if (!dir.isValid()) {
        error = QStringLiteral("no temporary folder for the daemon: ") + dir.errorString();
        return false;
    }
    const QString scriptPath = dir.filePath("server.pa");
    if (!writeScript(scriptPath)) {
        error = QStringLiteral("cannot write ") + scriptPath;
        return false;
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH",
                             "PULSE_CONFIG_PATH", "PULSE_COOKIE", "DISPLAY",
                             "DBUS_SESSION_BUS_ADDRESS"})
        environment.remove(name);
    environment.insert("HOME", dir.path());
    environment.insert("XDG_RUNTIME_DIR", dir.path());
    environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    environment.insert("LC_ALL", "C.UTF-8");
    if (!QDir(dir.path()).mkpath("config")) {
        error = QStringLiteral("cannot create the daemon's configuration folder");
        return false;
    }
    daemon.setProcessEnvironment(environment);
    daemon.setWorkingDirectory(dir.path());
    daemon.setStandardOutputFile(logPath());
    daemon.setStandardErrorFile(logPath(), QIODevice::Append);
    daemon.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1",
                                "--disable-shm=true", "--use-pid-file=false",
                                "--log-target=stderr", "-F", scriptPath});
    if (!daemon.waitForStarted(kStartTimeoutMs)) {
        error = QStringLiteral("pulseaudio does not start: ") + daemon.errorString();
        return false;
    }
    return waitUntilAnswering() && openFifo();
}

bool PulseServer::Impl::waitUntilAnswering()
{
    QElapsedTimer clock;
    clock.start();
    QString lastReply;
    while (clock.elapsed() < kStartTimeoutMs) {
        if (daemon.state() == QProcess::NotRunning || daemon.waitForFinished(0)) {
            error = QStringLiteral("pulseaudio ended during start-up (exit code %1)")
                        .arg(daemon.exitCode());
            return false;
        }
        const ToolRun sources = runPactl(address(), {"list", "short", "sources"});
        if (sources.ok && sources.out.contains("sonoriel_test_source") &&
            sources.out.contains("sonoriel_test_sink.monitor"))
            return true;
        lastReply = sources.err.trimmed();
        QThread::msleep(50);
    }
    error = QStringLiteral("pulseaudio did not answer within %1 ms (pactl: %2)")
                .arg(kStartTimeoutMs)
                .arg(lastReply);
    return false;
}

bool PulseServer::Impl::openFifo()
{
    // Non-blocking, so the open fails at once (ENXIO) instead of hanging when nobody reads the
    // FIFO, and a write waits for the source only as long as kWriteStallMs.
    const QByteArray path = QFile::encodeName(fifoPath());
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("cannot open the pipe source's FIFO: ") +
                QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    fifo.reset(fd);
    return true;
}

void PulseServer::Impl::stopDaemon()
{
    if (daemon.state() == QProcess::NotRunning)
        return;
    daemon.terminate();
    if (daemon.waitForFinished(kStopTimeoutMs))
        return;
    daemon.kill();
    daemon.waitForFinished(kStopTimeoutMs);
}

QString PulseServer::Impl::daemonLog() const
{
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

PulseServer::PulseServer() : PulseServer(Options()) {}

PulseServer::PulseServer(const Options &options) : d(std::make_unique<Impl>())
{
    // A write into the FIFO of a daemon that has died must fail, not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    d->options = options;
    if (!d->start()) {
        d->stopDaemon();
        d->fifo.reset();
        return;
    }
    d->running = true;
    d->hadServerVariable = qEnvironmentVariableIsSet("PULSE_SERVER");
    d->previousServerVariable = qgetenv("PULSE_SERVER");
    d->replacedServerVariable = true;
    qputenv("PULSE_SERVER", d->address().toUtf8());
}

PulseServer::~PulseServer()
{
    d->stopDaemon();
    d->fifo.reset();
    if (!d->replacedServerVariable)
        return;
    if (d->hadServerVariable)
        qputenv("PULSE_SERVER", d->previousServerVariable);
    else
        qunsetenv("PULSE_SERVER");
}

bool PulseServer::isRunning() const
{
    return d->running && d->daemon.state() != QProcess::NotRunning;
}

QString PulseServer::errorText() const
{
    if (d->error.isEmpty())
        return {};
    return d->error + QStringLiteral("\n--- pulseaudio log ---\n") + d->daemonLog();
}

QString PulseServer::serverAddress() const
{
    return d->address();
}

bool PulseServer::writeToSource(std::span<const std::int16_t> samples)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (const std::int16_t sample : samples) {
        const auto value = static_cast<std::uint16_t>(sample);
        bytes.push_back(static_cast<std::uint8_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    std::lock_guard lock(d->fifoMutex);
    if (d->fifo.get() < 0)
        return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(d->fifo.get(), bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            return false;
        pollfd ready{d->fifo.get(), POLLOUT, 0};
        const int polled = ::poll(&ready, 1, kWriteStallMs);
        if (polled == 0)
            return false; // the source has stopped reading
        if (polled < 0 && errno != EINTR)
            return false;
    }
    return true;
}

bool PulseServer::removeSource()
{
    const ToolRun modules = runPactl(d->address(), {"list", "short", "modules"});
    if (!modules.ok)
        return false;
    for (const QString &line : modules.out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split('\t');
        if (fields.size() < 3 || fields[1] != QLatin1String("module-pipe-source") ||
            !fields[2].contains("source_name=sonoriel_test_source"))
            continue;
        return runPactl(d->address(), {"unload-module", fields[0]}).ok;
    }
    return false;
}

QString PulseServer::pactl(const QStringList &arguments) const
{
    const ToolRun run = runPactl(d->address(), arguments);
    return run.ok ? run.out : QString();
}
