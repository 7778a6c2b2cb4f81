// The runtime folder, programs, pipe source and PULSE_SERVER of a private test sound server.
#include "private_sound_server.h"

#include "child_process.h"
#include "tools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <optional>
#include <vector>

namespace {

constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr auto kPactlTimeout = std::chrono::seconds(10);
constexpr auto kPulseSocketName = "native";

ToolResult runPactl(const QString &address, const QStringList &arguments)
{
    return runTool(QStringLiteral("pactl"), QStringList{"--server", address} + arguments,
                   kPactlTimeout);
}

struct Program {
    QString name;
    ChildProcess process;

    bool ended() { return process.hasEnded(); }
};

} // namespace

struct PrivateSoundServer::Impl {
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Program>> programs; // in the order they started
    PipeSource fifo;
    bool serverSet = false;
    std::optional<QByteArray> previousServer; // PULSE_SERVER before, put back when the server stops
    QString error;
    bool running = false;

    QString address() const { return QStringLiteral("unix:") + dir.filePath(kPulseSocketName); }

    // The first program that has ended, or nullptr.
    Program *endedProgram() const
    {
        for (const auto &program : programs) {
            if (program->ended())
                return program.get();
        }
        return nullptr;
    }

    void stop()
    {
        fifo.close();
        for (auto program = programs.rbegin(); program != programs.rend(); ++program)
            (*program)->process.stop(kStopTimeout);
        if (!serverSet)
            return;
        if (previousServer)
            qputenv("PULSE_SERVER", *previousServer);
        else
            qunsetenv("PULSE_SERVER");
        serverSet = false;
    }

    QString logs() const
    {
        QString text;
        for (const auto &program : programs) {
            text += QStringLiteral("\n--- %1 log ---\n").arg(program->name);
            QFile file(dir.filePath(program->name + ".log"));
            if (file.open(QIODevice::ReadOnly))
                text += QString::fromUtf8(file.readAll());
        }
        return text;
    }
};

PrivateSoundServer::PrivateSoundServer() : d(std::make_unique<Impl>()) {}

PrivateSoundServer::~PrivateSoundServer()
{
    d->stop();
}

void PrivateSoundServer::launch(const std::function<bool()> &start)
{
    if (!d->dir.isValid()) {
        d->error = QStringLiteral("no temporary folder for the server: ") + d->dir.errorString();
        return;
    }
    const QDir root(d->dir.path());
    if (!root.mkpath("config") || !root.mkpath("state")) {
        d->error = QStringLiteral("cannot create the server's configuration folders");
        return;
    }
    if (!start()) {
        d->stop();
        return;
    }
    d->error = d->fifo.open(fifoPath());
    if (!d->error.isEmpty()) {
        d->stop();
        return;
    }
    if (qEnvironmentVariableIsSet("PULSE_SERVER"))
        d->previousServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", d->address().toUtf8());
    d->serverSet = true;
    d->running = true;
}

bool PrivateSoundServer::isRunning() const
{
    return d->running && d->endedProgram() == nullptr;
}

QString PrivateSoundServer::errorText() const
{
    if (!d->error.isEmpty())
        return d->error + d->logs();
    if (!d->running)
        return {};
    const Program *ended = d->endedProgram();
    if (ended == nullptr)
        return {};
    return QStringLiteral("%1 has ended (exit code %2)")
               .arg(ended->name)
               .arg(ended->process.exitCode()) +
           d->logs();
}

QString PrivateSoundServer::serverAddress() const
{
    return d->address();
}

bool PrivateSoundServer::writeToSource(std::span<const std::int16_t> samples)
{
    return d->fifo.write(samples);
}

bool PrivateSoundServer::removeSource()
{
    const ToolResult modules = runPactl(d->address(), {"list", "short", "modules"});
    if (modules.exitCode != 0)
        return false;
    for (const QString &line : modules.out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split('\t');
        if (fields.size() < 3 || fields[1] != QLatin1String("module-pipe-source") ||
            !fields[2].contains(QStringLiteral("source_name=") + sourceName()))
            continue;
        return runPactl(d->address(), {"unload-module", fields[0]}).exitCode == 0;
    }
    return false;
}

QString PrivateSoundServer::pactl(const QStringList &arguments) const
{
    const ToolResult run = runPactl(d->address(), arguments);
    return run.exitCode == 0 ? run.out : QString();
}

QString PrivateSoundServer::runtimePath(const QString &name) const
{
    return d->dir.filePath(name);
}

QString PrivateSoundServer::pulseSocketPath() const
{
    return runtimePath(kPulseSocketName);
}

QString PrivateSoundServer::fifoPath() const
{
    return runtimePath("source.fifo");
}

QString PrivateSoundServer::sinkModuleArguments() const
{
    return QStringLiteral("module-null-sink sink_name=%1 sink_properties=\"device.description='%2'\"")
        .arg(sinkName(), sinkDescription());
}

QString PrivateSoundServer::sourceModuleArguments(const Options &options) const
{
    return QStringLiteral("module-pipe-source source_name=%1 file=%2 format=s16le rate=%3 "
                          "channels=%4 source_properties=\"device.description='%5'\"")
        .arg(sourceName(), fifoPath())
        .arg(options.sourceRateHz)
        .arg(options.sourceChannels)
        .arg(sourceDescription());
}

QProcessEnvironment PrivateSoundServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_CONFIG_PATH",
          "PULSE_COOKIE", "PIPEWIRE_REMOTE", "PIPEWIRE_CONFIG_DIR", "PIPEWIRE_CONFIG_NAME",
          "WIREPLUMBER_CONFIG_DIR", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(name);
    environment.insert("HOME", d->dir.path());
    environment.insert("XDG_RUNTIME_DIR", d->dir.path());
    environment.insert("XDG_CONFIG_HOME", runtimePath("config"));
    environment.insert("XDG_STATE_HOME", runtimePath("state"));
    environment.insert("LC_ALL", "C.UTF-8");
    return environment;
}

bool PrivateSoundServer::writeRuntimeFile(const QString &name, const QString &text)
{
    QFile file(runtimePath(name));
    const QByteArray bytes = text.toUtf8();
    if (QFileInfo(file).dir().mkpath(".") && file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
        file.flush())
        return true;
    d->error = QStringLiteral("cannot write ") + file.fileName() + QStringLiteral(": ") +
               file.errorString();
    return false;
}

bool PrivateSoundServer::startProgram(const QString &name, const QString &executable,
                                      const QStringList &arguments,
                                      const QProcessEnvironment &environment)
{
    auto &program = d->programs.emplace_back(std::make_unique<Program>());
    program->name = name;
    ChildProcess::Setup setup;
    setup.environment = environment.toStringList();
    setup.workingDirectory = d->dir.path();
    setup.outputFile = setup.errorFile = runtimePath(name + ".log");
    if (program->process.start(executable, arguments, setup))
        return true;
    d->error = program->process.errorText();
    return false;
}

bool PrivateSoundServer::waitFor(const Check &ready, const QString &what, int timeoutMs,
                                 int pollMs)
{
    QElapsedTimer clock;
    clock.start();
    QString reply;
    while (clock.elapsed() < timeoutMs) {
        if (const Program *ended = d->endedProgram()) {
            d->error = QStringLiteral("%1 ended during start-up (exit code %2)")
                           .arg(ended->name)
                           .arg(ended->process.exitCode());
            return false;
        }
        if (ready(reply))
            return true;
        QThread::msleep(static_cast<unsigned long>(pollMs));
    }
    d->error = QStringLiteral("%1 within %2 ms").arg(what).arg(timeoutMs);
    if (!reply.trimmed().isEmpty())
        d->error += QStringLiteral(" (pactl: %1)").arg(reply.trimmed());
    return false;
}

bool PrivateSoundServer::listsTestDevices(QString &reply) const
{
    const ToolResult sources = runPactl(d->address(), {"list", "short", "sources"});
    reply = sources.err;
    return sources.exitCode == 0 && sources.out.contains(sourceName()) &&
           sources.out.contains(sinkName() + ".monitor");
}
