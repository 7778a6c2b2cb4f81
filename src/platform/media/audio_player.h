// The windows' small player (open, play, pause, stop on MP3, WAV and MIDI files) over Qt
// Multimedia, and the start of the desktop's mixer program. Neither reports a failure to the
// user: a file that cannot be opened or played simply stays silent, and without a mixer
// program the volume buttons do nothing.
#pragma once

#include <QObject>
#include <QString>

class QAudioOutput;
class QMediaPlayer;

class AudioPlayer : public QObject {
    Q_OBJECT
public:
    explicit AudioPlayer(QObject *parent = nullptr);

    // Stops what was playing and opens fileName; an empty name closes what was open.
    void open(const QString &fileName);
    void play();
    // Pauses a file that is playing; anything else is left as it is.
    void pause();
    void stop();

    QMediaPlayer *mediaPlayer() const { return m_player; }

private:
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
};

enum class MixerForm {
    Compact, // on its tab of the devices' volumes
    Full,    // as it opens
};

// Starts the first mixer program found on the PATH (pavucontrol and the like), detached.
// Returns false, doing nothing, when there is none or it cannot start.
bool startMixerProgram(MixerForm form);
