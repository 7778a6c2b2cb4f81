// The windows' small player (open, play, pause, stop on MP3, WAV and MIDI files) over Qt
// Multimedia, and the start of the desktop's mixer program. The player reports no failure to
// the user: a file that cannot be opened or played simply stays silent. The mixer's start says
// why it did not start, for the window to tell.
#pragma once

#include "common/result.h"

#include <QObject>
#include <QString>
#include <QStringList>

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

// The mixer programs looked for on the PATH, in order of preference.
QStringList mixerPrograms();

// Starts the first mixer program found on the PATH (pavucontrol and the like), detached.
// Fails, having done nothing, with the French reason: which programs were looked for, or which
// one did not start and why.
Status startMixerProgram(MixerForm form);
