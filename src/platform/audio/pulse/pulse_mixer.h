// The mixer of one sound-server source. It names the source and keeps the shared connection,
// through which the source's ports (the lines) and its volume are reached.
#pragma once

#include "platform/audio/audio_backend.h"
#include "platform/audio/pulse/pulse_connection.h"

#include <QString>

#include <memory>

class PulseMixer : public AudioMixer {
public:
    PulseMixer(std::shared_ptr<PulseConnection> connection, QString sourceName);

    const QString &sourceName() const { return m_sourceName; }
    PulseConnection &connection() const { return *m_connection; }

private:
    std::shared_ptr<PulseConnection> m_connection;
    QString m_sourceName;
};
