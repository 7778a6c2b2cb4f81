// Starting the tests' private PipeWire session.
#include "pipewire_session.h"

#include <QFileInfo>
#include <QProcessEnvironment>

namespace {

constexpr int kStartTimeoutMs = 20000;

// Quotes text as a string of PipeWire's configuration language.
QString configurationString(QString text)
{
    return QLatin1Char('"') + text.replace('\\', "\\\\").replace('"', "\\\"") + QLatin1Char('"');
}

} // namespace

PipeWireSession::PipeWireSession(const Options &options)
{
    launch([&] { return start(options); });
}

bool PipeWireSession::start(const Options &options)
{
    const QString bus = runtimePath("bus");
    const QString graphSocket = runtimePath("pipewire-0");
    QProcessEnvironment session = environment();
    session.insert("PIPEWIRE_RUNTIME_DIR", session.value("XDG_RUNTIME_DIR"));
    session.insert("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=") + bus);
    const auto exists = [](const QString &path) {
        return [path](QString &) { return QFileInfo::exists(path); };
    };
    // pipewire-pulse answers before WirePlumber has taken charge; until then no stream is
    // linked to a source and the default source is a placeholder ("@DEFAULT_SOURCE@").
    const Check ready = [this](QString &reply) {
        QString sources;
        const bool listed = listsTestDevices(sources);
        const bool chosen = hasDefaultSource(reply);
        reply.prepend(sources);
        return listed && chosen;
    };
    return writeConfiguration(options) &&
           startProgram("dbus-daemon", "dbus-daemon",
                        {"--session", "--nofork", "--nopidfile",
                         QStringLiteral("--address=unix:path=") + bus},
                        session) &&
           waitFor(exists(bus), "dbus-daemon did not create " + bus, kStartTimeoutMs, 20) &&
           startProgram("pipewire", "pipewire", {}, session) &&
           waitFor(exists(graphSocket), "pipewire did not create " + graphSocket,
                   kStartTimeoutMs, 20) &&
           startProgram("wireplumber", "wireplumber", {}, session) &&
           startProgram("pipewire-pulse", "pipewire",
                        {"-c", runtimePath("pipewire-pulse.conf")}, session) &&
           waitFor(ready, "the session was not ready", kStartTimeoutMs, 50);
}

bool PipeWireSession::writeConfiguration(const Options &options)
{
    // pipewire-pulse's own configuration, complete, so the packaged one's always-present
    // fallback sink does not show up in the device list. Its commands create the two test
    // devices as the private PulseAudio daemon's script does; a command that fails only leaves
    // "can't run command" in the log, so start-up waits for both devices to be listed.
    const QString pulse =
        QStringLiteral("context.spa-libs = {\n"
                       "    audio.convert.* = audioconvert/libspa-audioconvert\n"
                       "    support.*       = support/libspa-support\n"
                       "}\n"
                       "context.modules = [\n"
                       "    { name = libpipewire-module-protocol-native }\n"
                       "    { name = libpipewire-module-client-node }\n"
                       "    { name = libpipewire-module-adapter }\n"
                       "    { name = libpipewire-module-metadata }\n"
                       "    { name = libpipewire-module-protocol-pulse\n"
                       "      args = { server.address = [ %1 ] } }\n"
                       "]\n"
                       "pulse.cmd = [\n"
                       "    { cmd = \"load-module\" args = %2 }\n"
                       "    { cmd = \"load-module\" args = %3 }\n"
                       "]\n")
            .arg(configurationString(QStringLiteral("unix:") + pulseSocketPath()),
                 configurationString(sinkModuleArguments()),
                 configurationString(sourceModuleArguments(options)));
    // WirePlumber without its device monitors: only the session's own devices are listed.
    // Loaded after the packaged defaults (50-*) and before they are acted on (90-*).
    const QString mainOverride = QStringLiteral("alsa_monitor.enabled = false\n"
                                                "v4l2_monitor.enabled = false\n"
                                                "libcamera_monitor.enabled = false\n");
    const QString bluetoothOverride = QStringLiteral("bluez_monitor.enabled = false\n");
    return writeRuntimeFile("pipewire-pulse.conf", pulse) &&
           writeRuntimeFile("config/wireplumber/main.lua.d/51-sonoriel-test.lua", mainOverride) &&
           writeRuntimeFile("config/wireplumber/bluetooth.lua.d/51-sonoriel-test.lua",
                            bluetoothOverride);
}

bool PipeWireSession::hasDefaultSource(QString &reply) const
{
    const QString source = pactl({"get-default-source"}).trimmed();
    reply = source;
    return !source.isEmpty() && !source.startsWith('@');
}
