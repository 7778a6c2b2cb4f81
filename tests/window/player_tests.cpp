// The main window's player: a WAV file played is heard on the private server's null sink monitor.
#include "../support/pulse_server.h"
#include "../support/sink_monitor.h"

#include "platform/media/audio_player.h"

#include <QMediaPlayer>

#include "window_test_support.h"

TEST(Player, AWavFileOpenedAndPlayedIsHeardOnTheSoundServer)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir folder;
    const QString tone = folder.filePath(QStringLiteral("tone.wav"));
    ASSERT_EQ(runTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "4", "sine", "440", "vol", "0.5"}).exitCode, 0);
    SinkMonitor monitor(server);
    ASSERT_TRUE(monitor.isListening());

    AudioPlayer player;
    player.open(tone);
    player.play();
    const bool loud = waitUntil([&] { return monitor.peak() > 8000; }, std::chrono::seconds(20));
    player.stop();
    EXPECT_TRUE(loud) << "peak heard " << monitor.peak() << ", player error "
                      << player.mediaPlayer()->errorString().toStdString();
}
