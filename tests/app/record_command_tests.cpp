// `sonoriel record` end to end: what the sound server's source plays is in the file at the
// right pitch and length, the effects options reach the recording, and bad input is refused.
#include "record_test_support.h"

#include "../support/child_process.h"
#include "../support/pulse_server.h"
#include "../support/signal_helpers.h"
#include "../support/source_player.h"
#include "../support/tools.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

TEST(RecordCommand, RecordsTheServerSourceAtItsPitchAndForTheAskedTime)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    const auto environment = environmentFor(home, "pulse", server.serverAddress());

    ToolResult plain;
    ToolResult amplified;
    {
        SourcePlayer player(server, makeTone(440, 44100, 2, 44100 * 12, 8000), 44100, 2);
        plain = record({home.filePath("plain.wav"), "--seconds", "2"}, environment);
        amplified = record({home.filePath("loud.wav"), "--seconds", "2", "--effects", "amplifier", "--amplify", "6"},
                           environment);
    }
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, home.filePath("plain.wav") + "\n");
    EXPECT_TRUE(plain.err.contains("Durée : 0:02")) << plain.err.toStdString();
    ASSERT_EQ(amplified.exitCode, 0) << amplified.err.toStdString();

    for (const QString &name : {QString("plain.wav"), QString("loud.wav")}) {
        SCOPED_TRACE(name.toStdString());
        const MediaInfo info = soxInfo(home.filePath(name));
        EXPECT_EQ(info.rateHz, 44100);
        EXPECT_EQ(info.channels, 2);
        EXPECT_NEAR(info.seconds, 2.0, 0.06); // stops at the first block past two seconds
    }
    const auto plainSamples = decodeWithSox(home.filePath("plain.wav"));
    const auto loudSamples = decodeWithSox(home.filePath("loud.wav"));
    EXPECT_NEAR(measureFrequency(plainSamples, 2, 44100), 440.0, 1.0);
    EXPECT_NEAR(peakOf(plainSamples), 8000, 2);
    EXPECT_NEAR(peakOf(loudSamples), 8000 * 1.9953, 4); // +6 dB doubles the amplitude
}

TEST(RecordCommand, NumberedRecordingsGoToTheRecordingsFolder)
{
    QTemporaryDir home;
    auto environment = environmentFor(home, "virtual");
    environment.insert("SONORIEL_VIRTUAL_SPEED", "0");
    const ToolResult first = record({"--numbered", "--seconds", "0.5", "--mono", "--rate", "22050"}, environment);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, home.filePath("Wav/Enreg_01.wav") + "\n");
    const ToolResult second = record({"--numbered", "--seconds", "0.5"}, environment);
    EXPECT_EQ(second.out, home.filePath("Wav/Enreg_02.wav") + "\n");
    const MediaInfo info = soxInfo(home.filePath("Wav/Enreg_01.wav"));
    EXPECT_EQ(info.rateHz, 22050); // without --format the file holds the capture as it is
    EXPECT_EQ(info.channels, 1);
    EXPECT_NEAR(info.seconds, 0.5, 0.25);

    const ToolResult plain = record({"--seconds", "0.2"}, environment);
    EXPECT_EQ(plain.out, home.filePath("Wav/Enregistrement.wav") + "\n");
}

TEST(RecordCommand, BadInputGetsTheFrenchMessageAndStartsNothing)
{
    QTemporaryDir home;
    const auto environment = environmentFor(home, "virtual");
    const ToolResult noFolder = record({home.filePath("missing/take.wav"), "--seconds", "1"}, environment);
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_EQ(noFolder.err, "Ne peut pas initialiser l'encodeur ! « " + home.filePath("missing/take.wav") +
                                " » : Aucun fichier ou dossier de ce type.\n");

    const ToolResult noDevice = record({home.filePath("a.wav"), "--device", "7", "--seconds", "1"}, environment);
    EXPECT_EQ(noDevice.exitCode, 1);
    EXPECT_EQ(noDevice.err, "Ne peut pas sélectionner le dispositif ! Aucun périphérique de capture n° 7 : la liste en "
                            "compte 1 (voir « sonoriel devices »).\n");
    const ToolResult noLine = record({home.filePath("a.wav"), "--line", "3", "--seconds", "1"}, environment);
    EXPECT_EQ(noLine.exitCode, 1);
    EXPECT_EQ(noLine.err, "Ne peut pas sélectionner la ligne ! Aucune ligne n° 3 : le périphérique en compte 3 (voir « "
                          "sonoriel devices »).\n");
    EXPECT_FALSE(QFile::exists(home.filePath("a.wav")));

    const ToolResult emptyRate = record({home.filePath("b.wav"), "--rate", "", "--seconds", "1"}, environment);
    EXPECT_EQ(emptyRate.exitCode, 1);
    EXPECT_EQ(emptyRate.err, "Fréquence d'échantillonnage invalide !\n");

    EXPECT_EQ(record({"--seconds", "abc"}, environment).exitCode, 2);
    // Values no effect could take without running away, and lengths that are no number.
    for (const QStringList &bad : {QStringList{"--seconds", "nan"}, QStringList{"--echo", "100,-2"},
                                   QStringList{"--phaser", "1,1,1.5,1,4,100"}, QStringList{"--eq", "0,0,0,inf,0,0,0"}})
        EXPECT_EQ(record(bad, environment).exitCode, 2) << bad.join(' ').toStdString();
    EXPECT_EQ(record({"--effects", "reverb"}, environment).exitCode, 2);
    EXPECT_EQ(record({"--eq", "1,2,3"}, environment).exitCode, 2);
    const ToolResult noServer = record({"--seconds", "1"}, environmentFor(home, "pulse", "unix:/nonexistent/native"));
    EXPECT_EQ(noServer.exitCode, 1);
    EXPECT_EQ(noServer.err.count('\n'), 1);
}

TEST(RecordCommand, RecordsInTheFormatChosenFromTheFormatList)
{
    QTemporaryDir home;
    auto environment = environmentFor(home, "virtual");
    environment.insert("SONORIEL_VIRTUAL_SPEED", "0");
    const ToolResult formats = runTool(QStringLiteral(SONORIEL_EXECUTABLE), {"formats", "--rate", "22050", "--mono"}, environment);
    ASSERT_EQ(formats.exitCode, 0) << formats.err.toStdString();
    const QStringList lines = formats.out.split('\n', Qt::SkipEmptyParts);
    const auto ima = std::find_if(lines.begin(), lines.end(), [](const QString &l) { return l.contains(": IMA ADPCM - "); });
    ASSERT_NE(ima, lines.end());
    const QString index = ima->section(':', 0, 0);

    const ToolResult run = record({home.filePath("ima.wav"), "--rate", "22050", "--mono", "--format", index,
                                   "--seconds", "1"}, environment);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const ToolResult probe = runTool("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name,sample_rate,channels",
                                                 "-of", "csv=p=0", home.filePath("ima.wav")});
    EXPECT_EQ(probe.out.trimmed(), "adpcm_ima_wav,22050,1");
    // Recording stops at the first whole capture block (232 ms here) past one second; the codec
    // pads its last block of 1017 samples.
    const double seconds = ffprobeInfo(home.filePath("ima.wav")).seconds;
    EXPECT_GE(seconds, 1.0);
    EXPECT_LE(seconds, 1.0 + 0.233 + 1017 / 22050.0);

    EXPECT_EQ(record({home.filePath("x.wav"), "--format", "9999", "--seconds", "1"}, environment).exitCode, 2);
}

TEST(RecordCommand, OneRecordingPerFileAndOneNamePerRecording)
{
    QTemporaryDir home;
    const auto environment = environmentFor(home, "virtual").toStringList();
    const auto start = [&](ChildProcess &process, const QStringList &arguments, const QString &name) {
        ChildProcess::Setup setup;
        setup.environment = environment;
        setup.outputFile = home.filePath(name + ".out");
        setup.errorFile = home.filePath(name + ".err");
        ASSERT_TRUE(process.start(SONORIEL_EXECUTABLE, QStringList{"record"} + arguments, setup));
    };

    // A second recording into the file being recorded is refused; the first one goes on.
    const QString take = home.filePath("take.wav");
    ChildProcess first;
    start(first, {take, "--seconds", "1.5"}, "first");
    ASSERT_TRUE(waitUntil([&] { return readFileBytes(take).size() > 46; }));
    const ToolResult second = record({take, "--seconds", "1"}, environmentFor(home, "virtual"));
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err, "Ne peut pas initialiser l'encodeur ! « " + take + " » est déjà en cours d'enregistrement.\n");
    ASSERT_TRUE(first.waitForEnd(std::chrono::seconds(30)));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_NEAR(soxInfo(take).seconds, 1.5, 0.07);

    // Numbered recordings started together never share a name.
    for (int round = 0; round < 3; ++round) {
        ChildProcess a, b;
        start(a, {"--numbered", "--seconds", "0.3"}, "a");
        start(b, {"--numbered", "--seconds", "0.3"}, "b");
        ASSERT_TRUE(a.waitForEnd(std::chrono::seconds(30)) && b.waitForEnd(std::chrono::seconds(30)));
        EXPECT_EQ(a.exitCode(), 0);
        EXPECT_EQ(b.exitCode(), 0);
        const QString pathA = QString::fromUtf8(readFileBytes(home.filePath("a.out"))).trimmed();
        const QString pathB = QString::fromUtf8(readFileBytes(home.filePath("b.out"))).trimmed();
        EXPECT_NE(pathA, pathB);
        for (const QString &path : {pathA, pathB})
            EXPECT_NEAR(soxInfo(path).seconds, 0.3, 0.07) << path.toStdString();
    }
}
