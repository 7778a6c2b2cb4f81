// The capture side of the sound system: the list of capture devices, a device's mixer and
// opening a device. createAudioBackend() picks the backend from SONORIEL_AUDIO: "pulse" (the
// sound server, PulseAudio or PipeWire), "virtual" (the virtual device), or unset: the sound
// server when one answers, the virtual device otherwise.
#pragma once

#include "common/wave_format.h"
#include "platform/audio/capture_device.h"

#include <QString>

#include <memory>

// A device's mixer; open while the device is selected. Its lines are the recording side's
// sources (ports on the sound server, three fixed lines on the virtual device).
class AudioMixer {
public:
    virtual ~AudioMixer() = default;
};

class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    virtual QString backendName() const = 0; // "pulse" or "virtual"

    // The list is read afresh by deviceCount(); deviceName() and the other members use the
    // list as last read.
    virtual int deviceCount() = 0;
    virtual QString deviceName(int index) = 0; // empty when index is outside the list

    // Null when the index is outside the list or the device has gone.
    virtual std::unique_ptr<AudioMixer> openMixer(int index) = 0;

    // Opens device `index` (-1: the system's default capture device) in the given format,
    // 16-bit PCM only. Null on failure, with a one-line French reason in *error.
    virtual std::unique_ptr<CaptureDevice> openDevice(int index, const WaveFormat &format,
                                                      CaptureNotifier &notifier,
                                                      QString *error) = 0;
};

// Null only when SONORIEL_AUDIO asks for a backend that cannot start (the sound server does not
// answer, or an unknown name); *error then says why, in French.
std::unique_ptr<AudioBackend> createAudioBackend(QString *error);

// The checks every backend applies to a capture format: 16-bit PCM, 1 or 2 channels,
// 1000..192000 Hz, consistent block align. Empty when acceptable, else the French reason.
QString captureFormatProblem(const WaveFormat &format);
