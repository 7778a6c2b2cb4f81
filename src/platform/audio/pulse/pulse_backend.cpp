// The capture side of the sound server: its sources as the device list, a mixer per source,
// record streams as capture devices; and a playback stream on the default sink for monitoring.
#include "platform/audio/pulse/pulse_backend.h"

#include "platform/audio/pulse/pulse_capture_device.h"
#include "platform/audio/pulse/pulse_connection.h"
#include "platform/audio/pulse/pulse_mixer.h"
#include "platform/audio/pulse/pulse_monitor_output.h"
#include "platform/audio/pulse/pulse_sources.h"

#include <pulse/subscribe.h>

#include <functional>
#include <vector>

namespace {

constexpr auto kConnectTimeout = std::chrono::seconds(2);

// Threads: every member runs on the owner's thread, except sourceEvent, which libpulse runs on
// the main loop's thread with the loop's lock held; m_sourcesChanged is guarded by that lock.
class PulseBackend : public AudioBackend {
public:
    explicit PulseBackend(std::shared_ptr<PulseConnection> connection)
        : m_connection(std::move(connection))
    {
    }

    // The connection may outlive the backend (a mixer or a capture device still holds it):
    // no notice reaches the released backend.
    ~PulseBackend() override
    {
        PulseLock lock(m_connection->mainloop());
        pa_context_set_subscribe_callback(m_connection->context(), nullptr, nullptr);
        m_sourcesChanged = nullptr;
    }

    QString backendName() const override { return QStringLiteral("pulse"); }

    int deviceCount() override
    {
        Result<std::vector<PulseSource>> sources = listPulseSources(*m_connection);
        m_sources = sources ? std::move(sources).value() : std::vector<PulseSource>();
        return static_cast<int>(m_sources.size());
    }

    QString deviceName(int index) override
    {
        const PulseSource *source = listed(index);
        return source ? source->description : QString();
    }

    QString deviceId(int index) override
    {
        const PulseSource *source = listed(index);
        return source ? source->name : QString();
    }

    void setSourcesChanged(std::function<void()> sourcesChanged) override
    {
        PulseLock lock(m_connection->mainloop());
        m_sourcesChanged = std::move(sourcesChanged);
        if (!m_sourcesChanged || m_subscribed || !m_connection->isReady())
            return;
        pa_context_set_subscribe_callback(m_connection->context(), &PulseBackend::sourceEvent, this);
        // The server answers on its own time; the events follow once it has.
        m_subscribed = PulseOperationPtr(pa_context_subscribe(m_connection->context(), PA_SUBSCRIPTION_MASK_SOURCE,
                                                              nullptr, nullptr)) != nullptr;
    }

    Result<std::unique_ptr<AudioMixer>> openMixer(int index) override
    {
        const PulseSource *source = listed(index);
        if (!source)
            return Failure{QStringLiteral("Aucun périphérique de capture n° %1.").arg(index)};
        if (const Result<PulseSource> there = findPulseSource(*m_connection, source->name); !there)
            return there.failure();
        return std::unique_ptr<AudioMixer>(std::make_unique<PulseMixer>(m_connection, source->name));
    }

    Result<std::unique_ptr<CaptureDevice>> openDevice(int index, const WaveFormat &format,
                                                      CaptureNotifier &notifier) override
    {
        if (const Status usable = checkCaptureFormat(format); !usable)
            return usable.failure();
        const PulseSource *source = listed(index);
        if (index != -1 && !source)
            return Failure{QStringLiteral("Aucun périphérique de capture n° %1.").arg(index)};
        Result<std::unique_ptr<PulseCaptureDevice>> device =
            index == -1 ? PulseCaptureDevice::open(m_connection, QString(), QStringLiteral("par défaut"), format, notifier)
                        : PulseCaptureDevice::open(m_connection, source->name, source->description, format, notifier);
        if (!device)
            return device.failure();
        return std::unique_ptr<CaptureDevice>(std::move(device).value());
    }

    Result<std::unique_ptr<MonitorOutput>> openMonitor(const WaveFormat &format, std::uint32_t blockBytes) override
    {
        if (const Status usable = checkCaptureFormat(format); !usable)
            return usable.failure();
        Result<std::unique_ptr<PulseMonitorOutput>> output = PulseMonitorOutput::open(m_connection, format, blockBytes);
        if (!output)
            return output.failure();
        return std::unique_ptr<MonitorOutput>(std::move(output).value());
    }

private:
    static void sourceEvent(pa_context *, pa_subscription_event_type_t type, std::uint32_t, void *userdata)
    {
        auto *self = static_cast<PulseBackend *>(userdata);
        if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SOURCE && self->m_sourcesChanged)
            self->m_sourcesChanged();
    }

    const PulseSource *listed(int index) const
    {
        if (index < 0 || index >= static_cast<int>(m_sources.size()))
            return nullptr;
        return &m_sources[static_cast<std::size_t>(index)];
    }

    std::shared_ptr<PulseConnection> m_connection;
    std::vector<PulseSource> m_sources; // the list as deviceCount() last read it
    std::function<void()> m_sourcesChanged;
    bool m_subscribed = false;
};

} // namespace

Result<std::unique_ptr<AudioBackend>> createPulseBackend()
{
    Result<std::shared_ptr<PulseConnection>> connection = PulseConnection::connect(kConnectTimeout);
    if (!connection)
        return connection.failure();
    return std::unique_ptr<AudioBackend>(std::make_unique<PulseBackend>(std::move(connection).value()));
}
