// Playback from the join window on the private sound server: "Play" plays the file whose
// graph is shown and it is heard on the null sink's monitor; "Pause" and "Stop" end it.
#include "join_window_support.h"

#include "../support/pulse_server.h"
#include "../support/sink_monitor.h"
#include "../support/tools.h"

#include "platform/media/audio_player.h"

#include <QMediaPlayer>

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

    SinkMonitor monitor(*SoundServer::server);
    ASSERT_TRUE(monitor.isListening());

    QMediaPlayer *player = window().findChild<AudioPlayer *>(QStringLiteral("MMControl1"))->mediaPlayer();
    click("cmdPlay");
    const bool loud = waitUntil([&] { return monitor.peak() > 8000; }, std::chrono::seconds(20));
    EXPECT_TRUE(loud) << "peak heard " << monitor.peak() << ", player error " << player->errorString().toStdString();

    click("Command3");
    EXPECT_EQ(player->playbackState(), QMediaPlayer::PausedState);
    click("Command1");
    EXPECT_EQ(player->playbackState(), QMediaPlayer::StoppedState);
}

TEST_F(JoinWindowPlayer, PlayOpensTheGraphedFileByItsOwnNameEvenWithABackslashInIt)
{
    const WaveLayout mono{1, 8000, 16};
    const QString path = writeFile(QStringLiteral("a\\b.wav"), waveFile(mono, constantFrames(mono, 800, 1000)));
    addFile(path);
    click("cmdPlay");
    QMediaPlayer *player = window().findChild<AudioPlayer *>(QStringLiteral("MMControl1"))->mediaPlayer();
    EXPECT_EQ(player->source().toLocalFile(), path);
    EXPECT_EQ(graphFileName(), path);
    click("Command1");
}
