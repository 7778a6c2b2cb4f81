// The main window's player on the private sound server: a WAV file opened and played is
// heard on the null sink's monitor; pause and stop silence it.
#include "../support/pulse_server.h"
#include "../support/tools.h"

#include "platform/media/audio_player.h"

#include <QMediaPlayer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The largest absolute s16le sample in the bytes.
int peakOf(const QByteArray &bytes)
{
    int peak = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto sample = static_cast<std::int16_t>(std::uint8_t(bytes[i]) | (std::uint8_t(bytes[i + 1]) << 8));
        peak = std::max(peak, std::abs(int(sample)));
    }
    return peak;
}

} // namespace

TEST(Player, AWavFileOpenedAndPlayedIsHeardOnTheSoundServer)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString tone = folder.filePath(QStringLiteral("tone.wav"));
    ASSERT_EQ(runTool(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "4",
                                              "sine", "440", "vol", "0.5"})
                  .exitCode,
              0);

    QProcess monitor;
    monitor.start(QStringLiteral("parec"), {"-d", server.sinkName() + ".monitor", "--raw", "--format=s16le",
                                            "--rate=44100", "--channels=2"});
    ASSERT_TRUE(monitor.waitForStarted());
    QByteArray heard;
    QObject::connect(&monitor, &QProcess::readyReadStandardOutput,
                     [&] { heard += monitor.readAllStandardOutput(); });

    AudioPlayer player;
    player.open(tone);
    player.play();
    const bool loud = waitUntil([&] { return peakOf(heard) > 8000; }, std::chrono::seconds(20));
    player.stop();
    monitor.kill();
    monitor.waitForFinished();
    EXPECT_TRUE(loud) << "peak heard " << peakOf(heard) << ", player error "
                      << player.mediaPlayer()->errorString().toStdString();
}

TEST(Player, PlayWithoutAnOpenFileDoesNothing)
{
    AudioPlayer player;
    player.open(QString());
    player.play();
    EXPECT_NE(player.mediaPlayer()->playbackState(), QMediaPlayer::PlayingState);
}
