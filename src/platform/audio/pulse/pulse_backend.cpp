// The capture side of the sound server: its sources as the device list, a mixer per source,
// and record streams as capture devices.
#include "platform/audio/pulse/pulse_backend.h"

#include "platform/audio/pulse/pulse_capture_device.h"
#include "platform/audio/pulse/pulse_connection.h"
#include "platform/audio/pulse/pulse_mixer.h"
#include "platform/audio/pulse/pulse_sources.h"

#include <vector>

namespace {

constexpr auto kConnectTimeout = std::chrono::seconds(2);

class PulseBackend : public AudioBackend {
public:
    explicit PulseBackend(std::shared_ptr<PulseConnection> connection)
        : m_connection(std::move(connection))
    {
    }

    QString backendName() const override { return QStringLiteral("pulse"); }

    int deviceCount() override
    {
        m_sources = listPulseSources(*m_connection).value_or(std::vector<PulseSource>());
        return static_cast<int>(m_sources.size());
    }

    QString deviceName(int index) override
    {
        const PulseSource *source = listed(index);
        return source ? source->description : QString();
    }

    std::unique_ptr<AudioMixer> openMixer(int index) override
    {
        const PulseSource *source = listed(index);
        if (!source || !findPulseSource(*m_connection, source->name))
            return nullptr;
        return std::make_unique<PulseMixer>(m_connection, source->name);
    }

    std::unique_ptr<CaptureDevice> openDevice(int index, const WaveFormat &format,
                                              CaptureNotifier &notifier, QString *error) override
    {
        const QString problem = captureFormatProblem(format);
        if (!problem.isEmpty()) {
            if (error)
                *error = problem;
            return nullptr;
        }
        if (index == -1)
            return PulseCaptureDevice::open(m_connection, QString(),
                                            QStringLiteral("par défaut"), format, notifier, error);
        const PulseSource *source = listed(index);
        if (!source) {
            if (error)
                *error = QStringLiteral("Aucun périphérique de capture n° %1.").arg(index);
            return nullptr;
        }
        return PulseCaptureDevice::open(m_connection, source->name, source->description, format,
                                        notifier, error);
    }

private:
    const PulseSource *listed(int index) const
    {
        if (index < 0 || index >= static_cast<int>(m_sources.size()))
            return nullptr;
        return &m_sources[static_cast<std::size_t>(index)];
    }

    std::shared_ptr<PulseConnection> m_connection;
    std::vector<PulseSource> m_sources; // the list as deviceCount() last read it
};

} // namespace

std::unique_ptr<AudioBackend> createPulseBackend(QString *error)
{
    std::shared_ptr<PulseConnection> connection = PulseConnection::connect(kConnectTimeout, error);
    if (!connection)
        return nullptr;
    return std::make_unique<PulseBackend>(std::move(connection));
}
