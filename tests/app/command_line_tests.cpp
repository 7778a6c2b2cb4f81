// The sonoriel executable's command line: help, the device list from each backend, the exit
// status of usage errors, and file names that are no valid text.
#include "record_test_support.h"

#include "../support/pulse_server.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Runs a shell line in folder, with the program as $S: file names written there as printf
// escapes reach the program as the bytes they are, as from a user's shell.
ToolResult runShell(const QString &folder, const QString &line)
{
    return runTool("sh", {"-c", "cd \"$1\" && S=\"$2\" && " + line, "sh", folder, SONORIEL_EXECUTABLE});
}

} // namespace

TEST(CommandLine, HelpListsTheSubcommandsAndUsageErrorsExitWithTwo)
{
    QTemporaryDir home;
    const ToolResult help = sonoriel({"--help"});
    EXPECT_TRUE(help.exitCode == 0 && help.out.contains("devices"));
    const auto environment = environmentFor(home, "virtual");
    EXPECT_EQ(sonoriel({"no-such-command"}, environment).exitCode, 2);
    const ToolResult extra = sonoriel({"devices", "extra"}, environment);
    EXPECT_TRUE(extra.exitCode == 2 && extra.err.contains("usage: sonoriel devices"));
}

TEST(CommandLine, DevicesListsTheVirtualDeviceWithoutASoundServer)
{
    QTemporaryDir home;
    const QString listing = "0: Signal de test (440 Hz et 880 Hz)\n  0: Microphone * (volume 65535)\n  1: Entrée ligne\n  2: CD audio\n";
    const ToolResult devices = sonoriel({"devices"}, environmentFor(home, "virtual"));
    EXPECT_TRUE(devices.exitCode == 0 && devices.out == listing && devices.err.isEmpty()) << devices.out.toStdString();

    // Unset: no server answers, so the virtual device stands in, and the user is told so, once.
    const ToolResult automatic = sonoriel({"devices"}, environmentFor(home, "", "unix:/nonexistent/pulse/native"));
    EXPECT_TRUE(automatic.exitCode == 0 && automatic.out == listing);
    EXPECT_EQ(automatic.err, "Aucun serveur de son ne répond (PulseAudio/PipeWire) : Sonoriel enregistre son "
                             "entrée virtuelle à la place du son de la carte.\n");
    // Asked for, a missing server is an error told in one line.
    const ToolResult missing = sonoriel({"devices"}, environmentFor(home, "pulse", "unix:/nonexistent/pulse/native"));
    EXPECT_TRUE(missing.exitCode == 1 && missing.out.isEmpty() && missing.err.count('\n') == 1) << missing.err.toStdString();
}

TEST(CommandLine, DevicesListsTheServerSourcesInputsFirst)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    const ToolResult devices = sonoriel({"devices"}, environmentFor(home, "pulse", server.serverAddress()));
    ASSERT_EQ(devices.exitCode, 0) << devices.err.toStdString();
    EXPECT_TRUE(devices.out.startsWith("0: " + server.sourceDescription() + "\n") && !devices.out.contains("\n2: ") &&
                devices.out.contains("\n1: Monitor of " + server.sinkDescription() + "\n")) << devices.out.toStdString();
    // A source without ports is its own one line, selected.
    EXPECT_TRUE(devices.out.contains("\n  0: " + server.sourceDescription() + " * (volume ")) << devices.out.toStdString();

    EXPECT_EQ(sonoriel({"devices"}, environmentFor(home, "", server.serverAddress())).out, devices.out);
}

TEST(CommandLine, RecordAndConvertOpenAndWriteFileNamesThatAreNoValidText)
{
    QTemporaryDir folder;
    const QString source = "\"$(printf '\\377\\376.wav')\"";
    ASSERT_EQ(runShell(folder.path(), "sox -n -r 44100 -c 2 -b 16 " + source + " synth 0.5 sine 440").exitCode, 0);

    const ToolResult convert = runShell(folder.path(), "\"$S\" convert " + source + " \"$(printf 'son\\375.mp3')\"");
    EXPECT_EQ(convert.exitCode, 0) << convert.err.toStdString();
    const ToolResult record = runShell(folder.path(), "SONORIEL_AUDIO=virtual SONORIEL_VIRTUAL_SPEED=0 \"$S\" record "
                                                      "\"$(printf 'rec\\373.wav')\" --seconds 0.5 | od -c");
    EXPECT_TRUE(record.exitCode == 0 && record.out.contains("r   e   c 373   .   w   a   v  \\n")) << record.err.toStdString() << record.out.toStdString();

    // Each file is under the very name asked for (renamed to names the tools take), and no other.
    const QByteArray base = QFile::encodeName(folder.path()) + '/';
    for (const auto &[name, plain] : {std::pair{"son\xfd.mp3", "son.mp3"}, {"\xff\xfe.wav", "source.wav"}, {"rec\xfb.wav", "rec.wav"}})
        EXPECT_EQ(std::rename((base + name).constData(), (base + plain).constData()), 0) << plain;
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    EXPECT_NEAR(ffprobeInfo(folder.filePath("son.mp3")).seconds, 0.5, 0.06);
    EXPECT_NEAR(soxInfo(folder.filePath("rec.wav")).seconds, 0.5, 0.25);
}
