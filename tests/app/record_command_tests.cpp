// `sonoriel record` end to end: options reach the recording, bad values are refused before
// anything is written, and a take paused, killed, hung up on or whose file goes is sound.
#include "record_test_support.h"

#include "../support/child_process.h"
#include "../support/pulse_server.h"
#include "../support/signal_helpers.h"
#include "../support/source_player.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Starts `sonoriel record` on the virtual device's test signal, at real speed.
void startRecording(QProcess &process, const QTemporaryDir &home, const QStringList &arguments)
{
    process.setProcessEnvironment(virtualEnvironment(home, "1"));
    process.start(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"record"} + arguments);
    ASSERT_TRUE(process.waitForStarted(10000));
}

} // namespace

// Without a sound server, --monitor records the take and tells the user why nothing is heard.
TEST(RecordCommand, TheEffectsAndMonitorOptionsReachTheRecording)
{
    QTemporaryDir home;
    const QString input = home.filePath("tone.wav");
    ASSERT_TRUE(writePcmWav(input, 44100, 2, makeTone(440, 44100, 2, 44100 * 4, 8000)));
    const auto environment = virtualEnvironment(home, "0", input);
    const ToolResult plain = record({home.filePath("plain.wav"), "--seconds", "1", "--monitor"}, environment);
    const ToolResult loud = record({home.filePath("loud.wav"), "--seconds", "1", "--effects", "amplifier", "--amplify", "6"}, environment);
    ASSERT_TRUE(plain.exitCode == 0 && loud.exitCode == 0) << plain.err.toStdString() << loud.err.toStdString();
    const auto peak = [&](const char *name) {
        const std::vector<std::int16_t> samples = decodeWithSox(home.filePath(name));
        return std::abs(*std::ranges::max_element(samples, {}, [](int s) { return std::abs(s); }));
    };
    EXPECT_TRUE(plain.err.startsWith("Écoute impossible : L'entrée virtuelle n'a pas de sortie son : aucun serveur de "
                                     "son n'est utilisé.\n")) << plain.err.toStdString();
    EXPECT_NEAR(peak("plain.wav"), 8000, 2);
    EXPECT_NEAR(peak("loud.wav"), 8000 * 1.9953, 4); // +6 dB doubles the amplitude
}

TEST(RecordCommand, NumberedRecordingsGoToTheRecordingsFolder)
{
    QTemporaryDir home;
    const auto environment = virtualEnvironment(home);
    const ToolResult first = record({"--numbered", "--seconds", "0.5", "--mono", "--rate", "22050"}, environment);
    EXPECT_TRUE(first.exitCode == 0 && first.out == home.filePath("Wav/Enreg_01.wav") + "\n") << first.err.toStdString();
    EXPECT_EQ(record({"--numbered", "--seconds", "0.5"}, environment).out, home.filePath("Wav/Enreg_02.wav") + "\n");
    const MediaInfo info = soxInfo(home.filePath("Wav/Enreg_01.wav"));
    EXPECT_TRUE(info.rateHz == 22050 && info.channels == 1); // without --format, the capture as it is
    EXPECT_EQ(record({"--seconds", "0.2"}, environment).out, home.filePath("Wav/Enregistrement.wav") + "\n");
}

TEST(RecordCommand, BadInputGetsTheFrenchMessageAndStartsNothing)
{
    QTemporaryDir home;
    const auto environment = environmentFor(home, "virtual");
    const QString bad = home.filePath("bad.wav");
    // Values no effect could take without running away, unknown effects, lengths that are no number.
    const std::pair<QStringList, QString> usageCases[] = {
        {{"--seconds", "abc"}, ""}, {{"--seconds", "nan"}, ""}, {{"--echo", "100,-2"}, ""}, {{"--eq", "1,2,3"}, ""},
        {{"--phaser", "1,1,1.5,1,4,100"}, ""}, {{"--eq", "0,0,0,inf,0,0,0"}, ""}, {{"--effects", "reverb"}, ""},
        {{"--trigger", "3"}, "Seuil de déclenchement invalide : 3 dBFS"}, {{"--trigger", "nan"}, "Seuil de déclenchement invalide"},
        {{"--split", "nan"}, "Durée des parties invalide"}, {{"--split", "-1"}, "Durée des parties invalide : -1 s."},
        {{"--split", "0.01"}, "Parties trop courtes : 0.01 s. Une partie dure au moins un bloc de capture (0.0580498866213152 s)."},
        {{"--trigger", "-30", "--stop-after-silence", "-2"}, "Durée de silence invalide : -2 s."},
        {{"--stop-after-silence", "2"}, "L'arrêt après un silence demande un seuil de déclenchement."},
        {{"--trigger", "-30", "--pre-record", "inf"}, "Durée de pré-enregistrement invalide"},
        {{"--trigger", "-30", "--pre-record", "2000"},
         "Pré-enregistrement trop long : 2000 s demandent 337 Mo de mémoire ; la limite est de 256 Mo, soit 1521 s à 44100 Hz stéréo."},
        {{"--start-at", "25:00"}, "Heure de début invalide : 25:00 (HH:MM ou HH:MM:SS)."}, {{"--start-at", "midi"}, "Heure de début invalide : midi"},
    };
    for (const auto &[arguments, message] : usageCases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolResult result = record(QStringList{bad} + arguments, environment);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.err.contains(message) && result.err.contains("usage: sonoriel record")) << result.err.toStdString();
        EXPECT_FALSE(QFile::exists(bad) || QDir(home.filePath("Wav")).exists()) << "a file or the recordings folder was made";
    }
    const QString missing = home.filePath("missing/take.wav"), path = home.filePath("a.wav");
    const std::pair<QStringList, QString> cases[] = {
        {{missing}, "Ne peut pas initialiser l'encodeur ! « " + missing + " » : Aucun fichier ou dossier de ce type.\n"},
        {{path, "--device", "7"}, "Ne peut pas sélectionner le dispositif ! Aucun périphérique de capture n° 7 : la liste en "
                                  "compte 1 (voir « sonoriel devices »).\n"},
        {{path, "--line", "3"}, "Ne peut pas sélectionner la ligne ! Aucune ligne n° 3 : le périphérique en compte 3 (voir « "
                                "sonoriel devices »).\n"},
        {{path, "--rate", ""}, "Fréquence d'échantillonnage invalide !\n"},
    };
    for (const auto &[arguments, message] : cases) {
        const ToolResult run = record(arguments + QStringList{"--seconds", "1"}, environment);
        EXPECT_TRUE(run.exitCode == 1 && run.err == message) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(record({"--format", "9999"}, environment).exitCode, 2);
    const ToolResult noServer = record({"--seconds", "1"}, environmentFor(home, "pulse", "unix:/nonexistent/native"));
    EXPECT_TRUE(noServer.exitCode == 1 && noServer.err.count('\n') == 1) << noServer.err.toStdString();
}

TEST(RecordCommand, RecordsInTheFormatChosenFromTheFormatList)
{
    QTemporaryDir home;
    const auto environment = virtualEnvironment(home);
    const ToolResult formats = sonoriel({"formats", "--rate", "22050", "--mono"}, environment);
    const QString index = QRegularExpression("^ *(\\d+): IMA ADPCM - ", QRegularExpression::MultilineOption).match(formats.out).captured(1);
    ASSERT_FALSE(index.isEmpty()) << formats.out.toStdString() << formats.err.toStdString();

    const ToolResult run = record({home.filePath("ima.wav"), "--rate", "22050", "--mono", "--format", index, "--seconds", "1"}, environment);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(runShell("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 " + home.filePath("ima.wav")).out,
              "adpcm_ima_wav,22050,1\n");
    // Stops at the first capture block (232 ms here) past one second; the codec pads its last block.
    const double seconds = ffprobeInfo(home.filePath("ima.wav")).seconds;
    EXPECT_TRUE(seconds >= 1.0 && seconds <= 1.0 + 0.233 + 1017 / 22050.0) << seconds;
}

TEST(RecordTakeSignals, TheSpaceBarAndSigUsr1PauseAndResumeTheTakeAndThePausedTimeIsLeftOut)
{
    QTemporaryDir home;
    const QString input = home.filePath("count.wav"), path = home.filePath("paused.wav");
    ASSERT_TRUE(writePcmWav(input, 44100, 2, makeCountingSignal(1, 30 * 44100)));
    ChildProcess recorder;
    ChildProcess::Setup setup;
    setup.environment = virtualEnvironment(home, "1", input).toStringList();
    setup.errorFile = home.filePath("err.txt");
    setup.terminal = true;
    ASSERT_TRUE(recorder.start(SONORIEL_EXECUTABLE, {"record", path}, setup)) << recorder.errorText().toStdString();
    const auto said = [&](const char *text) {
        return waitUntil([&] { return readFileBytes(setup.errorFile).contains(text); }, 5s);
    };
    ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() > 46 + 10 * 10240; }, 20s));
    ASSERT_TRUE(recorder.type(" ")); // on the recorder's own terminal
    ASSERT_TRUE(said("Enregistrement en pause."));
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(recorder.sendSignal(SIGUSR1));
    ASSERT_TRUE(said("Enregistrement repris."));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(recorder.sendSignal(SIGINT));
    ASSERT_TRUE(recorder.waitForEnd(60s));
    EXPECT_EQ(recorder.exitCode(), 0) << readFileBytes(setup.errorFile).toStdString();

    const CountingCheck counting = checkCounting(decodeWithSox(path), 1);
    ASSERT_EQ(counting.breaks.size(), 1u) << "the pause is not one clean cut";
    // The pause began and ended on whole blocks, within the polling of the signals.
    EXPECT_NEAR(static_cast<double>(counting.missingFrames) / 44100, 1.5, 0.25);
}

TEST(RecordMonitor, AnOutputThatGoesAwayEndsTheMonitoringButNotTheTake)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    ChildProcess sonoriel;
    ChildProcess::Setup setup;
    setup.environment = environmentFor(home, "pulse", server.serverAddress()).toStringList();
    setup.errorFile = home.filePath("err.txt");
    SourcePlayer player(server, makeTone(440, 44100, 2, 44100 * 8, 8000), 44100, 2);
    ASSERT_TRUE(sonoriel.start(SONORIEL_EXECUTABLE, {"record", home.filePath("take.wav"), "--seconds", "3", "--monitor"}, setup));
    std::this_thread::sleep_for(1s);
    // The only output goes: the server has nowhere to move the monitoring stream.
    server.pactl({"unload-module", "module-null-sink"});
    EXPECT_TRUE(sonoriel.waitForEnd(15s));
    const QString err = QString::fromUtf8(readFileBytes(setup.errorFile));
    EXPECT_TRUE(sonoriel.exitCode() == 0 && err.contains("Écoute impossible : La sortie son ne répond plus.\n")) << err.toStdString();
    EXPECT_NEAR(soxInfo(home.filePath("take.wav")).seconds, 3.0, 0.06);
    EXPECT_NEAR(measureFrequency(decodeWithSox(home.filePath("take.wav")), 2, 44100), 440.0, 1.0);
}

TEST(RecordContinuity, ARecordingOnASlowDiskHoldsEveryFrameFromItsStart)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    QProcessEnvironment slow = environmentFor(home, "pulse", server.serverAddress());
    slow.insert("LD_PRELOAD", SONORIEL_SLOW_HEADER_LIBRARY);
    slow.insert("SONORIEL_TEST_SLOW_HEADER_MS", "400");
    slow.insert("ASAN_OPTIONS", slow.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    const QString path = home.filePath("take.wav");
    SourcePlayer player(server, makeCountingSignal(1, 60 * 44100), 44100, 2);
    EXPECT_EQ(record({path, "--seconds", "4"}, slow).exitCode, 0);
    const CountingCheck counting = checkCounting(decodeWithSox(path), 1);
    EXPECT_TRUE(counting.breaks.empty()) << counting.breaks.size() << " breaks in the count";
    EXPECT_GE(counting.leadingFrames + counting.countedFrames, 4u * 44100);
    EXPECT_LE(counting.leadingFrames, 10240u / 4) << "the recording began with silence";
}

TEST(RecordContinuity, SoundTheServerDroppedStopsTheRecordingBeforeTheGapAndIsSaid)
{
    // At 96 kHz stereo the server holds about eleven seconds for a client that does not read.
    const int rate = 96000;
    PulseServer server({.sourceRateHz = rate});
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    const QString path = home.filePath("overrun.wav");
    SourcePlayer player(server, makeCountingSignal(1, 60 * rate), rate, 2);
    ChildProcess recorder;
    ChildProcess::Setup setup;
    setup.environment = environmentFor(home, "pulse", server.serverAddress()).toStringList();
    setup.errorFile = home.filePath("err.txt");
    ASSERT_TRUE(recorder.start(SONORIEL_EXECUTABLE, {"record", path, "--rate", QString::number(rate), "--seconds", "40"}, setup));
    ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() > 46 + 3 * 10240; }, 10s));
    ASSERT_TRUE(recorder.sendSignal(SIGSTOP));
    std::this_thread::sleep_for(15s);
    ASSERT_TRUE(recorder.sendSignal(SIGCONT));
    ASSERT_TRUE(recorder.waitForEnd(60s));
    const QString err = QString::fromUtf8(readFileBytes(setup.errorFile));
    EXPECT_EQ(recorder.exitCode(), 1);
    EXPECT_TRUE(err.contains("Enregistrement arrêté : le serveur de son a perdu du son")) << err.toStdString();
    const CountingCheck counting = checkCounting(decodeWithSox(path), 1);
    EXPECT_TRUE(counting.breaks.empty()) << counting.breaks.size() << " breaks in the count";
    EXPECT_GE(counting.countedFrames, static_cast<std::size_t>(8 * rate)) << "less than the server held was kept";
    EXPECT_LE(counting.countedFrames, static_cast<std::size_t>(20 * rate));
}

TEST(RecordCommandSignals, AKilledTakeHoldsEverySecondUpToItsLastUpdateAndAHungUpOneHasItsHeaderComplete)
{
    for (const int signal : {SIGKILL, SIGHUP}) {
        SCOPED_TRACE(signal);
        QTemporaryDir home;
        const QString path = home.filePath("take.wav");
        QProcess process;
        ASSERT_NO_FATAL_FAILURE(startRecording(process, home, {path}));
        ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() >= 46 && le32At(readFileBytes(path), 42) >= 2 * 176400u; }, 30s));
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), signal), 0);
        ASSERT_TRUE(process.waitForFinished(10000));
        const QByteArray file = readFileBytes(path);
        const std::uint32_t described = le32At(file, 42), onDisk = static_cast<std::uint32_t>(file.size() - 46);
        if (signal == SIGHUP) {
            EXPECT_TRUE(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0);
            EXPECT_TRUE(le32At(file, 4) == onDisk + 38 && described == onDisk) << "the header is not complete";
            continue;
        }
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        EXPECT_TRUE(described <= onDisk && onDisk - described < 176400u + 10240u) << "more than a second and a block left out";
        EXPECT_NEAR(soxInfo(path).seconds, described / 176400.0, 1e-5);
        EXPECT_NEAR(measureFrequency(decodeWithSox(path), 2, 44100), 440, 2);
    }
}

TEST(RecordCommandOutput, AFileOrFolderRemovedWhileRecordingStopsTheRecordingAndSaysSo)
{
    for (const bool wholeFolder : {false, true}) {
        SCOPED_TRACE(wholeFolder ? "folder removed" : "file removed");
        QTemporaryDir home;
        QDir().mkpath(home.filePath("takes"));
        const QString path = home.filePath("takes/gone.wav");
        QProcess process;
        ASSERT_NO_FATAL_FAILURE(startRecording(process, home, {path, "--seconds", "30"}));
        ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() > 46 + 176400u; }));
        ASSERT_TRUE(wholeFolder ? QDir(home.filePath("takes")).removeRecursively() : QFile::remove(path));
        ASSERT_TRUE(process.waitForFinished(10000)) << "the recording went on into a file that is gone";
        EXPECT_EQ(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_TRUE(err.contains("Enregistrement arrêté : le fichier Wav a été supprimé pendant l'enregistrement."));
        // The last live line still gives the second recorded, not the stopped session's zero.
        EXPECT_FALSE(err.section('\r', -1).contains("Durée : 0:00")) << err.toStdString();
    }
}
