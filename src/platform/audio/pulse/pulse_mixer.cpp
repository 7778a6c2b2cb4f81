// The mixer of one sound-server source: its ports as lines, its volume as the line volume.
#include "platform/audio/pulse/pulse_mixer.h"

#include <pulse/introspect.h>
#include <pulse/volume.h>

#include <QByteArray>

#include <cmath>

namespace {

constexpr std::uint32_t kFullVolume = 65535;

std::int32_t lineTypeOf(const pa_source_port_info &port)
{
    switch (port.type) {
    case PA_DEVICE_PORT_TYPE_MIC:
    case PA_DEVICE_PORT_TYPE_HEADSET:
    case PA_DEVICE_PORT_TYPE_HANDSET:
        return kLineTypeMicrophone;
    case PA_DEVICE_PORT_TYPE_LINE:
        return kLineTypeLine;
    case PA_DEVICE_PORT_TYPE_SPDIF:
    case PA_DEVICE_PORT_TYPE_HDMI:
    case PA_DEVICE_PORT_TYPE_USB:
        return kLineTypeDigital;
    case PA_DEVICE_PORT_TYPE_ANALOG:
        return kLineTypeAnalog;
    default:
        return kLineTypeUndefined;
    }
}

// What the server answered to a change, and the main loop whose owner waits for it.
struct ChangeReply {
    pa_threaded_mainloop *mainloop;
    bool accepted = false;
};

void changeAnswered(pa_context *, int success, void *userdata)
{
    auto *reply = static_cast<ChangeReply *>(userdata);
    reply->accepted = success != 0;
    PulseConnection::wake(reply->mainloop);
}

} // namespace

struct PulseMixer::SourceState {
    QString description;
    std::vector<QByteArray> portNames;
    std::vector<MixerLine> lines;
    int activePort = 0;
    pa_cvolume volume{};
    bool failed = false;
    bool found = false;
};

PulseMixer::PulseMixer(std::shared_ptr<PulseConnection> connection, QString sourceName)
    : m_connection(std::move(connection)), m_sourceName(std::move(sourceName))
{
}

QString PulseMixer::goneText() const
{
    return QStringLiteral("La source « %1 » n'est plus sur le serveur de son.").arg(m_sourceName);
}

Result<PulseMixer::SourceState> PulseMixer::readSource()
{
    PulseLock lock(m_connection->mainloop());
    if (!m_connection->isReady())
        return Failure{pulseServerUnreachableText()};
    SourceState state;
    const auto arrived = [](pa_context *, const pa_source_info *info, int eol, void *userdata) {
        auto *s = static_cast<SourceState *>(userdata);
        if (eol < 0) {
            s->failed = true;
            return;
        }
        if (eol > 0 || !info)
            return;
        s->found = true;
        s->description = QString::fromUtf8(info->description ? info->description : info->name);
        s->volume = info->volume;
        for (std::uint32_t i = 0; i < info->n_ports; ++i) {
            const pa_source_port_info *port = info->ports[i];
            s->portNames.emplace_back(port->name);
            s->lines.push_back({QString::fromUtf8(port->description ? port->description : port->name), lineTypeOf(*port)});
            if (port == info->active_port)
                s->activePort = static_cast<int>(i);
        }
    };
    const QByteArray name = m_sourceName.toUtf8();
    PulseOperationPtr operation(pa_context_get_source_info_by_name(m_connection->context(), name.constData(), arrived, &state));
    if (!m_connection->finish(std::move(operation)) || state.failed || !state.found)
        return Failure{goneText()};
    if (state.lines.empty())
        state.lines.push_back({state.description, kLineTypeUndefined}); // the source is its own line
    return state;
}

Result<std::vector<MixerLine>> PulseMixer::lines()
{
    Result<SourceState> state = readSource();
    if (!state)
        return state.failure();
    return std::move(state->lines);
}

Status PulseMixer::selectLine(int index)
{
    const Result<SourceState> state = readSource();
    if (!state)
        return state.failure();
    if (index < 0 || index >= static_cast<int>(state->lines.size()))
        return Failure{QStringLiteral("Aucune ligne n° %1 : « %2 » en compte %3.")
                           .arg(index)
                           .arg(m_sourceName)
                           .arg(state->lines.size())};
    if (state->portNames.empty())
        return {}; // the one line of a source without ports is always the recorded one
    PulseLock lock(m_connection->mainloop());
    const QByteArray name = m_sourceName.toUtf8();
    ChangeReply reply{m_connection->mainloop()};
    PulseOperationPtr operation(pa_context_set_source_port_by_name(
        m_connection->context(), name.constData(), state->portNames[static_cast<std::size_t>(index)].constData(),
        changeAnswered, &reply));
    if (!m_connection->finish(std::move(operation)) || !reply.accepted)
        return Failure{QStringLiteral("Le serveur de son refuse de changer la ligne de « %1 ».").arg(m_sourceName)};
    return {};
}

Result<int> PulseMixer::selectedLine()
{
    const Result<SourceState> state = readSource();
    if (!state)
        return state.failure();
    return state->activePort;
}

Result<std::uint32_t> PulseMixer::volume()
{
    const Result<SourceState> state = readSource();
    if (!state)
        return state.failure();
    if (state->volume.channels == 0)
        return Failure{QStringLiteral("« %1 » n'a pas de volume.").arg(m_sourceName)};
    const double level = static_cast<double>(state->volume.values[0]) / PA_VOLUME_NORM * kFullVolume;
    return static_cast<std::uint32_t>(std::min<double>(std::lround(level), kFullVolume));
}

Status PulseMixer::setVolume(std::uint32_t volume)
{
    if (volume > kFullVolume)
        return Failure{QStringLiteral("Volume hors limites : %1 (0 à 65535).").arg(volume)};
    const Result<SourceState> state = readSource();
    if (!state)
        return state.failure();
    if (state->volume.channels == 0)
        return Failure{QStringLiteral("« %1 » n'a pas de volume.").arg(m_sourceName)};
    pa_cvolume levels = state->volume;
    const auto value = static_cast<pa_volume_t>(std::lround(static_cast<double>(volume) / kFullVolume * PA_VOLUME_NORM));
    pa_cvolume_set(&levels, levels.channels, value);
    PulseLock lock(m_connection->mainloop());
    const QByteArray name = m_sourceName.toUtf8();
    ChangeReply reply{m_connection->mainloop()};
    PulseOperationPtr operation(pa_context_set_source_volume_by_name(m_connection->context(), name.constData(), &levels,
                                                                     changeAnswered, &reply));
    if (!m_connection->finish(std::move(operation)) || !reply.accepted)
        return Failure{QStringLiteral("Le serveur de son refuse de changer le volume de « %1 ».").arg(m_sourceName)};
    return {};
}
