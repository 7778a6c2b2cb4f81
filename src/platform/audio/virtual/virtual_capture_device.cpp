#include "platform/audio/virtual/virtual_capture_device.h"

VirtualCaptureDevice::VirtualCaptureDevice(const WaveFormat &format, CaptureNotifier &notifier,
                                           std::unique_ptr<SampleSource> source,
                                           std::shared_ptr<VirtualMixerState> mixer, double speed,
                                           int failPrepareAt)
    : m_format(format), m_notifier(notifier), m_speed(speed), m_failPrepareAt(failPrepareAt),
      m_source(std::move(source)), m_mixer(std::move(mixer))
{
}

VirtualCaptureDevice::~VirtualCaptureDevice()
{
    close();
}

bool VirtualCaptureDevice::prepareBuffer(CaptureBuffer &buffer)
{
    if (m_prepareCount++ == m_failPrepareAt)
        return false;
    return CaptureDevice::prepareBuffer(buffer);
}

bool VirtualCaptureDevice::addBuffer(CaptureBuffer &buffer)
{
    if (!buffer.prepared)
        return false;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return false;
        buffer.done = false;
        buffer.bytesRecorded = 0;
        m_queue.push_back(&buffer);
    }
    m_wake.notify_all();
    return true;
}

Status VirtualCaptureDevice::start()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return Failure{QStringLiteral("Le périphérique de capture est fermé.")};
        m_running = true;
        m_due = std::chrono::steady_clock::now();
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_all();
    return {};
}

void VirtualCaptureDevice::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
    }
    m_wake.notify_all();
}

std::vector<CaptureBuffer *> VirtualCaptureDevice::reset()
{
    std::vector<CaptureBuffer *> returned;
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
        for (CaptureBuffer *buffer : m_queue) {
            buffer->done = true;
            returned.push_back(buffer);
        }
        m_queue.clear();
    }
    m_wake.notify_all();
    return returned;
}

void VirtualCaptureDevice::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_running = false;
        m_queue.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::chrono::steady_clock::duration VirtualCaptureDevice::durationOf(const CaptureBuffer &buffer) const
{
    const double seconds = static_cast<double>(buffer.bufferBytes) / m_format.avgBytesPerSec / m_speed;
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
}

void VirtualCaptureDevice::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_closed || (m_running && !m_queue.empty()); });
        if (m_closed)
            return;
        CaptureBuffer *buffer = m_queue.front();
        if (m_speed > 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - m_due > std::chrono::seconds(1))
                m_due = now; // the owner fell far behind: the sound of that time is lost
            m_due += durationOf(*buffer);
            const bool interrupted = m_wake.wait_until(lock, m_due, [this, buffer] {
                return m_closed || !m_running || m_queue.empty() || m_queue.front() != buffer;
            });
            if (interrupted)
                continue;
        }
        const std::span samples(buffer->data, buffer->bufferBytes / 2);
        m_source->fill(samples);
        m_mixer->applyVolume(samples, m_format.channels);
        buffer->bytesRecorded = buffer->bufferBytes;
        buffer->done = true;
        m_queue.pop_front();
        m_notifier.bufferDone(buffer);
    }
}
