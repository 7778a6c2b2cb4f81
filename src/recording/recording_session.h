// A recording, as the main window and the command line ask for one: start() checks what it is
// asked (a file name, a device, a rate), checks everything that could refuse before the output
// is touched (the encoder and its file, the effects' format, the capture device), then records
// every captured block through the effects chain into the encoder until stop() or a fault ends
// it. The front ends turn its failures and stops into their messages; the session shows nothing.
//
// The per-block path: copy into intLastBlock, the effects (always called), lngRecordedMs, the
// encoder. A write error, a file that reached the largest WAV size or was deleted, a lost device
// or sound the device had to drop stop the recording with a complete file, then stopped() says
// why. Runs on the UI thread, one block at a time.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class WaveInRecorder;
class EncoderWAV;
class clsDSP;

struct RecordingRequest {
    QString path;                // the output file
    bool numbered = false;       // a numbered name: created only if free, else the next free one
    bool deviceChosen = true;    // the front end shows a capture device as chosen
    std::int32_t rateHz = 44100; // below 1 when the rate given holds no number
    std::int16_t channels = 2;
};

// What the user is told: the message, and the reason the program knows for it (may be empty).
struct RecordingFailure {
    QString message;
    QString reason;
};

enum class StopCause { User, WriteError, FileFull, FileRemoved, DeviceLost, SoundLost };

class RecordingSession : public QObject {
    Q_OBJECT
public:
    // Numbered names live in programFolder's "Wav" folder.
    RecordingSession(WaveInRecorder &recorder, EncoderWAV &encoder, clsDSP &effects, QString programFolder,
                     QObject *parent = nullptr);

    // What start() would refuse, found without creating, emptying or starting anything.
    std::optional<RecordingFailure> check(const RecordingRequest &request);
    // Starts the recording; nothing changes when it fails.
    std::optional<RecordingFailure> start(const RecordingRequest &request);
    // The user's stop: the file gets its header and is closed.
    void stop();
    bool isRecording() const;

    // What the live display reads.
    const std::vector<std::int16_t> &intLastBlock() const { return m_intLastBlock; }
    std::int32_t lngRecordedMs() const { return m_lngRecordedMs; }
    std::int32_t lngBytesPerSec() const { return m_lngBytesPerSec; }
    // The file being recorded, or last recorded (a numbered name may have moved on from the one asked).
    const QString &recordingPath() const { return m_recordingPath; }

    static const QString kFileFullMessage;
    static const QString kFileRemovedMessage;
    static const QString kSoundLostMessage;
    static const QString kDeviceLostMessage;

signals:
    void blockRecorded(); // after each block reached the encoder
    // The recording ended and its file is closed; for any cause but the user's stop, failure
    // says what happened.
    void stopped(StopCause cause, const RecordingFailure &failure);
    // An effect failed on a block; said once per recording, after that block was written.
    void effectsFault(const QString &message);

private:
    std::optional<RecordingFailure> checkRequest(const RecordingRequest &request);
    std::optional<RecordingFailure> checkOutput(QString &path, bool numbered, std::int32_t rate, std::int16_t channels);
    std::optional<RecordingFailure> openOutput(QString &path, bool numbered, std::int32_t rate, std::int16_t channels);
    void blockCaptured(std::span<std::int16_t> intBuffer, std::int32_t &lngLen);
    void end(StopCause cause, const RecordingFailure &failure);

    WaveInRecorder &m_recorder;
    EncoderWAV &m_encoder;
    clsDSP &m_effects;
    const QString m_programFolder;

    std::vector<std::int16_t> m_intLastBlock;
    std::int32_t m_lngRecordedMs = 0;
    std::int32_t m_lngBytesPerSec = 0;
    QString m_recordingPath;
    bool m_effectsFaultSaid = false;
};
