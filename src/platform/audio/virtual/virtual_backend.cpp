#include "platform/audio/virtual/virtual_backend.h"

#include "platform/audio/virtual/virtual_capture_device.h"
#include "platform/audio/virtual/virtual_mixer.h"

#include <QFileInfo>

namespace {

// The device is named for what it plays, so that nobody takes it for a microphone.
QString deviceNameFor(const VirtualDeviceOptions &options)
{
    if (options.inputPath.isEmpty())
        return QStringLiteral("Signal de test (440 Hz et 880 Hz)");
    return QStringLiteral("Entrée virtuelle de Sonoriel : %1").arg(QFileInfo(options.inputPath).fileName());
}

class VirtualBackend final : public AudioBackend {
public:
    explicit VirtualBackend(const VirtualDeviceOptions &options) : m_options(options) {}

    QString backendName() const override { return QStringLiteral("virtual"); }
    int deviceCount() override { return 1; }
    QString deviceName(int index) override { return index == 0 ? deviceNameFor(m_options) : QString(); }

    Result<std::unique_ptr<AudioMixer>> openMixer(int index) override
    {
        if (index != 0)
            return Failure{QStringLiteral("Périphérique de capture %1 introuvable.").arg(index)};
        return std::unique_ptr<AudioMixer>(std::make_unique<VirtualMixer>(m_mixerState));
    }

    Result<std::unique_ptr<CaptureDevice>> openDevice(int index, const WaveFormat &format,
                                                      CaptureNotifier &notifier) override
    {
        if (index != 0 && index != -1)
            return Failure{QStringLiteral("Périphérique de capture %1 introuvable.").arg(index)};
        if (const Status usable = checkCaptureFormat(format); !usable)
            return usable.failure();
        Result<std::unique_ptr<SampleSource>> source = m_options.inputPath.isEmpty()
                                                           ? Result<std::unique_ptr<SampleSource>>(makeTestSignal(format))
                                                           : makeWavFileSource(m_options.inputPath, format);
        if (!source)
            return source.failure();
        return std::unique_ptr<CaptureDevice>(std::make_unique<VirtualCaptureDevice>(
            format, notifier, std::move(source).value(), m_mixerState, m_options.speed, m_options.failPrepareAt));
    }

    Result<std::unique_ptr<MonitorOutput>> openMonitor(const WaveFormat &, std::uint32_t) override
    {
        return Failure{QStringLiteral("L'entrée virtuelle n'a pas de sortie son : aucun serveur de son n'est utilisé.")};
    }

private:
    VirtualDeviceOptions m_options;
    // The card's mixer state, shared by its mixer objects and its open device.
    std::shared_ptr<VirtualMixerState> m_mixerState = std::make_shared<VirtualMixerState>();
};

} // namespace

VirtualDeviceOptions VirtualDeviceOptions::fromEnvironment()
{
    VirtualDeviceOptions options;
    options.inputPath = qEnvironmentVariable("SONORIEL_VIRTUAL_INPUT");
    bool ok = false;
    const double speed = qEnvironmentVariable("SONORIEL_VIRTUAL_SPEED").toDouble(&ok);
    if (ok && speed >= 0)
        options.speed = speed;
    return options;
}

std::unique_ptr<AudioBackend> createVirtualBackend(const VirtualDeviceOptions &options)
{
    return std::make_unique<VirtualBackend>(options);
}
