#include "platform/media/audio_player.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

// Qt Multimedia's FFmpeg backend plays MP3, WAV and MIDI without depending on the set of
// GStreamer plugins a machine happens to have (a missing one makes the GStreamer backend
// fail inside its pipeline set-up). Chosen before the first media object exists, unless the
// user asked for a backend.
QObject *preferFfmpegBackend(QObject *parent)
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    return parent;
}

} // namespace

AudioPlayer::AudioPlayer(QObject *parent)
    : QObject(preferFfmpegBackend(parent)), m_player(new QMediaPlayer(this)), m_output(new QAudioOutput(this))
{
    m_player->setAudioOutput(m_output);
}

void AudioPlayer::open(const QString &fileName)
{
    m_player->stop();
    m_player->setSource(fileName.isEmpty() ? QUrl() : QUrl::fromLocalFile(fileName));
}

void AudioPlayer::play()
{
    // Without a sound output there is nothing to play on (and the backend must not be asked).
    if (m_player->source().isEmpty() || QMediaDevices::defaultAudioOutput().isNull())
        return;
    m_output->setDevice(QMediaDevices::defaultAudioOutput());
    m_player->play();
}

void AudioPlayer::pause()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
}

void AudioPlayer::stop()
{
    m_player->stop();
}

namespace {

struct Mixer {
    const char *program;
    const char *compactArgument; // the tab with the devices' volumes
};

constexpr Mixer kMixers[] = {
    {"pavucontrol", "--tab=3"},
    {"pavucontrol-qt", "--tab=3"},
    {"pwvucontrol", nullptr},
};

} // namespace

QStringList mixerPrograms()
{
    QStringList names;
    for (const Mixer &mixer : kMixers)
        names << QLatin1String(mixer.program);
    return names;
}

Status startMixerProgram(MixerForm form)
{
    for (const Mixer &mixer : kMixers) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(mixer.program));
        if (path.isEmpty())
            continue;
        QProcess process;
        process.setProgram(path);
        if (form == MixerForm::Compact && mixer.compactArgument)
            process.setArguments({QLatin1String(mixer.compactArgument)});
        if (process.startDetached())
            return {};
        return Failure{QStringLiteral("Le programme de réglage du volume « %1 » n'a pas pu démarrer : %2")
                           .arg(path, process.errorString())};
    }
    return Failure{QStringLiteral("Aucun programme de réglage du volume n'est installé (programmes cherchés : %1).")
                       .arg(mixerPrograms().join(QStringLiteral(", ")))};
}
