// The sound server's playback stream behind monitoring.
#include "platform/audio/pulse/pulse_monitor_output.h"

#include <pulse/error.h>

#include <algorithm>
#include <cstring>

namespace {

// Beyond one recording block, what the total delay leaves for the blocks' irregular arrival
// and the sink's own period.
constexpr pa_usec_t kMarginUs = 30 * PA_USEC_PER_MSEC;
constexpr auto kOpenTimeout = std::chrono::seconds(5);

bool streamFinished(pa_stream *stream)
{
    const pa_stream_state_t state = pa_stream_get_state(stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}

QString serverText(const PulseConnection &connection)
{
    return QString::fromUtf8(pa_strerror(pa_context_errno(connection.context())));
}

} // namespace

Result<std::unique_ptr<PulseMonitorOutput>> PulseMonitorOutput::open(std::shared_ptr<PulseConnection> connection,
                                                                     const WaveFormat &format, std::uint32_t blockBytes)
{
    std::unique_ptr<PulseMonitorOutput> output(new PulseMonitorOutput(std::move(connection), format, blockBytes));
    const QString problem = output->connectStream(format);
    if (problem.isEmpty())
        return output;
    return Failure{problem}; // the destructor closes whatever was made
}

PulseMonitorOutput::PulseMonitorOutput(std::shared_ptr<PulseConnection> connection, const WaveFormat &format,
                                       std::uint32_t blockBytes)
    : m_connection(std::move(connection)), m_frameBytes(std::max<std::size_t>(format.blockAlign, 1)),
      m_blockBytes(std::max<std::size_t>(blockBytes / m_frameBytes, 1) * m_frameBytes)
{
}

PulseMonitorOutput::~PulseMonitorOutput()
{
    close();
}

QString PulseMonitorOutput::connectStream(const WaveFormat &format)
{
    PulseLock lock(m_connection->mainloop());
    if (!m_connection->isReady())
        return QStringLiteral("Le serveur de son ne répond plus (PulseAudio/PipeWire).");
    const pa_sample_spec spec{PA_SAMPLE_S16LE, format.samplesPerSec, static_cast<std::uint8_t>(format.channels)};
    if (!pa_sample_spec_valid(&spec))
        return QStringLiteral("Format non pris en charge par le serveur de son.");
    m_stream.reset(pa_stream_new(m_connection->context(), "Écoute de l'enregistrement", &spec, nullptr));
    if (!m_stream)
        return QStringLiteral("La sortie son ne s'ouvre pas : %1.").arg(serverText(*m_connection));
    pa_stream_set_state_callback(m_stream.get(), streamStateChanged, this);
    pa_stream_set_underflow_callback(m_stream.get(), streamUnderflow, this);

    // The total delay asked for: one block and the margin (see the header). The other fields
    // are left to the server, as its latency guide recommends.
    m_spec = spec;
    const std::size_t marginBytes = pa_usec_to_bytes(kMarginUs, &spec) / m_frameBytes * m_frameBytes;
    m_targetBytes = m_blockBytes + marginBytes;
    m_limitBytes = m_targetBytes + marginBytes;
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(m_targetBytes);
    attributes.prebuf = static_cast<std::uint32_t>(-1);
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                      PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(m_stream.get(), nullptr, &attributes, flags, nullptr, nullptr) < 0)
        return QStringLiteral("La sortie son ne s'ouvre pas : %1.").arg(serverText(*m_connection));

    pa_stream *stream = m_stream.get();
    m_connection->waitFor([stream] { return streamFinished(stream); }, kOpenTimeout);
    if (pa_stream_get_state(stream) == PA_STREAM_READY)
        return {};
    if (!m_connection->isReady())
        return QStringLiteral("Le serveur de son ne répond plus (PulseAudio/PipeWire).");
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        return QStringLiteral("La sortie son ne répond pas.");
    return QStringLiteral("La sortie son ne s'ouvre pas : %1.").arg(serverText(*m_connection));
}

void PulseMonitorOutput::close()
{
    PulseLock lock(m_connection->mainloop());
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream.get(), nullptr, nullptr);
    pa_stream_set_underflow_callback(m_stream.get(), nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get())))
        pa_stream_disconnect(m_stream.get());
    m_stream.reset();
}

Status PulseMonitorOutput::play(std::span<const std::int16_t> samples)
{
    PulseLock lock(m_connection->mainloop());
    if (!m_stream || pa_stream_get_state(m_stream.get()) != PA_STREAM_READY)
        return Failure{QStringLiteral("La sortie son ne répond plus.")};

    // What waits in the stream's buffer: the delay as it stands (what we wrote less what the
    // server has played, estimated from its last timing report without asking it), less the
    // sink's own part, which a fast write cannot change. Unknown until the first report: taken
    // as nothing waiting.
    std::size_t waitingBytes = 0;
    pa_usec_t usec = 0;
    int negative = 0;
    const pa_timing_info *timing = pa_stream_get_timing_info(m_stream.get());
    if (timing && pa_stream_get_latency(m_stream.get(), &usec, &negative) == 0 && !negative && usec > timing->sink_usec)
        waitingBytes = pa_usec_to_bytes(usec - timing->sink_usec, &m_spec);

    const std::size_t bytes = samples.size_bytes() / m_frameBytes * m_frameBytes;
    if (!m_primed && bytes > 0) {
        // Silence in front, so the delay starts at its target with this block in.
        const std::size_t silence = m_targetBytes > waitingBytes + bytes ? m_targetBytes - waitingBytes - bytes : 0;
        if (!writeSilence(silence / m_frameBytes * m_frameBytes))
            return Failure{QStringLiteral("La sortie son refuse le son : %1.").arg(serverText(*m_connection))};
        waitingBytes += silence;
        m_primed = true;
    }
    const std::size_t room = m_limitBytes > waitingBytes ? m_limitBytes - waitingBytes : 0;
    const std::size_t taken = std::min(bytes, room / m_frameBytes * m_frameBytes);
    m_droppedFrames += (samples.size_bytes() - taken) / m_frameBytes;
    if (taken > 0 && pa_stream_write(m_stream.get(), samples.data(), taken, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return Failure{QStringLiteral("La sortie son refuse le son : %1.").arg(serverText(*m_connection))};
    // A stream that is not playing waits until its buffer holds the server's pre-buffering
    // amount, which may be more than the delay allowed here: it starts now with what it has.
    if (!timing || !timing->playing)
        PulseOperationPtr(pa_stream_trigger(m_stream.get(), nullptr, nullptr));
    return {};
}

bool PulseMonitorOutput::writeSilence(std::size_t bytes)
{
    while (bytes > 0) {
        void *data = nullptr;
        std::size_t count = bytes;
        if (pa_stream_begin_write(m_stream.get(), &data, &count) < 0 || !data || count == 0)
            return false;
        count = std::min(count, bytes) / m_frameBytes * m_frameBytes;
        if (count == 0) {
            pa_stream_cancel_write(m_stream.get());
            return true;
        }
        std::memset(data, 0, count);
        if (pa_stream_write(m_stream.get(), data, count, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return false;
        bytes -= count;
    }
    return true;
}

Result<std::chrono::microseconds> PulseMonitorOutput::latency()
{
    PulseLock lock(m_connection->mainloop());
    if (!m_stream || pa_stream_get_state(m_stream.get()) != PA_STREAM_READY)
        return Failure{QStringLiteral("La sortie son ne répond plus.")};
    if (!m_connection->finish(PulseOperationPtr(pa_stream_update_timing_info(m_stream.get(), nullptr, nullptr))))
        return Failure{QStringLiteral("Le serveur de son ne donne pas le délai de la sortie.")};
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(m_stream.get(), &usec, &negative) < 0)
        return Failure{QStringLiteral("Le serveur de son ne donne pas le délai de la sortie : %1.")
                           .arg(serverText(*m_connection))};
    return std::chrono::microseconds(negative ? 0 : static_cast<std::int64_t>(usec));
}

void PulseMonitorOutput::streamStateChanged(pa_stream *, void *userdata)
{
    PulseConnection::wake(static_cast<PulseMonitorOutput *>(userdata)->m_connection->mainloop());
}

void PulseMonitorOutput::streamUnderflow(pa_stream *, void *userdata)
{
    static_cast<PulseMonitorOutput *>(userdata)->m_primed = false;
}
