// The sound server's record stream behind the wave-in style capture device.
#include "platform/audio/pulse/pulse_capture_device.h"

#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <cstring>

namespace {

// Fragments of 20 ms: far below one 10240-byte buffer at every rate we record, so buffers fill
// steadily instead of in bursts.
constexpr pa_usec_t kFragmentUs = 20 * PA_USEC_PER_MSEC;
constexpr auto kOpenTimeout = std::chrono::seconds(5);
// The server pushes a record stream's sound in blocks of up to a memory block (64 KiB); it may
// start dropping when its buffer is that much short of full.
constexpr std::uint64_t kServerBlockBytes = 64 * 1024;

struct ProplistFree {
    void operator()(pa_proplist *properties) const { pa_proplist_free(properties); }
};

bool streamFinished(pa_stream *stream)
{
    const pa_stream_state_t state = pa_stream_get_state(stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}

} // namespace

Result<std::unique_ptr<PulseCaptureDevice>> PulseCaptureDevice::open(
    std::shared_ptr<PulseConnection> connection, const QString &sourceName,
    const QString &displayName, const WaveFormat &format, CaptureNotifier &notifier,
    std::uint32_t streamBufferBytes)
{
    std::unique_ptr<PulseCaptureDevice> device(
        new PulseCaptureDevice(std::move(connection), notifier));
    const QString problem = device->connectStream(sourceName, displayName, format, streamBufferBytes);
    if (problem.isEmpty())
        return device;
    return Failure{problem}; // the destructor closes whatever was made
}

PulseCaptureDevice::PulseCaptureDevice(std::shared_ptr<PulseConnection> connection,
                                       CaptureNotifier &notifier)
    : m_connection(std::move(connection)), m_notifier(notifier)
{
}

PulseCaptureDevice::~PulseCaptureDevice()
{
    close();
}

QString PulseCaptureDevice::connectStream(const QString &sourceName, const QString &displayName,
                                          const WaveFormat &format, std::uint32_t streamBufferBytes)
{
    PulseLock lock(m_connection->mainloop());
    if (!m_connection->isReady())
        return QStringLiteral("Le serveur de son ne répond plus (PulseAudio/PipeWire).");

    const pa_sample_spec spec{PA_SAMPLE_S16LE, format.samplesPerSec,
                              static_cast<std::uint8_t>(format.channels)};
    if (!pa_sample_spec_valid(&spec))
        return QStringLiteral("Format de capture non pris en charge par le serveur de son.");
    // PipeWire mixes a stereo source down to mono as (left + right) / sqrt(2), which clips a
    // loud source; a normalised mix is the mean of the channels, as PulseAudio's. PulseAudio
    // ignores the property.
    const std::unique_ptr<pa_proplist, ProplistFree> properties(pa_proplist_new());
    if (!properties || pa_proplist_sets(properties.get(), "channelmix.normalize", "true") < 0)
        return QStringLiteral("Le périphérique de capture « %1 » ne s'ouvre pas : %2.")
            .arg(displayName, QString::fromUtf8(pa_strerror(PA_ERR_INTERNAL)));
    m_stream.reset(pa_stream_new_with_proplist(m_connection->context(), "Enregistrement", &spec,
                                               nullptr, properties.get()));
    if (!m_stream)
        return QStringLiteral("Le périphérique de capture « %1 » ne s'ouvre pas : %2.")
            .arg(displayName, QString::fromUtf8(pa_strerror(pa_context_errno(m_connection->context()))));
    pa_stream_set_state_callback(m_stream.get(), streamStateChanged, this);
    pa_stream_set_read_callback(m_stream.get(), streamReadable, this);

    pa_buffer_attr attributes;
    // What the owner has not taken yet waits in the stream: as much as the server grants.
    attributes.maxlength = streamBufferBytes ? streamBufferBytes : static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(-1);
    attributes.prebuf = static_cast<std::uint32_t>(-1);
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUs, &spec));
    const QByteArray device = sourceName.toUtf8();
    // A chosen source is recorded or nothing is: when it goes, the stream fails instead of
    // being moved to another source. The default source may follow the server's default.
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (!sourceName.isEmpty())
        flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(m_stream.get(), sourceName.isEmpty() ? nullptr : device.constData(),
                                 &attributes, flags) < 0)
        return QStringLiteral("Le périphérique de capture « %1 » ne s'ouvre pas : %2.")
            .arg(displayName, QString::fromUtf8(pa_strerror(pa_context_errno(m_connection->context()))));

    pa_stream *stream = m_stream.get();
    m_connection->waitFor([stream] { return streamFinished(stream); }, kOpenTimeout);
    if (pa_stream_get_state(stream) == PA_STREAM_READY) {
        const pa_sample_spec *actual = pa_stream_get_sample_spec(stream);
        const pa_buffer_attr *granted = pa_stream_get_buffer_attr(stream);
        if (actual && granted && pa_sample_spec_equal(actual, &spec)) {
            m_connected = true;
            const std::uint64_t margin = std::max<std::uint64_t>(kServerBlockBytes, 4ull * granted->fragsize);
            m_watch = std::make_unique<OverrunWatch>(format.avgBytesPerSec, granted->maxlength, margin);
            return {};
        }
        return QStringLiteral("Le serveur de son refuse le format demandé pour « %1 ».")
            .arg(displayName);
    }
    if (!m_connection->isReady())
        return QStringLiteral("Le serveur de son ne répond plus (PulseAudio/PipeWire).");
    const int code = pa_context_errno(m_connection->context());
    if (code == PA_ERR_NOENTITY)
        return QStringLiteral("Le périphérique de capture « %1 » n'existe plus.").arg(displayName);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        return QStringLiteral("Le périphérique de capture « %1 » ne répond pas.").arg(displayName);
    return QStringLiteral("Le périphérique de capture « %1 » ne s'ouvre pas : %2.")
        .arg(displayName, QString::fromUtf8(pa_strerror(code)));
}

bool PulseCaptureDevice::addBuffer(CaptureBuffer &buffer)
{
    if (!buffer.prepared || !buffer.data || buffer.bufferBytes == 0)
        return false;
    PulseLock lock(m_connection->mainloop());
    if (m_state == State::Closed)
        return false;
    if (std::find(m_queue.begin(), m_queue.end(), &buffer) != m_queue.end())
        return false; // already queued: writing it twice would mix two stretches of sound
    buffer.done = false;
    buffer.bytesRecorded = 0;
    m_queue.push_back(&buffer);
    if (m_state == State::Running)
        takeIncoming(); // sound may be waiting in the stream for a buffer
    return true;
}

Status PulseCaptureDevice::start()
{
    PulseLock lock(m_connection->mainloop());
    if (m_state == State::Closed || !m_stream)
        return Failure{QStringLiteral("Le périphérique de capture est fermé.")};
    if (m_failed || pa_stream_get_state(m_stream.get()) != PA_STREAM_READY)
        return Failure{QStringLiteral("Le périphérique de capture ne répond plus.")};
    if (m_state == State::Running)
        return {};
    PulseOperationPtr uncork(pa_stream_cork(m_stream.get(), 0, nullptr, nullptr));
    if (!uncork)
        return Failure{QStringLiteral("Le serveur de son refuse de démarrer la capture : %1.")
                           .arg(QString::fromUtf8(pa_strerror(pa_context_errno(m_connection->context()))))};
    m_state = State::Running;
    m_droppedBytes = 0;
    m_fragmentTaken = 0;
    m_lastReadable = 0;
    m_clientGapAt = OverrunWatch::kNoHold;
    m_lossReported = false;
    m_watch->restart();
    startTicking();
    takeIncoming();
    return {};
}

void PulseCaptureDevice::halt()
{
    if (m_state != State::Running)
        return;
    m_state = State::Stopped;
    stopTicking();
    if (!m_stream || pa_stream_get_state(m_stream.get()) != PA_STREAM_READY)
        return;
    // Both results are dropped on purpose: the state above already keeps the callback from
    // writing, and a server that has gone needs no corking.
    PulseOperationPtr cork(pa_stream_cork(m_stream.get(), 1, nullptr, nullptr));
    PulseOperationPtr flush(pa_stream_flush(m_stream.get(), nullptr, nullptr));
    // What already reached this side belongs to the stopped capture, not to the next one.
    const void *data = nullptr;
    std::size_t count = 0;
    while (pa_stream_peek(m_stream.get(), &data, &count) == 0 && count > 0 && pa_stream_drop(m_stream.get()) == 0) {
    }
    m_fragmentTaken = 0;
}

void PulseCaptureDevice::stop()
{
    PulseLock lock(m_connection->mainloop());
    if (m_state == State::Closed)
        return;
    halt();
    if (m_queue.empty() || m_queue.front()->bytesRecorded == 0)
        return;
    CaptureBuffer *partial = m_queue.front();
    m_queue.pop_front();
    partial->done = true;
    m_notifier.bufferDone(partial);
}

std::vector<CaptureBuffer *> PulseCaptureDevice::reset()
{
    PulseLock lock(m_connection->mainloop());
    halt();
    std::vector<CaptureBuffer *> returned(m_queue.begin(), m_queue.end());
    m_queue.clear();
    for (CaptureBuffer *buffer : returned)
        buffer->done = true;
    return returned;
}

void PulseCaptureDevice::close()
{
    PulseLock lock(m_connection->mainloop());
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    stopTicking();
    for (CaptureBuffer *buffer : m_queue)
        buffer->done = true;
    m_queue.clear();
    if (!m_stream)
        return;
    pa_stream_set_read_callback(m_stream.get(), nullptr, nullptr);
    pa_stream_set_state_callback(m_stream.get(), nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get())))
        pa_stream_disconnect(m_stream.get());
    m_stream.reset();
}

void PulseCaptureDevice::streamStateChanged(pa_stream *, void *userdata)
{
    auto *device = static_cast<PulseCaptureDevice *>(userdata);
    PulseConnection::wake(device->m_connection->mainloop()); // open() may be waiting
    device->streamStateNoticed();
}

void PulseCaptureDevice::streamStateNoticed()
{
    if (!m_connected || m_failed || m_state == State::Closed || !m_stream)
        return;
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get())))
        return;
    m_failed = true;
    const bool wasRunning = m_state == State::Running;
    m_state = State::Stopped;
    stopTicking();
    if (wasRunning)
        m_notifier.deviceFailed();
}

void PulseCaptureDevice::streamReadable(pa_stream *, std::size_t, void *userdata)
{
    static_cast<PulseCaptureDevice *>(userdata)->incomingArrived();
}

// libpulse calls this after every fragment the server sent, also when the stream's buffer was
// too full to take it. So a call that finds no more sound waiting than we left means that
// fragment was lost: the gap lies where the sound that arrived so far ends.
void PulseCaptureDevice::incomingArrived()
{
    if (m_state != State::Running)
        return;
    const std::size_t readable = pa_stream_readable_size(m_stream.get());
    if (readable != static_cast<std::size_t>(-1) && readable > 0 && readable == m_lastReadable)
        m_clientGapAt = std::min(m_clientGapAt, arrivedBytes());
    takeIncoming();
}

std::uint64_t PulseCaptureDevice::arrivedBytes() const
{
    const std::size_t readable = pa_stream_readable_size(m_stream.get());
    return m_droppedBytes + (readable == static_cast<std::size_t>(-1) ? 0 : readable);
}

std::uint64_t PulseCaptureDevice::deliveryLimit() const
{
    return std::min(m_clientGapAt, m_watch->holdAt());
}

void PulseCaptureDevice::takeIncoming()
{
    pa_stream *stream = m_stream.get();
    const std::uint64_t limit = deliveryLimit();
    while (m_state == State::Running && !m_queue.empty()) {
        const std::uint64_t delivered = m_droppedBytes + m_fragmentTaken;
        if (delivered >= limit)
            break;
        const void *data = nullptr;
        std::size_t count = 0;
        if (pa_stream_peek(stream, &data, &count) < 0 || count == 0)
            break;
        // A hole in the stream (no data) is silence.
        const std::size_t wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(count - m_fragmentTaken, limit - delivered));
        const auto *bytes = static_cast<const std::uint8_t *>(data);
        const std::size_t taken = deliver(bytes ? bytes + m_fragmentTaken : nullptr, wanted);
        m_fragmentTaken += taken;
        if (m_fragmentTaken == count) {
            if (pa_stream_drop(stream) < 0)
                break;
            m_droppedBytes += count;
            m_fragmentTaken = 0;
        }
        if (taken < wanted)
            break; // every queued buffer is full
    }
    const std::size_t readable = pa_stream_readable_size(stream);
    m_lastReadable = readable == static_cast<std::size_t>(-1) ? 0 : readable;
    const bool lost = m_clientGapAt != OverrunWatch::kNoHold || m_watch->lost();
    if (lost && m_droppedBytes + m_fragmentTaken >= limit)
        endAtGap();
}

// Delivery has reached the gap: the sound up to it goes out in the buffer being filled, then
// the loss is reported, once.
void PulseCaptureDevice::endAtGap()
{
    if (m_lossReported || m_state != State::Running)
        return;
    m_lossReported = true;
    if (!m_queue.empty() && m_queue.front()->bytesRecorded > 0) {
        CaptureBuffer *partial = m_queue.front();
        m_queue.pop_front();
        partial->done = true;
        m_notifier.bufferDone(partial);
    }
    m_notifier.dataLost();
}

std::size_t PulseCaptureDevice::deliver(const std::uint8_t *bytes, std::size_t count)
{
    std::size_t done = 0;
    while (done < count && !m_queue.empty()) {
        CaptureBuffer *buffer = m_queue.front();
        const std::size_t room = buffer->bufferBytes - buffer->bytesRecorded;
        const std::size_t taken = std::min(room, count - done);
        auto *target = reinterpret_cast<std::uint8_t *>(buffer->data) + buffer->bytesRecorded;
        if (bytes)
            std::memcpy(target, bytes + done, taken);
        else
            std::memset(target, 0, taken);
        buffer->bytesRecorded += static_cast<std::uint32_t>(taken);
        done += taken;
        if (buffer->bytesRecorded < buffer->bufferBytes)
            continue;
        buffer->done = true;
        m_queue.pop_front();
        m_notifier.bufferDone(buffer);
    }
    return done;
}

void PulseCaptureDevice::startTicking()
{
    stopTicking();
    m_ticker = pa_context_rttime_new(m_connection->context(), pa_rtclock_now(), tickDue, this);
}

void PulseCaptureDevice::stopTicking()
{
    if (!m_ticker)
        return;
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_connection->mainloop());
    api->time_free(m_ticker);
    m_ticker = nullptr;
}

void PulseCaptureDevice::tickDue(pa_mainloop_api *, pa_time_event *event, const struct timeval *, void *userdata)
{
    auto *device = static_cast<PulseCaptureDevice *>(userdata);
    const auto interval = std::chrono::duration_cast<std::chrono::microseconds>(OverrunWatch::kTickInterval);
    pa_context_rttime_restart(device->m_connection->context(), event,
                              pa_rtclock_now() + static_cast<pa_usec_t>(interval.count()));
    device->tick();
}

void PulseCaptureDevice::tick()
{
    if (m_state != State::Running)
        return;
    m_watch->tick(OverrunWatch::Clock::now(), arrivedBytes());
    takeIncoming(); // a hold may have been released, or the gap confirmed
}
