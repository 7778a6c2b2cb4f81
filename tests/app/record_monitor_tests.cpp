// `sonoriel record --monitor`: while recording, what is recorded is heard on the sound server's
// default output (here the private server's null sink, listened to by parec on its monitor) at
// its pitch and level, also while the take waits for sound, and nothing is heard without it.
// When the output goes away, or there is no sound server, the take records on and the command
// says why nothing is heard.
#include "record_test_support.h"

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

// The 440 Hz tone as one channel of stereo sound holds it, from its rising zero crossings: the
// time from the first to the last, how much of that is tone (periods within 10 % of the tone's:
// a break in the sound makes one long period), the frequency over those periods, and the peak.
struct HeardTone {
    double spanSeconds = 0;
    double toneSeconds = 0;
    double hz = 0;
    int peak = 0;
};

HeardTone heardTone(const std::vector<std::int16_t> &stereo, std::size_t channel)
{
    HeardTone tone;
    std::vector<std::size_t> crossings;
    for (std::size_t f = 1; f < stereo.size() / 2; ++f) {
        tone.peak = std::max(tone.peak, std::abs(static_cast<int>(stereo[2 * f + channel])));
        if (stereo[2 * (f - 1) + channel] < 0 && stereo[2 * f + channel] >= 0)
            crossings.push_back(f);
    }
    std::size_t toneFrames = 0;
    std::size_t periods = 0;
    for (std::size_t i = 1; i < crossings.size(); ++i) {
        const std::size_t period = crossings[i] - crossings[i - 1];
        if (period >= 90 && period <= 111) {
            toneFrames += period;
            ++periods;
        }
    }
    if (periods == 0)
        return tone;
    tone.spanSeconds = static_cast<double>(crossings.back() - crossings.front()) / kRateHz;
    tone.toneSeconds = static_cast<double>(toneFrames) / kRateHz;
    tone.hz = static_cast<double>(periods) * kRateHz / static_cast<double>(toneFrames);
    return tone;
}

// Starts `sonoriel record` on the server with the arguments, its output in the home folder.
bool startRecord(ChildProcess &sonoriel, const QTemporaryDir &home, const PulseServer &server,
                 const QStringList &arguments)
{
    ChildProcess::Setup setup;
    setup.environment = environmentFor(home, "pulse", server.serverAddress()).toStringList();
    setup.outputFile = home.filePath("out.txt");
    setup.errorFile = home.filePath("err.txt");
    const bool started = sonoriel.start(SONORIEL_EXECUTABLE, QStringList{"record"} + arguments, setup);
    EXPECT_TRUE(started) << sonoriel.errorText().toStdString();
    return started;
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

    // The tone is heard in both channels for as long as it was recorded, at its pitch and level
    // (the output may fall silent for a moment when a block comes late on a busy machine).
    for (const std::size_t channel : {0u, 1u}) {
        SCOPED_TRACE(channel);
        const HeardTone tone = heardTone(heard, channel);
        EXPECT_NEAR(tone.spanSeconds, 2.0, 0.3) << "heard " << heard.size() / 2 << " frames";
        EXPECT_GT(tone.toneSeconds, 1.5);
        EXPECT_NEAR(tone.hz, 440.0, 1.0);
        EXPECT_NEAR(tone.peak, 8000, 80);
    }

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
        ASSERT_TRUE(startRecord(sonoriel, home, server, {home.filePath("waiting.wav"), "--trigger", "0", "--monitor"}));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        sonoriel.sendSignal(SIGINT);
        EXPECT_TRUE(sonoriel.waitForEnd(std::chrono::seconds(10)));
        exitCode = sonoriel.exitCode();
    });
    EXPECT_EQ(exitCode, 0) << readFileBytes(home.filePath("err.txt")).toStdString();
    EXPECT_EQ(soxInfo(home.filePath("waiting.wav")).seconds, 0.0);
    const HeardTone tone = heardTone(heard, 0);
    EXPECT_GT(tone.toneSeconds, 1.0);
    EXPECT_NEAR(tone.hz, 440.0, 1.0);
}

TEST(RecordMonitor, AnOutputThatGoesAwayEndsTheMonitoringButNotTheTake)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    ChildProcess sonoriel;
    {
        SourcePlayer player(server, makeTone(440, kRateHz, 2, kRateHz * 8, 8000), kRateHz, 2);
        ASSERT_TRUE(startRecord(sonoriel, home, server, {home.filePath("take.wav"), "--seconds", "3", "--monitor"}));
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
