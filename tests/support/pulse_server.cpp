// Starting the tests' private PulseAudio daemon.
#include "pulse_server.h"

#include <QProcessEnvironment>

namespace {

constexpr int kStartTimeoutMs = 15000;

} // namespace

PulseServer::PulseServer(const Options &options)
{
    launch([&] {
        // ".fail" ends the daemon when a module does not load, so a bad start shows in the log
        // instead of as a server without its source.
        const QString script =
            QStringLiteral(".fail\n"
                           "load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n"
                           "load-module %2\n"
                           "load-module %3\n")
                .arg(pulseSocketPath(), sinkModuleArguments(), sourceModuleArguments(options));
        return writeRuntimeFile("server.pa", script) &&
               startProgram("pulseaudio", "pulseaudio",
                            {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=true",
                             "--use-pid-file=false", "--log-target=stderr", "-F",
                             runtimePath("server.pa")},
                            environment()) &&
               waitFor([this](QString &reply) { return listsTestDevices(reply); },
                       "pulseaudio did not answer", kStartTimeoutMs, 50);
    });
}
