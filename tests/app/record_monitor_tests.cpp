// `sonoriel record --monitor`: while recording, what is recorded is heard on the sound server's
// default output (here the private server's null sink, listened to by parec on its monitor) at
// its pitch and level, also while the take waits for sound, and nothing is heard without it.
// Without a sound server the recording goes on and says why nothing can be heard.
#include "../support/child_process.h"
#include "../support/pulse_server.h"
#include "../support/signal_helpers.h"
#include "../support/source_player.h"
#include "../support/tools.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

constexpr int kRateHz = 44100;

QProcessEnvironment environmentFor(const QTemporaryDir &home, const QString &audio, const QString &server = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SONORIEL_HOME", home.path());
    environment.insert("SONORIEL_AUDIO", audio);
    if (!server.isEmpty())
        environment.insert("PULSE_SERVER", server);
    return environment;
}

ToolResult record(const QStringList &arguments, const QProcessEnvironment &environment)
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"record"} + arguments, environment);
}

// What the server's default output played while recordNow() ran and a 440 Hz tone (peak 8000)
// was fed to the source, as parec heard it on the null sink's monitor (s16le, 44100 Hz stereo).
std::vector<std::int16_t> heardWhileRecording(PulseServer &server, const QString &rawPath,
                                              const std::function<void()> &recordNow)
{
    ChildProcess parec;
    ChildProcess::Setup setup;
    setup.outputFile = rawPath;
    const bool listening = parec.start("parec", {"--server", server.serverAddress(), "-d", server.sinkName() + ".monitor",
                                                 "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                                 "--latency-msec=20"},
                                       setup);
    EXPECT_TRUE(listening) << parec.errorText().toStdString();
    // An idle null sink runs with a delay of two seconds: parec's low delay takes over once the
    // sink's next period begins, and its sound comes at once from then on.
    const auto streaming = [&] { return QFileInfo(rawPath).size() > 0; };
    EXPECT_TRUE(waitUntil(streaming, std::chrono::seconds(5))) << "parec heard nothing";
    const qint64 before = QFileInfo(rawPath).size() / 4 * 4; // whole frames
    {
        // Started only now: the pipe source stops reading while nobody records from it.
        SourcePlayer player(server, makeTone(440, kRateHz, 2, kRateHz * 8, 8000), kRateHz, 2);
        recordNow();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the output's last delay
    EXPECT_FALSE(parec.hasEnded()) << "parec stopped listening";
    parec.stop(std::chrono::seconds(2));
    const QByteArray bytes = readFileBytes(rawPath).mid(before);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(le16At(bytes, static_cast<int>(2 * i)));
    return samples;
}

// Where stereo sound was heard: from the first sounding frame to the last, how much of that
// sounded, and the longest stretch without a break (a millisecond or more of near silence).
struct Stretches {
    double spanSeconds = 0;
    double soundingSeconds = 0;
    std::vector<std::int16_t> longest;
};

Stretches soundingStretches(const std::vector<std::int16_t> &stereo)
{
    constexpr std::size_t kBreakFrames = kRateHz / 1000;
    const std::size_t frames = stereo.size() / 2;
    const auto quiet = [&](std::size_t f) { return std::abs(static_cast<int>(stereo[2 * f])) < 200; };
    Stretches result;
    std::size_t first = frames;
    std::size_t last = 0;
    std::size_t sounding = 0;
    std::size_t f = 0;
    while (f < frames) {
        // A stretch runs until kBreakFrames quiet frames in a row.
        std::size_t end = f;
        std::size_t quietRun = 0;
        while (end < frames && quietRun < kBreakFrames) {
            quietRun = quiet(end) ? quietRun + 1 : 0;
            ++end;
        }
        const std::size_t stretchEnd = end - quietRun;
        if (stretchEnd > f + kBreakFrames) {
            first = std::min(first, f);
            last = stretchEnd;
            sounding += stretchEnd - f;
            if (2 * (stretchEnd - f) > result.longest.size())
                result.longest.assign(stereo.begin() + static_cast<std::ptrdiff_t>(2 * f),
                                      stereo.begin() + static_cast<std::ptrdiff_t>(2 * stretchEnd));
        }
        f = end;
        while (f < frames && quiet(f))
            ++f;
    }
    if (first < last)
        result.spanSeconds = static_cast<double>(last - first) / kRateHz;
    result.soundingSeconds = static_cast<double>(sounding) / kRateHz;
    return result;
}

int peakOf(std::span<const std::int16_t> samples)
{
    int peak = 0;
    for (std::int16_t s : samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

} // namespace

TEST(RecordMonitor, TheRecordedToneIsHeardOnTheDefaultOutputOnlyWhenAsked)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    ASSERT_TRUE(haveTool("parec"));
    QTemporaryDir home;
    const auto environment = environmentFor(home, "pulse", server.serverAddress());

    ToolResult monitored;
    const std::vector<std::int16_t> heard = heardWhileRecording(server, home.filePath("heard.raw"), [&] {
        monitored = record({home.filePath("monitored.wav"), "--seconds", "2", "--monitor"}, environment);
    });
    ASSERT_EQ(monitored.exitCode, 0) << monitored.err.toStdString();
    EXPECT_FALSE(monitored.err.contains("Écoute impossible")) << monitored.err.toStdString();
    EXPECT_NEAR(soxInfo(home.filePath("monitored.wav")).seconds, 2.0, 0.06);

    // The tone is heard for as long as it was recorded, at its pitch and level (the output may
    // fall silent for a moment when a block comes late, which is why the stretches are apart).
    const Stretches stretches = soundingStretches(heard);
    ASSERT_FALSE(stretches.longest.empty()) << "nothing was heard in " << heard.size() / 2 << " frames";
    EXPECT_NEAR(stretches.spanSeconds, 2.0, 0.15);
    EXPECT_GT(stretches.soundingSeconds, 1.8);
    EXPECT_GT(stretches.longest.size() / 2, static_cast<std::size_t>(kRateHz / 4));
    EXPECT_NEAR(measureFrequency(stretches.longest, 2, kRateHz), 440.0, 1.0);
    EXPECT_NEAR(peakOf(stretches.longest), 8000, 80);
    // The right channel too: stereo reaches the output as recorded.
    EXPECT_NEAR(measureFrequency(std::vector<std::int16_t>(stretches.longest.begin() + 1, stretches.longest.end()), 2,
                                 kRateHz),
                440.0, 1.0);

    ToolResult plain;
    const std::vector<std::int16_t> silence = heardWhileRecording(server, home.filePath("silence.raw"), [&] {
        plain = record({home.filePath("plain.wav"), "--seconds", "1"}, environment);
    });
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_GT(silence.size(), static_cast<std::size_t>(kRateHz)); // parec heard at least half a second
    EXPECT_EQ(peakOf(silence), 0);
    EXPECT_NEAR(peakOf(decodeWithSox(home.filePath("plain.wav"))), 8000, 2); // yet the tone was recorded
}

TEST(RecordMonitor, WhileTheTakeWaitsForSoundWhatWouldBeRecordedIsHeard)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    ASSERT_TRUE(haveTool("parec"));
    QTemporaryDir home;
    int exitCode = -1;
    // The tone (-12 dBFS) never reaches a 0 dBFS threshold: nothing is recorded until Ctrl+C.
    const std::vector<std::int16_t> heard = heardWhileRecording(server, home.filePath("heard.raw"), [&] {
        ChildProcess sonoriel;
        ChildProcess::Setup setup;
        setup.environment = environmentFor(home, "pulse", server.serverAddress()).toStringList();
        setup.outputFile = home.filePath("out.txt");
        setup.errorFile = home.filePath("err.txt");
        ASSERT_TRUE(sonoriel.start(SONORIEL_EXECUTABLE, {"record", home.filePath("waiting.wav"), "--trigger", "0", "--monitor"},
                                   setup))
            << sonoriel.errorText().toStdString();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        sonoriel.sendSignal(SIGINT);
        EXPECT_TRUE(sonoriel.waitForEnd(std::chrono::seconds(10)));
        exitCode = sonoriel.exitCode();
    });
    EXPECT_EQ(exitCode, 0) << readFileBytes(home.filePath("err.txt")).toStdString();
    EXPECT_EQ(soxInfo(home.filePath("waiting.wav")).seconds, 0.0);
    const Stretches stretches = soundingStretches(heard);
    EXPECT_GT(stretches.soundingSeconds, 1.0);
    EXPECT_NEAR(measureFrequency(stretches.longest, 2, kRateHz), 440.0, 1.0);
}

TEST(RecordMonitor, AnOutputThatGoesAwayEndsTheMonitoringButNotTheTake)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    ChildProcess sonoriel;
    ChildProcess::Setup setup;
    setup.environment = environmentFor(home, "pulse", server.serverAddress()).toStringList();
    setup.outputFile = home.filePath("out.txt");
    setup.errorFile = home.filePath("err.txt");
    {
        SourcePlayer player(server, makeTone(440, kRateHz, 2, kRateHz * 8, 8000), kRateHz, 2);
        ASSERT_TRUE(sonoriel.start(SONORIEL_EXECUTABLE,
                                   {"record", home.filePath("take.wav"), "--seconds", "3", "--monitor"}, setup))
            << sonoriel.errorText().toStdString();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        // The only output goes: the server has nowhere to move the monitoring stream.
        server.pactl({"unload-module", "module-null-sink"});
        EXPECT_TRUE(sonoriel.waitForEnd(std::chrono::seconds(15)));
    }
    const QString err = QString::fromUtf8(readFileBytes(home.filePath("err.txt")));
    EXPECT_EQ(sonoriel.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("Écoute impossible : La sortie son ne répond plus.\n")) << err.toStdString();
    EXPECT_NEAR(soxInfo(home.filePath("take.wav")).seconds, 3.0, 0.06);
    const std::vector<std::int16_t> recorded = decodeWithSox(home.filePath("take.wav"));
    EXPECT_NEAR(measureFrequency(recorded, 2, kRateHz), 440.0, 1.0);
    EXPECT_NEAR(peakOf(recorded), 8000, 2);
}

TEST(RecordMonitor, WithoutASoundServerTheTakeIsRecordedAndTheUserToldWhyNothingIsHeard)
{
    QTemporaryDir home;
    auto environment = environmentFor(home, "virtual");
    environment.insert("SONORIEL_VIRTUAL_SPEED", "0");
    const ToolResult result = record({home.filePath("take.wav"), "--seconds", "0.5", "--monitor"}, environment);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, home.filePath("take.wav") + "\n");
    EXPECT_TRUE(result.err.startsWith("Écoute impossible : L'entrée virtuelle n'a pas de sortie son : aucun serveur de "
                                      "son n'est utilisé.\n"))
        << result.err.toStdString();
    EXPECT_NEAR(soxInfo(home.filePath("take.wav")).seconds, 0.5, 0.06);
    EXPECT_NEAR(measureFrequency(decodeWithSox(home.filePath("take.wav")), 2, kRateHz), 440.0, 2.0);
}
