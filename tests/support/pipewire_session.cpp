// Starting, using and stopping the tests' private PipeWire session.
#include "pipewire_session.h"

#include "tools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 20000;
constexpr int kStopTimeoutMs = 5000;
constexpr int kWriteStallMs = 2000;

// The programs of a session in the order they start; they stop in the reverse order.
enum Program { Bus, Graph, SessionManager, PulseBridge, ProgramCount };
constexpr std::array<const char *, ProgramCount> kProgramNames = {"dbus-daemon", "pipewire",
                                                                  "wireplumber", "pipewire-pulse"};

// The FIFO's write end, open for the session's whole life so the pipe source never sees its
// writer go away.
class FileDescriptor {
public:
    FileDescriptor() = default;
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

bool writeTextFile(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

struct PipeWireSession::Impl {
    Options options;
    QTemporaryDir dir;
    std::array<QProcess, ProgramCount> programs;
    int started = 0; // programs[0, started) have been started
    FileDescriptor fifo;
    std::mutex fifoMutex;
    QString error;
    bool running = false;
    bool replacedServerVariable = false;
    bool hadServerVariable = false;
    QByteArray previousServerVariable;

    QString busPath() const { return dir.filePath("bus"); }
    QString graphSocketPath() const { return dir.filePath("pipewire-0"); }
    QString pulseSocketPath() const { return dir.filePath("native"); }
    QString fifoPath() const { return dir.filePath("source.fifo"); }
    QString pulseConfigPath() const { return dir.filePath("pipewire-pulse.conf"); }
    QString logPath(Program program) const
    {
        return dir.filePath(QString::fromLatin1(kProgramNames[program]) + ".log");
    }
    QString address() const { return QStringLiteral("unix:") + pulseSocketPath(); }

    bool writeConfiguration();
    QProcessEnvironment environment() const;
    bool startProgram(Program program, const QString &executable, const QStringList &arguments);
    bool waitForSocket(Program program, const QString &path);
    bool allRunning() const;
    bool anyEnded(); // sets error for the first of the started programs that has ended
    bool waitUntilReady();
    bool start();
    bool openFifo();
    void stopPrograms();
    QString logs() const;
};

bool PipeWireSession::Impl::writeConfiguration()
{
    // pipewire-pulse's own configuration, complete, so the packaged one's always-present
    // fallback sink does not show up in the device list. Its commands create the two test
    // devices as the private PulseAudio daemon's script does; a command that fails only leaves
    // "can't run command" in the log, so start-up waits for both devices to be listed.
    const QString pulse =
        QStringLiteral(
            "context.spa-libs = {\n"
            "    audio.convert.* = audioconvert/libspa-audioconvert\n"
            "    support.*       = support/libspa-support\n"
            "}\n"
            "context.modules = [\n"
            "    { name = libpipewire-module-protocol-native }\n"
            "    { name = libpipewire-module-client-node }\n"
            "    { name = libpipewire-module-adapter }\n"
            "    { name = libpipewire-module-metadata }\n"
            "    { name = libpipewire-module-protocol-pulse\n"
            "      args = { server.address = [ \"unix:%1\" ] } }\n"
            "]\n"
            "pulse.cmd = [\n"
            "    { cmd = \"load-module\" args = \"module-null-sink sink_name=sonoriel_test_sink "
            "sink_properties=\\\"device.description='Sortie de test Sonoriel'\\\"\" }\n"
            "    { cmd = \"load-module\" args = \"module-pipe-source source_name=sonoriel_test_source "
            "file=%2 format=s16le rate=%3 channels=%4 "
            "source_properties=\\\"device.description='Entrée de test Sonoriel'\\\"\" }\n"
            "]\n")
            .arg(pulseSocketPath(), fifoPath())
            .arg(options.sourceRateHz)
            .arg(options.sourceChannels);
    // WirePlumber without its device monitors: only the session's own devices are listed.
    // Loaded after the packaged defaults (50-*) and before they are acted on (90-*).
    const QString mainOverride = QStringLiteral("alsa_monitor.enabled = false\n"
                                                "v4l2_monitor.enabled = false\n"
                                                "libcamera_monitor.enabled = false\n");
    const QString bluetoothOverride = QStringLiteral("bluez_monitor.enabled = false\n");
    QDir root(dir.path());
    return root.mkpath("config/wireplumber/main.lua.d") &&
           root.mkpath("config/wireplumber/bluetooth.lua.d") && root.mkpath("state") &&
           writeTextFile(pulseConfigPath(), pulse) &&
           writeTextFile(dir.filePath("config/wireplumber/main.lua.d/51-sonoriel-test.lua"),
                         mainOverride) &&
           writeTextFile(dir.filePath("config/wireplumber/bluetooth.lua.d/51-sonoriel-test.lua"),
                         bluetoothOverride);
}

QProcessEnvironment PipeWireSession::Impl::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_CONFIG_PATH",
          "PULSE_COOKIE", "PIPEWIRE_REMOTE", "PIPEWIRE_CONFIG_DIR", "PIPEWIRE_CONFIG_NAME",
          "WIREPLUMBER_CONFIG_DIR", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(name);
    environment.insert("HOME", dir.path());
    environment.insert("XDG_RUNTIME_DIR", dir.path());
    environment.insert("PIPEWIRE_RUNTIME_DIR", dir.path());
    environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    environment.insert("XDG_STATE_HOME", dir.filePath("state"));
    environment.insert("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=") + busPath());
    environment.insert("LC_ALL", "C.UTF-8");
    return environment;
}

bool PipeWireSession::Impl::startProgram(Program program, const QString &executable,
                                         const QStringList &arguments)
{
    QProcess &process = programs[program];
    process.setProcessEnvironment(environment());
    process.setWorkingDirectory(dir.path());
    process.setStandardOutputFile(logPath(program));
    process.setStandardErrorFile(logPath(program), QIODevice::Append);
    process.start(executable, arguments);
    if (process.waitForStarted(kStartTimeoutMs)) {
        started = program + 1;
        return true;
    }
    error = QStringLiteral("%1 does not start: %2").arg(kProgramNames[program], process.errorString());
    return false;
}

bool PipeWireSession::Impl::waitForSocket(Program program, const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kStartTimeoutMs) {
        if (anyEnded())
            return false;
        if (QFileInfo(path).exists())
            return true;
        QThread::msleep(20);
    }
    error = QStringLiteral("%1 did not create %2 within %3 ms")
                .arg(kProgramNames[program], path)
                .arg(kStartTimeoutMs);
    return false;
}

bool PipeWireSession::Impl::allRunning() const
{
    return std::all_of(programs.begin(), programs.end(), [](const QProcess &process) {
        return process.state() != QProcess::NotRunning;
    });
}

bool PipeWireSession::Impl::anyEnded()
{
    for (int program = 0; program < started; ++program) {
        if (programs[program].state() != QProcess::NotRunning)
            continue;
        error = QStringLiteral("%1 ended during start-up (exit code %2)")
                    .arg(kProgramNames[program])
                    .arg(programs[program].exitCode());
        return true;
    }
    return false;
}

bool PipeWireSession::Impl::waitUntilReady()
{
    // pipewire-pulse answers before WirePlumber has taken charge; until then no stream is
    // linked to a source and the default source is a placeholder ("@DEFAULT_SOURCE@").
    QElapsedTimer clock;
    clock.start();
    QString lastReply;
    while (clock.elapsed() < kStartTimeoutMs) {
        if (anyEnded())
            return false;
        const ToolResult sources = runTool("pactl", {"--server", address(), "list", "short", "sources"});
        const ToolResult source = runTool("pactl", {"--server", address(), "get-default-source"});
        const QString defaultSource = source.out.trimmed();
        if (sources.exitCode == 0 && sources.out.contains("sonoriel_test_source") &&
            sources.out.contains("sonoriel_test_sink.monitor") && source.exitCode == 0 &&
            !defaultSource.isEmpty() && !defaultSource.startsWith('@'))
            return true;
        lastReply = (sources.err + source.err + defaultSource).trimmed();
        QThread::msleep(50);
    }
    error = QStringLiteral("the session was not ready within %1 ms (pactl: %2)")
                .arg(kStartTimeoutMs)
                .arg(lastReply);
    return false;
}

bool PipeWireSession::Impl::start()
{
    if (!dir.isValid()) {
        error = QStringLiteral("no temporary folder for the session: ") + dir.errorString();
        return false;
    }
    if (!writeConfiguration()) {
        error = QStringLiteral("cannot write the session's configuration into ") + dir.path();
        return false;
    }
    return startProgram(Bus, "dbus-daemon",
                        {"--session", "--nofork", "--nopidfile",
                         QStringLiteral("--address=unix:path=") + busPath()}) &&
           waitForSocket(Bus, busPath()) && startProgram(Graph, "pipewire", {}) &&
           waitForSocket(Graph, graphSocketPath()) &&
           startProgram(SessionManager, "wireplumber", {}) &&
           startProgram(PulseBridge, "pipewire", {"-c", pulseConfigPath()}) && waitUntilReady() &&
           openFifo();
}

bool PipeWireSession::Impl::openFifo()
{
    // Non-blocking, so a write waits for the source only as long as kWriteStallMs.
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

void PipeWireSession::Impl::stopPrograms()
{
    for (int program = ProgramCount - 1; program >= 0; --program) {
        QProcess &process = programs[program];
        if (process.state() == QProcess::NotRunning)
            continue;
        process.terminate();
        if (process.waitForFinished(kStopTimeoutMs))
            continue;
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
    }
}

QString PipeWireSession::Impl::logs() const
{
    QString text;
    for (int program = 0; program < ProgramCount; ++program) {
        QFile file(logPath(static_cast<Program>(program)));
        text += QStringLiteral("\n--- %1 log ---\n").arg(kProgramNames[program]);
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

PipeWireSession::PipeWireSession() : PipeWireSession(Options()) {}

PipeWireSession::PipeWireSession(const Options &options) : d(std::make_unique<Impl>())
{
    // A write into the FIFO of a session that has died must fail, not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    d->options = options;
    if (!d->start()) {
        d->fifo.reset();
        d->stopPrograms();
        return;
    }
    d->running = true;
    d->hadServerVariable = qEnvironmentVariableIsSet("PULSE_SERVER");
    d->previousServerVariable = qgetenv("PULSE_SERVER");
    d->replacedServerVariable = true;
    qputenv("PULSE_SERVER", d->address().toUtf8());
}

PipeWireSession::~PipeWireSession()
{
    d->fifo.reset();
    d->stopPrograms();
    if (!d->replacedServerVariable)
        return;
    if (d->hadServerVariable)
        qputenv("PULSE_SERVER", d->previousServerVariable);
    else
        qunsetenv("PULSE_SERVER");
}

bool PipeWireSession::isRunning() const
{
    return d->running && d->allRunning();
}

QString PipeWireSession::errorText() const
{
    if (!d->error.isEmpty())
        return d->error + d->logs();
    if (d->running && !d->allRunning())
        return QStringLiteral("a program of the session has ended") + d->logs();
    return {};
}

QString PipeWireSession::serverAddress() const
{
    return d->address();
}

bool PipeWireSession::writeToSource(std::span<const std::int16_t> samples)
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

bool PipeWireSession::removeSource()
{
    const QString modules = pactl({"list", "short", "modules"});
    for (const QString &line : modules.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split('\t');
        if (fields.size() < 3 || fields[1] != QLatin1String("module-pipe-source") ||
            !fields[2].contains("source_name=sonoriel_test_source"))
            continue;
        return runTool("pactl", {"--server", d->address(), "unload-module", fields[0]}).exitCode == 0;
    }
    return false;
}

QString PipeWireSession::pactl(const QStringList &arguments) const
{
    const ToolResult run = runTool("pactl", QStringList{"--server", d->address()} + arguments);
    return run.exitCode == 0 ? run.out : QString();
}
