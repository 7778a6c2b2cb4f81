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

    std::optional<std::vector<MixerLine>> lines() override;
    bool selectLine(int index) override;
    std::optional<int> selectedLine() override;
    std::optional<std::uint32_t> volume() override;
    bool setVolume(std::uint32_t volume) override;

private:
    struct SourceState;
    std::optional<SourceState> readSource();

    std::shared_ptr<PulseConnection> m_connection;
    QString m_sourceName;
};
