// A recording, as the main window and the command line ask for one: start() checks what it is
// asked (a file name, a device, a rate), checks everything that could refuse before the output
// is touched (the encoder and its file, the effects' format, the capture device), then records
// every captured block through the effects chain into the encoder until stop() or a fault ends
// it. The front ends turn its failures and stops into their messages; the session shows nothing.
//
// The per-block path: copy into intLastBlock, the effects (always called); then, unless the
// take is paused, the sound trigger's gate (a take that waits for sound writes nothing until
// it comes, then the pre-recorded sound before it), lngRecordedMs and the take's files (parts
// by length, a next part at the largest WAV size unless RF64). While monitoring is on, every
// block after the effects also goes to the monitoring output, paused or waiting for sound as
// well, so the user hears what would be recorded. A write error, a file that was deleted, a lost
// device, sound the device had to drop or the silence after the sound stop the recording with
// complete files, then stopped() says why. Runs on the UI thread, one block at a time.
#pragma once

#include "common/wave_format.h"
#include "recording/take_options.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class WaveInRecorder;
class EncoderWAV;
class clsDSP;
class SoundTrigger;
class TakeWriter;
class MonitorOutput;

struct RecordingRequest {
    QString path;                // the output file
    bool numbered = false;       // a numbered name: created only if free, else the next free one
    bool deviceChosen = true;    // the front end shows a capture device as chosen
    std::int32_t rateHz = 44100; // below 1 when the rate given holds no number
    std::int16_t channels = 2;
    TakeOptions take;
};

// What the user is told: the message, and the reason the program knows for it (may be empty).
struct RecordingFailure {
    QString message;
    QString reason;
};

enum class StopCause { User, WriteError, FileFull, FileRemoved, DeviceLost, SoundLost, Silence };

class RecordingSession : public QObject {
    Q_OBJECT
public:
    // Numbered names live in programFolder's "Wav" folder.
    RecordingSession(WaveInRecorder &recorder, EncoderWAV &encoder, clsDSP &effects, QString programFolder,
                     QObject *parent = nullptr);
    ~RecordingSession() override;

    // What start() would refuse, found without creating, emptying or starting anything.
    std::optional<RecordingFailure> check(const RecordingRequest &request);
    // Starts the recording; nothing changes when it fails.
    std::optional<RecordingFailure> start(const RecordingRequest &request);
    // The user's stop: the file gets its header and is closed.
    void stop();
    bool isRecording() const;

    // A paused take records nothing and counts nothing until it resumes; it stays one take.
    // The effects, the live display and the monitoring go on. Only while recording.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // Monitoring: what is recorded (after the effects) is heard on the default output. Asked
    // before a take, the output opens when the take starts; during one, it opens or closes at
    // once. The output closes when the take ends; the choice stays for the next take. An output
    // that cannot open or stops working never touches the recording: monitoring turns off and
    // the failure (kMonitorFailedMessage and the reason) is returned here, or said by
    // monitoringFailed() when the take's start or a block found it.
    std::optional<RecordingFailure> setMonitoring(bool on);
    bool isMonitoring() const { return m_monitoring; }

    // The take waits for its trigger: nothing has been written yet.
    bool isWaitingForSound() const;

    // The first file a request writes: its path, or its first part when split.
    static QString firstFile(const RecordingRequest &request);

    // What the live display reads.
    const std::vector<std::int16_t> &intLastBlock() const { return m_intLastBlock; }
    std::int32_t lngRecordedMs() const { return m_lngRecordedMs; }
    std::int32_t lngBytesPerSec() const { return m_lngBytesPerSec; }
    // The file being recorded, or last recorded (a numbered name may have moved on from the one asked).
    const QString &recordingPath() const { return m_recordingPath; }
    // Every file of the take being recorded, or of the last one, in order.
    const QStringList &takeFiles() const { return m_takeFiles; }

    static const QString kFileFullMessage;
    static const QString kFileRemovedMessage;
    static const QString kSoundLostMessage;
    static const QString kDeviceLostMessage;
    static const QString kSilenceMessage;  // %1: the seconds of silence
    static const QString kNextPartMessage; // %1: the next part's name
    static const QString kMonitorFailedMessage;

signals:
    void blockRecorded(); // after each block reached the encoder
    // The recording ended and its file is closed; for any cause but the user's stop, failure
    // says what happened.
    void stopped(StopCause cause, const RecordingFailure &failure);
    // An effect failed on a block; said once per recording, after that block was written.
    void effectsFault(const QString &message);
    // The level reached the threshold: the take's sound starts (with what was pre-recorded).
    void triggered();
    // The take goes on in a new file; full: the previous one reached the largest WAV size.
    void partStarted(const QString &path, bool full);
    // Monitoring turned off because its output failed, at the take's start or while playing.
    void monitoringFailed(const RecordingFailure &failure);

private:
    std::optional<RecordingFailure> checkRequest(const RecordingRequest &request);
    std::optional<RecordingFailure> checkOutput(QString &path, bool split, bool numbered, std::int32_t rate,
                                                std::int16_t channels);
    std::optional<RecordingFailure> openOutput(QString &path, bool split, bool numbered, std::int32_t rate,
                                               std::int16_t channels);
    void blockCaptured(std::span<std::int16_t> intBuffer, std::int32_t &lngLen);
    bool writeToTake(std::span<const std::int16_t> samples);
    std::optional<RecordingFailure> openMonitor();
    void monitorBlock(std::span<const std::int16_t> samples);
    void sayMonitoringFailed(const RecordingFailure &failure);
    void end(StopCause cause, const RecordingFailure &failure);

    WaveInRecorder &m_recorder;
    EncoderWAV &m_encoder;
    clsDSP &m_effects;
    const QString m_programFolder;

    std::vector<std::int16_t> m_intLastBlock;
    std::int32_t m_lngRecordedMs = 0;
    std::int32_t m_lngBytesPerSec = 0;
    QString m_recordingPath;
    QStringList m_takeFiles;
    bool m_effectsFaultSaid = false;
    bool m_paused = false;
    double m_silenceStopSeconds = 0;
    std::unique_ptr<SoundTrigger> m_trigger;
    std::unique_ptr<TakeWriter> m_writer;
    WaveFormat m_captureFormat;             // the take's, while recording
    bool m_monitoring = false;              // asked and not failed
    std::unique_ptr<MonitorOutput> m_monitor; // open while recording with monitoring on
};
