// Playback from the join window on the private sound server: "Play" plays the file whose
// graph is shown and it is heard on the null sink's monitor; "Pause" and "Stop" end it.
#include "join_window_support.h"

#include "../support/pulse_server.h"
#include "../support/tools.h"

#include "platform/media/audio_player.h"

#include <QMediaPlayer>
#include <QProcess>

#include <cstdlib>

namespace {

// Qt Multimedia binds to the sound server once per process, at its first use: the server of
// this program is up before any window exists.
class SoundServer : public ::testing::Environment {
public:
    void SetUp() override
    {
        server = std::make_unique<PulseServer>();
        ASSERT_TRUE(server->isRunning()) << server->errorText().toStdString();
    }
    void TearDown() override { server.reset(); }
    static inline std::unique_ptr<PulseServer> server;
};

[[maybe_unused]] ::testing::Environment *const kSoundServer = ::testing::AddGlobalTestEnvironment(new SoundServer);

int peakOf(const QByteArray &bytes)
{
    int peak = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto sample = static_cast<std::int16_t>(std::uint8_t(bytes[i]) | (std::uint8_t(bytes[i + 1]) << 8));
        peak = std::max(peak, std::abs(int(sample)));
    }
    return peak;
}

using JoinWindowPlayer = JoinWindowTest;

} // namespace

TEST_F(JoinWindowPlayer, PlayPlaysTheGraphedFileOnTheSoundServerUntilStop)
{
    ASSERT_TRUE(SoundServer::server && SoundServer::server->isRunning());
    ASSERT_TRUE(haveTool(QStringLiteral("sox")));
    const QString tone = wavFolder() + QStringLiteral("/tone.wav");
    ASSERT_EQ(runTool(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "6", "sine",
                                              "440", "vol", "0.5"})
                  .exitCode,
              0);
    addFile(tone);
    ASSERT_EQ(graphFileName(), tone);

    QProcess monitor;
    monitor.start(QStringLiteral("parec"), {"-d", SoundServer::server->sinkName() + ".monitor", "--raw",
                                            "--format=s16le", "--rate=44100", "--channels=2"});
    ASSERT_TRUE(monitor.waitForStarted());
    QByteArray heard;
    QObject::connect(&monitor, &QProcess::readyReadStandardOutput, [&] { heard += monitor.readAllStandardOutput(); });

    QMediaPlayer *player = window().findChild<AudioPlayer *>(QStringLiteral("MMControl1"))->mediaPlayer();
    click("cmdPlay");
    const bool loud = waitUntil([&] { return peakOf(heard) > 8000; }, std::chrono::seconds(20));
    EXPECT_TRUE(loud) << "peak heard " << peakOf(heard) << ", player error " << player->errorString().toStdString();

    click("Command3");
    EXPECT_EQ(player->playbackState(), QMediaPlayer::PausedState);
    click("Command1");
    EXPECT_EQ(player->playbackState(), QMediaPlayer::StoppedState);
    monitor.kill();
    monitor.waitForFinished();
}

TEST_F(JoinWindowPlayer, PlayOpensTheGraphedFileByItsOwnNameEvenWithABackslashInIt)
{
    const WaveLayout mono{1, 8000, 16};
    const QString path = writeFile(QStringLiteral("a\\b.wav"), waveBytes(mono, constantFrames(mono, 800, 1000)));
    addFile(path);
    click("cmdPlay");
    QMediaPlayer *player = window().findChild<AudioPlayer *>(QStringLiteral("MMControl1"))->mediaPlayer();
    EXPECT_EQ(player->source().toLocalFile(), path);
    EXPECT_EQ(graphFileName(), path);
    click("Command1");
}
