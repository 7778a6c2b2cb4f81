// The mixer of one sound-server source.
#include "platform/audio/pulse/pulse_mixer.h"

PulseMixer::PulseMixer(std::shared_ptr<PulseConnection> connection, QString sourceName)
    : m_connection(std::move(connection)), m_sourceName(std::move(sourceName))
{
}
