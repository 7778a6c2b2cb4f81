// What `sonoriel record` makes of a take beyond one plain file, through the private sound
// server at the pace of the sound: a take started by sound keeps the pre-recorded sound before
// it and ends on the silence after it, to the frame; parts by length or at the RIFF limit, and
// an RF64 file, hold the take without a frame lost or repeated, as sox and ffprobe read them;
// a pause leaves the paused time out; a programmed start waits for its time; bad values are
// refused before anything is written.
#include "../support/child_process.h"
#include "../support/pulse_server.h"
#include "../support/signal_helpers.h"
#include "../support/source_player.h"
#include "../support/tools.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTime>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;

class RecordTake : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString(); }

    QStringList environment(const QString &maxWavBytes = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SONORIEL_HOME", home.path());
        environment.insert("SONORIEL_AUDIO", "pulse");
        environment.insert("PULSE_SERVER", server.serverAddress());
        if (!maxWavBytes.isEmpty())
            environment.insert("SONORIEL_MAX_WAV_BYTES", maxWavBytes);
        return environment.toStringList();
    }

    // Starts `sonoriel record` with arguments; the test waits for it with finish().
    void start(const QStringList &arguments, const QString &maxWavBytes = {})
    {
        recorder.emplace();
        ChildProcess::Setup setup;
        setup.environment = environment(maxWavBytes);
        setup.outputFile = home.filePath("out.txt");
        setup.errorFile = home.filePath("err.txt");
        ASSERT_TRUE(recorder->start(SONORIEL_EXECUTABLE, QStringList{"record"} + arguments, setup))
            << recorder->errorText().toStdString();
    }
    QString err() const { return QString::fromUtf8(readFileBytes(home.filePath("err.txt"))); }
    QStringList printedFiles() const
    {
        return QString::fromUtf8(readFileBytes(home.filePath("out.txt"))).split('\n', Qt::SkipEmptyParts);
    }
    void finish()
    {
        ASSERT_TRUE(recorder->waitForEnd(60s)) << err().toStdString();
        exitCode = recorder->exitCode();
    }
    // The pipe source reads only while a stream records from it: the signal starts once the
    // recording's file is there, and goes on through the test's later takes.
    void playCountingInto(const QString &path)
    {
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(path); }, 20s)) << err().toStdString();
        if (!player)
            player.emplace(server, makeCountingSignal(1, 60 * kRate), kRate, 2);
    }

    // The parts, decoded by sox and put end to end.
    std::vector<std::int16_t> decodedTogether(const QStringList &files) const
    {
        std::vector<std::int16_t> all;
        for (const QString &file : files) {
            const std::vector<std::int16_t> samples = decodeWithSox(file);
            EXPECT_FALSE(samples.empty()) << "sox cannot read " << file.toStdString();
            all.insert(all.end(), samples.begin(), samples.end());
        }
        return all;
    }

    PulseServer server;
    QTemporaryDir home;
    std::optional<ChildProcess> recorder;
    std::optional<SourcePlayer> player;
    int exitCode = -1;
};

std::size_t framesOf(const std::vector<std::int16_t> &stereo)
{
    return stereo.size() / 2;
}

} // namespace

TEST_F(RecordTake, ASoundActivatedTakeHoldsThePreRecordingBeforeTheBurstAndTheSilenceAfterIt)
{
    // 2 s of silence, half a second of a loud, everywhere different burst, 3 s of silence.
    const int pre = kRate / 2, burst = kRate / 2, silence = kRate;
    std::vector<std::int16_t> signal(static_cast<std::size_t>(2 * kRate) * 2, 0);
    for (int k = 0; k < burst; ++k) {
        signal.push_back(static_cast<std::int16_t>(16384 + (k & 0x3FFF))); // -6 dBFS and up
        signal.push_back(static_cast<std::int16_t>(-(k >> 4)));
    }
    signal.resize(signal.size() + static_cast<std::size_t>(3 * kRate) * 2, 0);

    const QString path = home.filePath("burst.wav");
    start({path, "--trigger", "-20", "--pre-record", "0.5", "--stop-after-silence", "1"});
    ASSERT_TRUE(waitUntil([&] { return err().contains("En attente du son"); }, 20s)) << err().toStdString();
    player.emplace(server, signal, kRate, 2);
    finish();

    EXPECT_EQ(exitCode, 0) << err().toStdString();
    EXPECT_TRUE(err().contains("Son détecté")) << err().toStdString();
    EXPECT_TRUE(err().contains("Enregistrement arrêté après 1 s de silence.")) << err().toStdString();
    const std::vector<std::int16_t> recorded = decodeWithSox(path);
    ASSERT_EQ(framesOf(recorded), static_cast<std::size_t>(pre + burst + silence));
    const auto expected = std::vector<std::int16_t>(signal.begin() + (2 * kRate - pre) * 2,
                                                    signal.begin() + (2 * kRate + burst + silence) * 2);
    EXPECT_TRUE(recorded == expected) << "the take is not the pre-recording, the burst and the silence after it";
}

TEST_F(RecordTake, PartsByLengthCutOnTheFrameAndJoinBackIntoTheWholeTake)
{
    const QString path = home.filePath("take.wav");
    start({path, "--split", "1", "--seconds", "3.5"});
    playCountingInto(home.filePath("take-001.wav"));
    finish();
    EXPECT_EQ(exitCode, 0) << err().toStdString();

    const QStringList parts{home.filePath("take-001.wav"), home.filePath("take-002.wav"), home.filePath("take-003.wav"),
                            home.filePath("take-004.wav")};
    EXPECT_EQ(printedFiles(), parts);
    EXPECT_FALSE(QFile::exists(path));
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(ffprobeInfo(parts[k]).seconds, 1.0) << parts[k].toStdString();
    const std::vector<std::int16_t> together = decodedTogether(parts);
    const CountingCheck counting = checkCounting(together, 1);
    EXPECT_TRUE(counting.breaks.empty()) << "a frame lost or repeated at a cut, frame " << counting.breaks.front();
    EXPECT_GE(framesOf(together), static_cast<std::size_t>(3.5 * kRate));

    // Our own join gives back the whole take.
    const QString joined = home.filePath("joined.wav");
    ASSERT_EQ(runTool(SONORIEL_EXECUTABLE, QStringList{"join", joined} + parts).exitCode, 0);
    EXPECT_TRUE(decodeWithSox(joined) == together);
}

TEST_F(RecordTake, AFileAtTheRiffLimitGoesOnInTheNextPartOrBecomesRf64)
{
    const QString limit = "300000";
    const QString path = home.filePath("long.wav");
    start({path, "--seconds", "4"}, limit);
    playCountingInto(path);
    finish();
    EXPECT_EQ(exitCode, 0) << err().toStdString();
    EXPECT_TRUE(err().contains("l'enregistrement continue dans « " + home.filePath("long-001.wav") + " »"))
        << err().toStdString();
    const QStringList files = printedFiles();
    ASSERT_GE(files.size(), 3) << err().toStdString();
    EXPECT_EQ(files[0], path);
    for (const QString &file : files) {
        EXPECT_LE(QFileInfo(file).size(), limit.toLongLong());
        EXPECT_GT(ffprobeInfo(file).seconds, 0) << file.toStdString();
    }
    const std::vector<std::int16_t> together = decodedTogether(files);
    EXPECT_TRUE(checkCounting(together, 1).breaks.empty());
    EXPECT_GE(framesOf(together), static_cast<std::size_t>(4 * kRate));

    // With --rf64 the take stays one file, which turns RF64 past the limit.
    const QString rf64 = home.filePath("rf64.wav");
    start({rf64, "--seconds", "4", "--rf64"}, limit);
    playCountingInto(rf64);
    finish();
    EXPECT_EQ(exitCode, 0) << err().toStdString();
    EXPECT_EQ(printedFiles(), QStringList{rf64});
    EXPECT_TRUE(readFileBytes(rf64).startsWith("RF64"));
    const std::vector<std::int16_t> samples = decodeWithSox(rf64);
    EXPECT_GE(framesOf(samples), static_cast<std::size_t>(4 * kRate));
    ASSERT_GE(samples.size(), 2u);
    const std::uint32_t firstCount = static_cast<std::uint16_t>(samples[0]) | static_cast<std::uint32_t>(static_cast<std::uint16_t>(samples[1])) << 16;
    EXPECT_TRUE(checkCounting(samples, firstCount).breaks.empty());
    EXPECT_NEAR(ffprobeInfo(rf64).seconds, static_cast<double>(framesOf(samples)) / kRate, 1e-5);
    EXPECT_EQ(QFileInfo(rf64).size(), 82 + static_cast<qint64>(samples.size()) * 2) << "the sizes say more or less than the sound";
}

TEST_F(RecordTake, APauseLeavesThePausedTimeOut)
{
    const QString path = home.filePath("paused.wav");
    start({path});
    playCountingInto(path);
    ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() > 46 + 10 * 10240; }, 20s));
    ASSERT_TRUE(recorder->sendSignal(SIGUSR1));
    ASSERT_TRUE(waitUntil([&] { return err().contains("Enregistrement en pause."); }, 5s));
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(recorder->sendSignal(SIGUSR1));
    ASSERT_TRUE(waitUntil([&] { return err().contains("Enregistrement repris."); }, 5s));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(recorder->sendSignal(SIGINT));
    finish();
    EXPECT_EQ(exitCode, 0) << err().toStdString();

    const CountingCheck counting = checkCounting(decodeWithSox(path), 1);
    ASSERT_EQ(counting.breaks.size(), 1u) << "the pause is not one clean cut";
    // The pause began and ended on whole blocks, within the polling of the signals.
    EXPECT_NEAR(static_cast<double>(counting.missingFrames) / kRate, 1.5, 0.25);
}

TEST_F(RecordTake, AProgrammedStartWaitsForItsTimeAndCanBeCancelled)
{
    const QString path = home.filePath("timed.wav");
    const QTime at = QTime::currentTime().addSecs(3);
    start({path, "--start-at", at.toString("HH:mm:ss"), "--seconds", "1"});
    ASSERT_TRUE(waitUntil([&] { return err().contains("Enregistrement programmé le"); }, 10s));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(path); }, 10s));
    int madeAt = QTime::currentTime().msecsSinceStartOfDay();
    const int due = QTime(at.hour(), at.minute(), at.second()).msecsSinceStartOfDay();
    if (madeAt < due - 12 * 3600 * 1000) // the day turned meanwhile
        madeAt += 24 * 3600 * 1000;
    EXPECT_GE(madeAt, due) << "the file was made before its time";
    EXPECT_LE(madeAt, due + 1000);
    playCountingInto(path);
    finish();
    EXPECT_EQ(exitCode, 0) << err().toStdString();
    EXPECT_GE(ffprobeInfo(path).seconds, 1.0);

    const QString cancelled = home.filePath("cancelled.wav");
    start({cancelled, "--start-at", QTime::currentTime().addSecs(3600).toString("HH:mm")});
    ASSERT_TRUE(waitUntil([&] { return err().contains("Enregistrement programmé le"); }, 10s));
    ASSERT_TRUE(recorder->sendSignal(SIGINT));
    finish();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(err().contains("annulé")) << err().toStdString();
    EXPECT_FALSE(QFile::exists(cancelled));
}

TEST(RecordTakeOptions, BadValuesAreRefusedBeforeAnythingIsWritten)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SONORIEL_HOME", home.path());
    environment.insert("SONORIEL_AUDIO", "virtual");
    const QString path = home.filePath("bad.wav");
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--trigger", "3"}, "Seuil de déclenchement invalide : 3 dBFS"},
        {{"--trigger", "nan"}, "Seuil de déclenchement invalide"},
        {{"--split", "-1"}, "Durée des parties invalide : -1 s."},
        {{"--split", "nan"}, "Durée des parties invalide"},
        {{"--split", "0.01"}, "Parties trop courtes : 0.01 s. Une partie dure au moins un bloc de capture (0.0580498866213152 s)."},
        {{"--trigger", "-30", "--stop-after-silence", "-2"}, "Durée de silence invalide : -2 s."},
        {{"--stop-after-silence", "2"}, "L'arrêt après un silence demande un seuil de déclenchement."},
        {{"--trigger", "-30", "--pre-record", "inf"}, "Durée de pré-enregistrement invalide"},
        {{"--trigger", "-30", "--pre-record", "2000"},
         "Pré-enregistrement trop long : 2000 s demandent 337 Mo de mémoire ; la limite est de 256 Mo, soit 1521 s à 44100 Hz stéréo."},
        {{"--start-at", "25:00"}, "Heure de début invalide : 25:00 (HH:MM ou HH:MM:SS)."},
        {{"--start-at", "midi"}, "Heure de début invalide : midi"},
    };
    for (const auto &[arguments, message] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolResult result = runTool(SONORIEL_EXECUTABLE, QStringList{"record", path} + arguments, environment);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.err.contains(message)) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains("usage: sonoriel record")) << result.err.toStdString();
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_FALSE(QDir(home.filePath("Wav")).exists()) << "the recordings folder was made";
    }
}
