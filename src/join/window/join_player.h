// The join window's playback of the file whose graph is shown, over Qt Multimedia, and the
// start of the desktop's mixer program for its volume button. Neither reports a failure to
// the user: a file that cannot be opened or played simply stays silent, and without a mixer
// program the volume button does nothing.
#pragma once

#include <QObject>
#include <QString>

class QAudioOutput;
class QMediaPlayer;

class JoinPlayer : public QObject {
    Q_OBJECT
public:
    explicit JoinPlayer(QObject *parent = nullptr);

    // Closes what was open, opens fileName and plays it from its start.
    void playFile(const QString &fileName);
    // Pauses a file that is playing; anything else is left as it is.
    void pause();
    void stop();
    // Releases the file that was open.
    void close();

    QMediaPlayer *mediaPlayer() const { return m_player; }

private:
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
};

// Starts the first mixer program found on the PATH (pavucontrol and the like), detached, on
// its tab of the devices' volumes. False, doing nothing, when there is none or it cannot start.
bool startVolumeControl();
