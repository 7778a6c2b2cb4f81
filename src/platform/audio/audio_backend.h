// The capture side of the sound system: the list of capture devices, a device's mixer and
// opening a device; and the output on which the recorded sound is heard while monitoring. createAudioBackend() picks the backend from SONORIEL_AUDIO: "pulse" (the
// sound server, PulseAudio or PipeWire), "virtual" (the virtual device), or unset: the sound
// server when one answers, the virtual device otherwise.
#pragma once

#include "common/result.h"
#include "common/wave_format.h"
#include "platform/audio/capture_device.h"
#include "platform/audio/monitor_output.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Component types of mixer lines, as the recorder passes them on.
constexpr std::int32_t kLineTypeUndefined = 0x1000;
constexpr std::int32_t kLineTypeDigital = 0x1001;
constexpr std::int32_t kLineTypeLine = 0x1002;
constexpr std::int32_t kLineTypeMicrophone = 0x1003;
constexpr std::int32_t kLineTypeCompactDisc = 0x1005;
constexpr std::int32_t kLineTypeAnalog = 0x100A;

struct MixerLine {
    QString name;
    std::int32_t componentType = kLineTypeUndefined;
};

// A device's mixer; open while the device is selected. Its lines are the sources that feed the
// recording input (the source's ports on the sound server, a source without ports being its
// own one line; three lines held in memory on the virtual device), one of which is selected.
// The volume is the recording volume, 0 to 65535 per channel (65535 is full level). Every
// member reads the current state of the sound system; all run on the owner's thread.
class AudioMixer {
public:
    virtual ~AudioMixer() = default;

    // Each fails, with the French reason, when the mixer cannot be read or changed (the device
    // has gone, the server refused).
    virtual Result<std::vector<MixerLine>> lines() = 0;
    virtual Status selectLine(int index) = 0;
    virtual Result<int> selectedLine() = 0; // the selected line's index
    virtual Result<std::uint32_t> volume() = 0; // the first channel's
    virtual Status setVolume(std::uint32_t volume) = 0; // every channel's

};

class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    virtual QString backendName() const = 0; // "pulse" or "virtual"

    // The list is read afresh by deviceCount(); deviceName() and the other members use the
    // list as last read.
    virtual int deviceCount() = 0;
    virtual QString deviceName(int index) = 0; // empty when index is outside the list
    // A name that stays with a device while the list changes around it (the sound server's own
    // name of the source), from the list as last read; by default the shown name. Empty when
    // index is outside the list.
    virtual QString deviceId(int index) { return deviceName(index); }

    // Asks to be told when capture devices appear, go or change: sourcesChanged is called after
    // each such change until it is replaced (an empty function stops the notices) or the
    // backend is released. It runs on the backend's own thread and must only pass the news on
    // to the owner's thread, where deviceCount() reads the new list. A backend whose list never
    // changes never calls it.
    virtual void setSourcesChanged(std::function<void()> sourcesChanged) { (void)sourcesChanged; }

    // Fails when the index is outside the list or the device has gone.
    virtual Result<std::unique_ptr<AudioMixer>> openMixer(int index) = 0;

    // Opens device `index` (-1: the system's default capture device) in the given format,
    // 16-bit PCM only.
    virtual Result<std::unique_ptr<CaptureDevice>> openDevice(int index, const WaveFormat &format,
                                                              CaptureNotifier &notifier) = 0;

    // Opens the system's default output to play what is recorded, 16-bit PCM in the given
    // format. blockBytes is how much the recording hands to play() at a time: the output keeps
    // room for about one block beyond its short delay, so that steady blocks are never cut.
    virtual Result<std::unique_ptr<MonitorOutput>> openMonitor(const WaveFormat &format, std::uint32_t blockBytes) = 0;
};

// Fails only when SONORIEL_AUDIO asks for a backend that cannot start (the sound server does
// not answer, or an unknown name). When no sound server answered and the virtual device stands
// in for it, *notice says so, in French, for the user; it is left empty otherwise.
Result<std::unique_ptr<AudioBackend>> createAudioBackend(QString *notice = nullptr);

// The checks every backend applies to a capture format: 16-bit PCM, 1 or 2 channels,
// 1000..192000 Hz, consistent block align.
Status checkCaptureFormat(const WaveFormat &format);
