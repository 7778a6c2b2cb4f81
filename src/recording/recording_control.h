// The record button and the per-block path of a recording, for the main window and the command
// line alike: the button sequence (numbering, the start checks, encoder, effects format, start;
// or the stop branch) and the handler of every captured block (copy into intLastBlock, effects,
// lngRecordedMs, encoding, and the stop on a write error or when the file reached the largest
// WAV size). The caller mirrors its controls into the setters (output path, numbering, device
// chosen, rate text, stereo) and shows the messages; it learns of state changes through the
// signals. Runs on the UI thread.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <span>
#include <vector>

class WaveInRecorder;
class EncoderWAV;
class clsDSP;

// Where the recording's French messages go: message boxes in the window, stderr on the
// command line.
class RecordingMessages {
public:
    virtual ~RecordingMessages() = default;
    // A message, and the reason the program knows for it (empty when none): the window shows
    // the reason as the box's second paragraph, the command line on the same line.
    virtual void showMessage(const QString &text, const QString &reason = {}) = 0;
    // Asked before a recording replaces the existing file at path; false starts nothing.
    virtual bool confirmReplace(const QString &path) = 0;
};

class RecordingControl : public QObject {
    Q_OBJECT
public:
    // Shown when a recording is stopped because its file reached the largest size a WAV
    // header can describe.
    static inline const QString kFileFullMessage = QStringLiteral(
        "Enregistrement arrêté : le fichier Wav a atteint sa taille maximale (4 Go). Le fichier est complet.");
    // Shown when the file being recorded was deleted (or its folder removed).
    static inline const QString kFileRemovedMessage = QStringLiteral(
        "Enregistrement arrêté : le fichier Wav a été supprimé pendant l'enregistrement.");
    // Shown when the sound server had to drop sound that the program could not take in time.
    static inline const QString kSoundLostMessage = QStringLiteral(
        "Enregistrement arrêté : le serveur de son a perdu du son que le programme n'a pas pu lire à temps. "
        "Le fichier contient tout le son jusqu'à la coupure.");

    RecordingControl(WaveInRecorder &recorder, EncoderWAV &encoder, clsDSP &effects,
                     RecordingMessages &messages, QString programFolder, QObject *parent = nullptr);

    // The controls the sequence reads (txtFile, Check1, cboDev, cboSamplerate, chkStereo).
    const QString &outputPath() const { return m_outputPath; }
    void setOutputPath(const QString &path) { m_outputPath = path; }
    void setNumbering(bool on) { m_numbering = on; }
    void setDeviceChosen(bool chosen) { m_deviceChosen = chosen; }
    void setRateText(const QString &text) { m_rateText = text; }
    void setStereo(bool stereo) { m_stereo = stereo; }

    // The record button: starts when idle, stops when recording.
    void cmdDo_Click();
    bool isRecording() const;

    // What the live display reads.
    const std::vector<std::int16_t> &intLastBlock() const { return m_intLastBlock; }
    std::int32_t lngRecordedMs() const { return m_lngRecordedMs; }
    std::int32_t lngBytesPerSec() const { return m_lngBytesPerSec; }
    // The file being recorded (or last recorded); outputPath() may already name the next one.
    const QString &recordingPath() const { return m_recordingPath; }

signals:
    void outputPathChanged(const QString &path); // txtFile's text and tooltip
    void recordingChanged(bool recording);       // caption "Stopper"/"Enregistrer", frames, buttons
    void blockRecorded();                        // after each block reached the encoder

private:
    void startRecording();
    bool checkOutput(std::int32_t rate, std::int16_t channels);
    bool openOutput(std::int32_t rate, std::int16_t channels);
    void nextNumberedName();
    void stopRecording();
    void clsRecorder_GotData(std::span<std::int16_t> intBuffer, std::int32_t &lngLen);
    void deviceLost();
    void dataLost();

    WaveInRecorder &m_recorder;
    EncoderWAV &m_encoder;
    clsDSP &m_effects;
    RecordingMessages &m_messages;
    const QString m_programFolder;

    QString m_outputPath;
    bool m_numbering = false;
    bool m_deviceChosen = false;
    QString m_rateText;
    bool m_stereo = true;

    std::vector<std::int16_t> m_intLastBlock;
    std::int32_t m_lngRecordedMs = 0;
    std::int32_t m_lngBytesPerSec = 0;
    QString m_recordingPath;
    bool m_effectsFaultShown = false;
};
