// The mixer of one sound-server source. Its lines are the source's ports, the active port being
// the selected line; a source without ports is its own one line. The volume is the source's
// volume, 65535 standing for the server's normal (100 %) level.
#pragma once

#include "platform/audio/audio_backend.h"
#include "platform/audio/pulse/pulse_connection.h"

#include <QString>

#include <memory>

struct pa_source_info;

class PulseMixer : public AudioMixer {
public:
    PulseMixer(std::shared_ptr<PulseConnection> connection, QString sourceName);

    const QString &sourceName() const { return m_sourceName; }
    PulseConnection &connection() const { return *m_connection; }

    Result<std::vector<MixerLine>> lines() override;
    Status selectLine(int index) override;
    Result<int> selectedLine() override;
    Result<std::uint32_t> volume() override;
    Status setVolume(std::uint32_t volume) override;

private:
    struct SourceState;
    Result<SourceState> readSource();
    QString goneText() const;

    std::shared_ptr<PulseConnection> m_connection;
    QString m_sourceName;
};
