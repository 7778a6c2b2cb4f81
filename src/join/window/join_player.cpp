#include "join/window/join_player.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

// Qt Multimedia's FFmpeg backend plays WAV files without depending on the GStreamer plugins
// a machine happens to have. Chosen before the first media object exists, unless the user
// asked for a backend.
QObject *preferFfmpegBackend(QObject *parent)
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    return parent;
}

} // namespace

JoinPlayer::JoinPlayer(QObject *parent)
    : QObject(preferFfmpegBackend(parent)), m_player(new QMediaPlayer(this)), m_output(new QAudioOutput(this))
{
    m_player->setAudioOutput(m_output);
}

void JoinPlayer::playFile(const QString &fileName)
{
    close();
    if (fileName.isEmpty())
        return;
    m_player->setSource(QUrl::fromLocalFile(fileName));
    // Without a sound output there is nothing to play on (and the backend must not be asked).
    if (QMediaDevices::defaultAudioOutput().isNull())
        return;
    m_output->setDevice(QMediaDevices::defaultAudioOutput());
    m_player->play();
}

void JoinPlayer::pause()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
}

void JoinPlayer::stop()
{
    m_player->stop();
}

void JoinPlayer::close()
{
    m_player->stop();
    m_player->setSource(QUrl());
}

bool startVolumeControl()
{
    struct Mixer {
        const char *program;
        const char *devicesTab; // the tab with the devices' volumes
    };
    static const Mixer kMixers[] = {
        {"pavucontrol", "--tab=3"},
        {"pavucontrol-qt", "--tab=3"},
        {"pwvucontrol", nullptr},
    };
    for (const Mixer &mixer : kMixers) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(mixer.program));
        if (path.isEmpty())
            continue;
        QStringList arguments;
        if (mixer.devicesTab)
            arguments << QLatin1String(mixer.devicesTab);
        return QProcess::startDetached(path, arguments);
    }
    return false;
}
