// The sonoriel executable's command line: help, the device list from each backend, and the exit
// status of failures and usage errors.
#include "../support/pulse_server.h"
#include "../support/tools.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

ToolResult runSonoriel(const QStringList &arguments, const QProcessEnvironment &environment)
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), arguments, environment);
}

QProcessEnvironment withAudio(const QString &backend, const QString &pulseServer = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SONORIEL_AUDIO", backend);
    if (!pulseServer.isEmpty())
        environment.insert("PULSE_SERVER", pulseServer);
    return environment;
}

} // namespace

TEST(CommandLine, HelpListsTheSubcommands)
{
    const ToolResult help = runSonoriel({"--help"}, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("devices"));
}

TEST(CommandLine, UsageErrorsExitWithTwo)
{
    const auto environment = withAudio("virtual");
    EXPECT_EQ(runSonoriel({"no-such-command"}, environment).exitCode, 2);
    const ToolResult extra = runSonoriel({"devices", "extra"}, environment);
    EXPECT_EQ(extra.exitCode, 2);
    EXPECT_TRUE(extra.err.contains("usage: sonoriel devices"));
}

TEST(CommandLine, DevicesListsTheVirtualDeviceWithoutASoundServer)
{
    const QString listing = "0: Signal de test de Sonoriel (440 Hz à gauche, 880 Hz à droite)\n"
                            "  0: Microphone * (volume 65535)\n"
                            "  1: Entrée ligne\n"
                            "  2: CD audio\n";
    const ToolResult devices = runSonoriel({"devices"}, withAudio("virtual"));
    EXPECT_EQ(devices.exitCode, 0);
    EXPECT_EQ(devices.out, listing);
    EXPECT_TRUE(devices.err.isEmpty()) << "the virtual device was asked for";

    // Unset: no server answers at this address, so the virtual device stands in, and the user
    // is told so, once.
    const QString notice = "Aucun serveur de son ne répond (PulseAudio/PipeWire) : Sonoriel enregistre son "
                           "entrée virtuelle à la place du son de la carte.\n";
    const ToolResult automatic = runSonoriel({"devices"}, withAudio("", "unix:/nonexistent/pulse/native"));
    EXPECT_EQ(automatic.exitCode, 0);
    EXPECT_EQ(automatic.out, listing);
    EXPECT_EQ(automatic.err, notice);
}

TEST(CommandLine, DevicesSaysSoInOneLineWhenTheAskedServerIsMissing)
{
    const ToolResult devices = runSonoriel({"devices"}, withAudio("pulse", "unix:/nonexistent/pulse/native"));
    EXPECT_EQ(devices.exitCode, 1);
    EXPECT_TRUE(devices.out.isEmpty());
    EXPECT_EQ(devices.err.count('\n'), 1) << devices.err.toStdString();
}

TEST(CommandLine, DevicesListsTheServerSourcesInputsFirst)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    const ToolResult devices = runSonoriel({"devices"}, withAudio("pulse", server.serverAddress()));
    ASSERT_EQ(devices.exitCode, 0) << devices.err.toStdString();
    QStringList devicesOnly = devices.out.split('\n', Qt::SkipEmptyParts);
    devicesOnly.removeIf([](const QString &line) { return line.startsWith(' '); });
    ASSERT_EQ(devicesOnly.size(), 2) << devices.out.toStdString();
    EXPECT_EQ(devicesOnly[0], "0: " + server.sourceDescription());
    EXPECT_EQ(devicesOnly[1], "1: Monitor of " + server.sinkDescription());
    // A source without ports is its own one line, selected.
    EXPECT_TRUE(devices.out.contains("\n  0: " + server.sourceDescription() + " * (volume ")) << devices.out.toStdString();

    const ToolResult automatic = runSonoriel({"devices"}, withAudio("", server.serverAddress()));
    EXPECT_EQ(automatic.out, devices.out);
}
