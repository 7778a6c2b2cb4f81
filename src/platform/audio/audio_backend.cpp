#include "platform/audio/audio_backend.h"

#include "platform/audio/pulse/pulse_backend.h"
#include "platform/audio/virtual/virtual_backend.h"

Status checkCaptureFormat(const WaveFormat &format)
{
    if (format.formatTag != WaveFormat::kTagPcm || format.bitsPerSample != 16)
        return Failure{QStringLiteral("Format de capture non pris en charge (seul le PCM 16 bits l'est).")};
    if (format.channels < 1 || format.channels > 2)
        return Failure{QStringLiteral("Nombre de canaux non pris en charge : %1.").arg(format.channels)};
    if (format.samplesPerSec < 1000 || format.samplesPerSec > 192000)
        return Failure{QStringLiteral("Fréquence d'échantillonnage non prise en charge : %1 Hz.").arg(format.samplesPerSec)};
    if (format.blockAlign != 2 * format.channels ||
        format.avgBytesPerSec != format.blockAlign * format.samplesPerSec)
        return Failure{QStringLiteral("Format de capture incohérent.")};
    return {};
}

Result<std::unique_ptr<AudioBackend>> createAudioBackend(QString *notice)
{
    const QString wanted = qEnvironmentVariable("SONORIEL_AUDIO").trimmed().toLower();
    if (wanted == QLatin1String("virtual"))
        return createVirtualBackend(VirtualDeviceOptions::fromEnvironment());
    if (wanted == QLatin1String("pulse"))
        return createPulseBackend();
    if (!wanted.isEmpty())
        return Failure{QStringLiteral("SONORIEL_AUDIO inconnu : « %1 » (pulse ou virtual).").arg(wanted)};
    if (auto pulse = createPulseBackend())
        return std::move(pulse).value();
    if (notice)
        *notice = QStringLiteral("Aucun serveur de son ne répond (PulseAudio/PipeWire) : Sonoriel enregistre "
                                 "son entrée virtuelle à la place du son de la carte.");
    return createVirtualBackend(VirtualDeviceOptions::fromEnvironment());
}
