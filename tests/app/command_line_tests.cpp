// The sonoriel executable's command line: help, the device list from each backend, and the exit
// status of failures and usage errors.
#include "../support/pulse_server.h"
#include "../support/tools.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

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

// Runs a shell line in folder, with the program as $S: file names written there as printf
// escapes reach the program as the bytes they are, as from a user's shell.
ToolResult runShell(const QString &folder, const QString &line)
{
    return runTool("sh", {"-c", "cd \"$1\" && S=\"$2\" && " + line, "sh", folder, SONORIEL_EXECUTABLE});
}

QByteArray pathBytes(const QTemporaryDir &folder, const QByteArray &name)
{
    return QFile::encodeName(folder.path()) + '/' + name;
}

bool isFile(const QByteArray &path)
{
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

TEST(CommandLine, HelpListsTheSubcommandsAndUsageErrorsExitWithTwo)
{
    const ToolResult help = runSonoriel({"--help"}, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("devices"));
    const auto environment = withAudio("virtual");
    EXPECT_EQ(runSonoriel({"no-such-command"}, environment).exitCode, 2);
    const ToolResult extra = runSonoriel({"devices", "extra"}, environment);
    EXPECT_EQ(extra.exitCode, 2);
    EXPECT_TRUE(extra.err.contains("usage: sonoriel devices"));
}

TEST(CommandLine, DevicesListsTheVirtualDeviceWithoutASoundServer)
{
    const QString listing = "0: Signal de test (440 Hz et 880 Hz)\n"
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

    // Asked for, a missing server is an error told in one line.
    const ToolResult missing = runSonoriel({"devices"}, withAudio("pulse", "unix:/nonexistent/pulse/native"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(missing.err.count('\n'), 1) << missing.err.toStdString();
}

TEST(CommandLine, DevicesListsTheServerSourcesInputsFirst)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    const ToolResult devices = runSonoriel({"devices"}, withAudio("pulse", server.serverAddress()));
    ASSERT_EQ(devices.exitCode, 0) << devices.err.toStdString();
    EXPECT_TRUE(devices.out.startsWith("0: " + server.sourceDescription() + "\n")) << devices.out.toStdString();
    EXPECT_TRUE(devices.out.contains("\n1: Monitor of " + server.sinkDescription() + "\n")) << devices.out.toStdString();
    EXPECT_FALSE(devices.out.contains("\n2: ")) << devices.out.toStdString();
    // A source without ports is its own one line, selected.
    EXPECT_TRUE(devices.out.contains("\n  0: " + server.sourceDescription() + " * (volume ")) << devices.out.toStdString();

    const ToolResult automatic = runSonoriel({"devices"}, withAudio("", server.serverAddress()));
    EXPECT_EQ(automatic.out, devices.out);
}

TEST(CommandLine, RecordAndConvertOpenAndWriteFileNamesThatAreNoValidText)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    QTemporaryDir folder;
    const QString source = "\"$(printf '\\377\\376.wav')\"";
    ASSERT_EQ(runShell(folder.path(), "sox -n -r 44100 -c 2 -b 16 " + source + " synth 0.5 sine 440").exitCode, 0);
    ASSERT_TRUE(isFile(pathBytes(folder, "\xff\xfe.wav")));

    const ToolResult convert = runShell(folder.path(), "\"$S\" convert " + source + " \"$(printf 'son\\375.mp3')\"");
    EXPECT_EQ(convert.exitCode, 0) << convert.err.toStdString();
    const ToolResult record = runShell(folder.path(), "SONORIEL_AUDIO=virtual SONORIEL_VIRTUAL_SPEED=0 \"$S\" record "
                                                      "\"$(printf 'rec\\373.wav')\" --seconds 0.5 | od -c");
    EXPECT_EQ(record.exitCode, 0) << record.err.toStdString();
    EXPECT_TRUE(record.out.contains("r   e   c 373   .   w   a   v  \\n")) << record.out.toStdString();

    // Each file is under the very name asked for (renamed here to names the tools can take),
    // and nothing under the name Qt's conversion would have made of it.
    for (const auto &[name, plain] : {std::pair{"son\xfd.mp3", "son.mp3"}, {"\xff\xfe.wav", "source.wav"},
                                      {"rec\xfb.wav", "rec.wav"}}) {
        SCOPED_TRACE(plain);
        EXPECT_EQ(std::rename(pathBytes(folder, name).constData(), pathBytes(folder, plain).constData()), 0);
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    EXPECT_NEAR(ffprobeInfo(folder.filePath("son.mp3")).seconds, 0.5, 0.06);
    EXPECT_NEAR(soxInfo(folder.filePath("rec.wav")).seconds, 0.5, 0.25);
}
