// Nothing the sound server delivers is lost on its way into the file: a counting signal played
// into the private server's pipe source at the pace of the sound comes out of `sonoriel record`
// with no frame missing or repeated, from the first frame on, also on a slow disk; when the
// server itself had to drop sound, the recording stops before the gap and says so.
#include "../support/child_process.h"
#include "../support/pulse_server.h"
#include "../support/signal_helpers.h"
#include "../support/source_player.h"
#include "../support/tools.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

class RecordContinuity : public ::testing::Test {
protected:
    explicit RecordContinuity(int rate = 44100) : rateHz(rate), server({.sourceRateHz = rate}) {}

    void SetUp() override { ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString(); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SONORIEL_HOME", home.path());
        environment.insert("SONORIEL_AUDIO", "pulse");
        environment.insert("PULSE_SERVER", server.serverAddress());
        return environment;
    }

    // Records `seconds` into name while the counting signal plays; `disturb` runs once the
    // recording has begun, with the recorder's process.
    void record(const QString &name, double seconds, const QProcessEnvironment &environment,
                const std::function<void(ChildProcess &)> &disturb = {})
    {
        path = home.filePath(name);
        // One count for every take of the test: what a take leaves unread in the source's FIFO
        // is where the next take's count goes on.
        if (!player)
            player.emplace(server, makeCountingSignal(1, 120 * rateHz), rateHz, 2);
        ChildProcess recorder;
        ChildProcess::Setup setup;
        setup.environment = environment.toStringList();
        setup.outputFile = home.filePath("out.txt");
        setup.errorFile = home.filePath("err.txt");
        ASSERT_TRUE(recorder.start(SONORIEL_EXECUTABLE,
                                   {"record", path, "--rate", QString::number(rateHz), "--seconds",
                                    QString::number(seconds)},
                                   setup))
            << recorder.errorText().toStdString();
        if (disturb) {
            ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() > 46 + 3 * 10240; }, 10s));
            disturb(recorder);
        }
        ASSERT_TRUE(recorder.waitForEnd(60s));
        exitCode = recorder.exitCode();
        err = QString::fromUtf8(readFileBytes(setup.errorFile));
        counting = checkCounting(decodeWithSox(path), 1);
    }

    void expectEveryFrameOnce(double seconds)
    {
        EXPECT_EQ(exitCode, 0) << err.toStdString();
        EXPECT_TRUE(counting.breaks.empty())
            << counting.breaks.size() << " breaks in the count, the first at frame " << counting.breaks.front()
            << ", " << counting.missingFrames << " frames missing";
        EXPECT_GE(counting.leadingFrames + counting.countedFrames, static_cast<std::size_t>(seconds * rateHz));
        EXPECT_LE(counting.leadingFrames, 10240u / 4) << "the recording began with silence";
    }

    const int rateHz;
    PulseServer server;
    QTemporaryDir home;
    std::optional<SourcePlayer> player; // plays from the first take to the end of the test
    QString path;
    int exitCode = -1;
    QString err;
    CountingCheck counting;
};

} // namespace

TEST_F(RecordContinuity, UndisturbedRecordingsHoldEveryFrameFromTheirStart)
{
    for (int take = 1; take <= 3; ++take) {
        SCOPED_TRACE(take);
        record(QStringLiteral("take%1.wav").arg(take), 2, environment());
        expectEveryFrameOnce(2);
    }
}

TEST_F(RecordContinuity, ASlowDiskLosesNothing)
{
    QProcessEnvironment slow = environment();
    slow.insert("LD_PRELOAD", SONORIEL_SLOW_HEADER_LIBRARY);
    slow.insert("SONORIEL_TEST_SLOW_HEADER_MS", "400");
    // Under AddressSanitizer the preloaded library comes before the sanitizer's runtime.
    slow.insert("ASAN_OPTIONS", slow.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    for (int take = 1; take <= 2; ++take) {
        SCOPED_TRACE(take);
        record(QStringLiteral("slow%1.wav").arg(take), 4, slow);
        expectEveryFrameOnce(4);
    }
}

namespace {

// At 96 kHz stereo the server holds about eleven seconds for a client that does not read.
class RecordOverrun : public RecordContinuity {
protected:
    RecordOverrun() : RecordContinuity(96000) {}
};

} // namespace

TEST_F(RecordOverrun, SoundTheServerDroppedStopsTheRecordingBeforeTheGapAndIsSaid)
{
    record("overrun.wav", 40, environment(), [](ChildProcess &recorder) {
        ASSERT_TRUE(recorder.sendSignal(SIGSTOP));
        std::this_thread::sleep_for(15s);
        ASSERT_TRUE(recorder.sendSignal(SIGCONT));
    });
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(err.contains("Enregistrement arrêté : le serveur de son a perdu du son")) << err.toStdString();
    EXPECT_TRUE(counting.breaks.empty())
        << counting.breaks.size() << " breaks in the count, the first at frame " << counting.breaks.front();
    EXPECT_GE(counting.countedFrames, static_cast<std::size_t>(8 * rateHz)) << "less than the server held was kept";
    EXPECT_LE(counting.countedFrames, static_cast<std::size_t>(20 * rateHz));
}
