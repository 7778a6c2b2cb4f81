// The one class through which the program touches the recording side of the sound system: the
// capture devices, the selected device's mixer, and a ring of capture buffers kept queued on
// the open device. Every filled buffer is announced as GotData on the UI thread; the buffer goes
// back to the device when the listeners return.
//
// Threads: every member runs on the UI thread. The device fills the queued buffers on its own
// thread and posts one notice per filled buffer to the notification object; a buffer is read
// here only between its notice and its re-queueing.
#pragma once

#include "platform/audio/audio_backend.h"
#include "recording/subclasser.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class NotificationWindow;

class WaveInRecorder : public QObject {
    Q_OBJECT
public:
    // The recorder over the given backend; a null backend (no sound system) has no devices
    // and cannot record.
    explicit WaveInRecorder(std::unique_ptr<AudioBackend> backend, QObject *parent = nullptr);
    ~WaveInRecorder() override; // stops a running recording, closes the mixer

    bool hasBackend() const { return m_backend != nullptr; }

    bool IsRecording() const { return m_device != nullptr; }
    bool StartRecord(std::int32_t samplerate, std::int16_t Channels);
    bool StopRecord();

    std::int32_t BufferCount() const { return m_bufferCount; }
    bool setBufferCount(std::int32_t count);   // at least 1; takes effect at the next start
    static constexpr std::int32_t kDefaultBufferSize = 10240;
    std::int32_t BufferSize() const { return m_bufferSize; }
    bool setBufferSize(std::int32_t bytes);    // positive and even; takes effect at the next start

    std::int32_t DeviceCount();
    QString DeviceName(std::int32_t Index);
    bool SelectDevice(std::int32_t Index);
    std::int32_t SelectedDevice() const { return m_selectedDevice; }

    // The selected device's mixer lines (the sources that feed the recording input), the
    // selected one, and its recording volume, 0 to 65535. They read the sound system's current
    // state and work while recording. Without a selected device: 0 lines, empty names, false,
    // -1, 0.
    std::int32_t MixerLineCount();
    QString MixerLineName(std::int32_t Index);
    bool SelectMixerLine(std::int32_t Index);
    std::int32_t SelectedMixerLine();
    std::int32_t MixerLineType(std::int32_t Index = -1); // -1: the selected line
    std::int32_t MixerLineVolume();
    void setMixerLineVolume(std::int32_t Volume);

    // Opens the system's default output for monitoring in the given format, sized for this
    // recorder's blocks (those of the running recording, else BufferSize()).
    Result<std::unique_ptr<MonitorOutput>> openMonitor(const WaveFormat &format);

    // Why the last StartRecord failed, in French; empty after a success.
    const QString &lastStartError() const { return m_lastStartError; }

signals:
    // One filled buffer: the device's own memory, valid only during the call (listeners that
    // keep samples copy them), and the number of bytes the device filled.
    void GotData(std::span<std::int16_t> intBuffer, std::int32_t &lngLen);
    // The open device stopped working on its own; the recording is still running as far as
    // this object is concerned, and its owner stops it.
    void DeviceLost();
    // The device had to drop sound before it could hand it over; every block up to the gap has
    // been announced, nothing after it will be. The owner stops the recording.
    void DataLost();

private:
    struct RingBuffer {
        CaptureBuffer header;
        std::vector<std::int16_t> samples;
    };

    void createNotificationWindow();
    void removeNotificationWindow();
    void onWindowMessage(bool bBefore, bool &bHandled, long &lReturn, NotificationWindow *hWnd,
                         int uMsg, quintptr wParam, quintptr lParam, long lParamUser);
    void bufferCompleted(quintptr headerAddress);
    bool failStart(const QString &reason, int preparedCount);
    std::vector<MixerLine> mixerLines();

    std::unique_ptr<AudioBackend> m_backend;
    std::int32_t m_selectedDevice = -1;
    std::int32_t m_bufferSize = kDefaultBufferSize;
    std::int32_t m_bufferCount = 5;
    std::vector<RingBuffer> m_ring;
    NotificationWindow *m_window = nullptr; // owned; released by removeNotificationWindow()
    std::unique_ptr<CaptureDevice> m_device;
    std::unique_ptr<AudioMixer> m_mixer;
    Subclasser m_subclasser{QStringLiteral("WaveInRecorder")};
    std::uint64_t m_recordingNumber = 0; // tells a buffer of this recording from an older one
    QString m_lastStartError;
};
