// What `sonoriel record` makes of a take beyond one plain file, on the virtual device reading a
// known signal as fast as the take uses it: a take started by sound keeps the pre-recording
// before it and ends on the silence after it, to the frame; parts by length or at the RIFF
// limit, and an RF64 file, hold the take without a frame lost or repeated, as sox and ffprobe
// read them; a part that cannot be made ends the take with the sound before it kept and said;
// a programmed start waits for its time.
#include "record_test_support.h"

#include "../support/child_process.h"
#include "../support/signal_helpers.h"

#include <QDir>
#include <QFileInfo>
#include <QTime>

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;

std::size_t framesOf(const std::vector<std::int16_t> &stereo)
{
    return stereo.size() / 2;
}

// The count the first frame of a recording of the counting signal holds.
std::uint32_t firstCountOf(const std::vector<std::int16_t> &stereo)
{
    return stereo.size() < 2 ? 0
                             : static_cast<std::uint16_t>(stereo[0]) |
                                   static_cast<std::uint32_t>(static_cast<std::uint16_t>(stereo[1])) << 16;
}

class RecordTake : public ::testing::Test {
protected:
    // `sonoriel record` on the virtual device, which reads signal (stereo) at the given speed.
    QProcessEnvironment environment(const std::vector<std::int16_t> &signal, const QString &speed = "0",
                                    const QString &maxWavBytes = {})
    {
        const QString input = home.filePath("input.wav");
        EXPECT_TRUE(writePcmWav(input, kRate, 2, signal));
        QProcessEnvironment environment = environmentFor(home, "virtual");
        environment.insert("SONORIEL_VIRTUAL_SPEED", speed);
        environment.insert("SONORIEL_VIRTUAL_INPUT", input);
        if (!maxWavBytes.isEmpty())
            environment.insert("SONORIEL_MAX_WAV_BYTES", maxWavBytes);
        return environment;
    }
    QString path(const QString &name) const { return home.filePath(name); }
    static QStringList printedFiles(const ToolResult &run) { return run.out.split('\n', Qt::SkipEmptyParts); }

    // The parts, decoded by sox and put end to end.
    static std::vector<std::int16_t> decodedTogether(const QStringList &files)
    {
        std::vector<std::int16_t> all;
        for (const QString &file : files) {
            const std::vector<std::int16_t> samples = decodeWithSox(file);
            EXPECT_FALSE(samples.empty()) << "sox cannot read " << file.toStdString();
            all.insert(all.end(), samples.begin(), samples.end());
        }
        return all;
    }

    QTemporaryDir home;
    const std::vector<std::int16_t> counting = makeCountingSignal(1, 20 * kRate);
};

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

    const ToolResult run = record({path("burst.wav"), "--trigger", "-20", "--pre-record", "0.5",
                                   "--stop-after-silence", "1"},
                                  environment(signal));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("En attente du son") && run.err.contains("Son détecté")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Enregistrement arrêté après 1 s de silence.")) << run.err.toStdString();
    const std::vector<std::int16_t> recorded = decodeWithSox(path("burst.wav"));
    ASSERT_EQ(framesOf(recorded), static_cast<std::size_t>(pre + burst + silence));
    const auto expected = std::vector<std::int16_t>(signal.begin() + (2 * kRate - pre) * 2,
                                                    signal.begin() + (2 * kRate + burst + silence) * 2);
    EXPECT_TRUE(recorded == expected) << "the take is not the pre-recording, the burst and the silence after it";
}

TEST_F(RecordTake, PartsByLengthCutOnTheFrameAndJoinBackIntoTheWholeTake)
{
    const ToolResult run = record({path("take.wav"), "--split", "1", "--seconds", "3.5"}, environment(counting));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList parts{path("take-001.wav"), path("take-002.wav"), path("take-003.wav"), path("take-004.wav")};
    EXPECT_EQ(printedFiles(run), parts);
    EXPECT_FALSE(QFile::exists(path("take.wav")));
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(ffprobeInfo(parts[k]).seconds, 1.0) << parts[k].toStdString();
    const std::vector<std::int16_t> together = decodedTogether(parts);
    EXPECT_TRUE(checkCounting(together, firstCountOf(together)).breaks.empty()) << "a frame lost or repeated at a cut";
    EXPECT_GE(framesOf(together), static_cast<std::size_t>(3.5 * kRate));

    // Our own join gives back the whole take.
    ASSERT_EQ(runTool(SONORIEL_EXECUTABLE, QStringList{"join", path("joined.wav")} + parts).exitCode, 0);
    EXPECT_TRUE(decodeWithSox(path("joined.wav")) == together);
}

TEST_F(RecordTake, APartThatCannotBeMadeEndsTheTakeWithTheSoundBeforeItKeptAndSaid)
{
    // A folder holds the second part's name.
    ASSERT_TRUE(QDir(home.path()).mkdir("cut-002.wav"));
    const ToolResult run = record({path("cut.wav"), "--split", "1", "--seconds", "3"}, environment(counting));
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Ne peut pas créer la partie suivante de l'enregistrement !")) << run.err.toStdString();
    EXPECT_EQ(printedFiles(run), QStringList{path("cut-001.wav")});
    EXPECT_EQ(framesOf(decodeWithSox(path("cut-001.wav"))), static_cast<std::size_t>(kRate));
    // The last live line gives the length recorded, not the stopped session's zero.
    const QString lastLine = run.err.section('\r', -1);
    EXPECT_TRUE(lastLine.contains("Durée : 0:01")) << lastLine.toStdString();
}

TEST_F(RecordTake, AFileAtTheRiffLimitGoesOnInTheNextPartOrBecomesRf64)
{
    const QString limit = "300000";
    const ToolResult run = record({path("long.wav"), "--seconds", "4"}, environment(counting, "0", limit));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("l'enregistrement continue dans « " + path("long-001.wav") + " »"))
        << run.err.toStdString();
    const QStringList files = printedFiles(run);
    ASSERT_GE(files.size(), 3) << run.err.toStdString();
    EXPECT_EQ(files[0], path("long.wav"));
    for (const QString &file : files)
        EXPECT_LE(QFileInfo(file).size(), limit.toLongLong());
    const std::vector<std::int16_t> together = decodedTogether(files);
    EXPECT_TRUE(checkCounting(together, firstCountOf(together)).breaks.empty());
    EXPECT_GE(framesOf(together), static_cast<std::size_t>(4 * kRate));

    // With --rf64 the take stays one file, which turns RF64 past the limit.
    const QString rf64 = path("rf64.wav");
    const ToolResult one = record({rf64, "--seconds", "4", "--rf64"}, environment(counting, "0", limit));
    EXPECT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_EQ(printedFiles(one), QStringList{rf64});
    EXPECT_TRUE(readFileBytes(rf64).startsWith("RF64"));
    const std::vector<std::int16_t> samples = decodeWithSox(rf64);
    EXPECT_GE(framesOf(samples), static_cast<std::size_t>(4 * kRate));
    EXPECT_TRUE(checkCounting(samples, firstCountOf(samples)).breaks.empty());
    EXPECT_NEAR(ffprobeInfo(rf64).seconds, static_cast<double>(framesOf(samples)) / kRate, 1e-5);
    EXPECT_EQ(QFileInfo(rf64).size(), 82 + static_cast<qint64>(samples.size()) * 2) << "the sizes say more or less than the sound";
}

TEST_F(RecordTake, AProgrammedStartWaitsForItsTimeAndCanBeCancelled)
{
    const QString timed = path("timed.wav");
    const QTime at = QTime::currentTime().addSecs(3);
    ChildProcess recorder;
    ChildProcess::Setup setup;
    setup.environment = environment(counting, "1").toStringList();
    setup.errorFile = path("err.txt");
    const auto err = [&] { return QString::fromUtf8(readFileBytes(setup.errorFile)); };
    ASSERT_TRUE(recorder.start(SONORIEL_EXECUTABLE, {"record", timed, "--start-at", at.toString("HH:mm:ss"), "--seconds", "1"},
                               setup));
    ASSERT_TRUE(waitUntil([&] { return err().contains("Enregistrement programmé le"); }, 10s));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(timed); }, 10s));
    int madeAt = QTime::currentTime().msecsSinceStartOfDay();
    const int due = QTime(at.hour(), at.minute(), at.second()).msecsSinceStartOfDay();
    if (madeAt < due - 12 * 3600 * 1000) // the day turned meanwhile
        madeAt += 24 * 3600 * 1000;
    EXPECT_GE(madeAt, due) << "the file was made before its time";
    EXPECT_LE(madeAt, due + 1000);
    ASSERT_TRUE(recorder.waitForEnd(30s));
    EXPECT_EQ(recorder.exitCode(), 0) << err().toStdString();
    EXPECT_GE(ffprobeInfo(timed).seconds, 1.0);

    const QString cancelled = path("cancelled.wav");
    ASSERT_TRUE(recorder.start(SONORIEL_EXECUTABLE,
                               {"record", cancelled, "--start-at", QTime::currentTime().addSecs(3600).toString("HH:mm")},
                               setup));
    ASSERT_TRUE(waitUntil([&] { return err().contains("Enregistrement programmé le"); }, 10s));
    ASSERT_TRUE(recorder.sendSignal(SIGINT));
    ASSERT_TRUE(recorder.waitForEnd(30s));
    EXPECT_EQ(recorder.exitCode(), 0);
    EXPECT_TRUE(err().contains("annulé")) << err().toStdString();
    EXPECT_FALSE(QFile::exists(cancelled));
}
