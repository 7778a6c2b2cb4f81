// What the private server's null sink plays, heard on its monitor (parec, s16le, 44100 Hz
// stereo) for as long as the monitor lives.
#pragma once

#include "private_sound_server.h"

#include <QByteArray>
#include <QProcess>

class SinkMonitor {
public:
    explicit SinkMonitor(const PrivateSoundServer &server);
    ~SinkMonitor();
    SinkMonitor(const SinkMonitor &) = delete;
    SinkMonitor &operator=(const SinkMonitor &) = delete;

    bool isListening() const { return m_process.state() == QProcess::Running; }
    // The loudest absolute sample heard so far.
    int peak();

private:
    QProcess m_process;
    QByteArray m_heard;
};
