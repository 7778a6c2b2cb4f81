#include "recording/recording_control.h"

#include "common/app_error.h"
#include "common/rounding.h"
#include "effects/cls_dsp.h"
#include "recording/encoder_wav.h"
#include "recording/recording_numbering.h"
#include "recording/wave_in_recorder.h"

#include "common/paths.h"

#include <QTimer>

namespace {

// The whole number at the start of the rate text ("44100", " 22050 Hz"); 0 when there is none.
std::int32_t leadingNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && digits < 9 && trimmed[digits].isDigit())
        ++digits;
    return digits ? trimmed.left(digits).toInt() : 0;
}

QString describeEffectsError(const AppError &error)
{
    return QStringLiteral("Effets : erreur %1 (%2, %3)").arg(error.number()).arg(error.text(), error.source());
}

// Numbered names tried before giving up when other recordings keep taking them.
constexpr int kNameAttempts = 100;

} // namespace

RecordingControl::RecordingControl(WaveInRecorder &recorder, EncoderWAV &encoder, clsDSP &effects,
                                   RecordingMessages &messages, QString programFolder, QObject *parent)
    : QObject(parent), m_recorder(recorder), m_encoder(encoder), m_effects(effects), m_messages(messages),
      m_programFolder(std::move(programFolder))
{
    connect(&m_recorder, &WaveInRecorder::GotData, this, &RecordingControl::clsRecorder_GotData);
    connect(&m_recorder, &WaveInRecorder::DeviceLost, this, &RecordingControl::deviceLost);
    connect(&m_recorder, &WaveInRecorder::DataLost, this, &RecordingControl::dataLost);
}

bool RecordingControl::isRecording() const
{
    return m_recorder.IsRecording();
}

void RecordingControl::cmdDo_Click()
{
    if (m_numbering) {
        // Runs before a stop too: the file being recorded exists, so the name moves on to the
        // next free number, ready for the next recording.
        m_outputPath = nextNumberedRecordingPath(m_programFolder);
        emit outputPathChanged(m_outputPath);
    }
    if (m_recorder.IsRecording())
        stopRecording();
    else
        startRecording();
}

void RecordingControl::stopRecording()
{
    if (!m_recorder.StopRecord())
        m_messages.showMessage(QStringLiteral("Ne peut pas arrêter l'enregistrement!"));
    m_encoder.Encoder_EncoderClose();
    m_lngRecordedMs = 0;
    m_lngBytesPerSec = 0;
    emit recordingChanged(false);
}

void RecordingControl::startRecording()
{
    if (m_outputPath.isEmpty()) {
        m_messages.showMessage(QStringLiteral("Erreur ! Pas de nom de fichier pour l'enregistrement!"));
        return;
    }
    if (!m_deviceChosen) {
        m_messages.showMessage(QStringLiteral("Pas de dispositif sélectionné !"));
        return;
    }
    const std::int32_t rate = leadingNumber(m_rateText);
    if (rate < 1) {
        m_messages.showMessage(QStringLiteral("Fréquence d'échantillonnage invalide !"));
        return;
    }
    const std::int16_t channels = m_stereo ? 2 : 1;

    // Everything that can refuse is asked before the output is created, so a start that fails
    // leaves a file already under that name as it was.
    if (!checkOutput(rate, channels))
        return;
    if (!m_numbering && FileExists(m_outputPath) && !m_messages.confirmReplace(m_outputPath))
        return;
    try {
        m_effects.setSamplerate(rate);
        m_effects.setChannels(channels);
    } catch (const AppError &error) {
        m_messages.showMessage(describeEffectsError(error));
        return;
    }
    if (!m_recorder.StartRecord(rate, channels)) {
        m_messages.showMessage(QStringLiteral("Ne peut pas démarrer l'enregistrement !"), m_recorder.lastStartError());
        return;
    }
    // The device's first notices wait in the event queue until the file is open.
    if (!openOutput(rate, channels)) {
        m_recorder.StopRecord();
        return;
    }
    m_lngBytesPerSec = rate * channels * 2;
    m_recordingPath = m_outputPath;
    m_effectsFaultShown = false;
    emit recordingChanged(true);
}

// A numbered name another recording took meanwhile gives way to the next free one.
void RecordingControl::nextNumberedName()
{
    m_outputPath = nextNumberedRecordingPath(m_programFolder);
    emit outputPathChanged(m_outputPath);
}

bool RecordingControl::checkOutput(std::int32_t rate, std::int16_t channels)
{
    m_encoder.setCreateExclusively(m_numbering);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (m_encoder.checkInit(rate, channels, m_outputPath) == EncoderWAV::kDone)
            return true;
        if (!m_numbering || !m_encoder.nameTaken())
            break;
        nextNumberedName();
    }
    m_messages.showMessage(QStringLiteral("Ne peut pas initialiser l'encodeur !"), m_encoder.lastError());
    return false;
}

bool RecordingControl::openOutput(std::int32_t rate, std::int16_t channels)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (m_encoder.Encoder_EncoderInit(rate, channels, m_outputPath) == EncoderWAV::kDone)
            return true;
        if (!m_numbering || !m_encoder.nameTaken())
            break;
        nextNumberedName();
    }
    m_messages.showMessage(QStringLiteral("Ne peut pas initialiser l'encodeur !"), m_encoder.lastError());
    return false;
}

void RecordingControl::clsRecorder_GotData(std::span<std::int16_t> intBuffer, std::int32_t &lngLen)
{
    m_intLastBlock.assign(intBuffer.begin(), intBuffer.end());
    try {
        m_effects.ProcessSamples(m_intLastBlock);
    } catch (const AppError &error) {
        // The block stays as the effects left it (saturated); the recording goes on. The
        // message waits until this block has been handled: a message box runs the event loop,
        // which must never hand over the next block while this one is still being written.
        if (!m_effectsFaultShown) {
            m_effectsFaultShown = true;
            QTimer::singleShot(0, this, [this, text = describeEffectsError(error)] { m_messages.showMessage(text); });
        }
    }
    if (!m_recorder.IsRecording() || m_lngBytesPerSec <= 0)
        return;
    m_lngRecordedMs = static_cast<std::int32_t>(
        roundHalfEven(static_cast<double>(lngLen) / m_lngBytesPerSec * 1000.0 + m_lngRecordedMs));

    std::int32_t used = 0;
    const std::int32_t result = m_encoder.Encoder_Encode(m_intLastBlock.data(), lngLen, used);
    if (result == EncoderWAV::kWriteError) {
        const QString reason = m_encoder.lastError();
        cmdDo_Click();
        m_messages.showMessage(QStringLiteral("Write error (no disk space left?)!"), reason);
        return;
    }
    if (result == EncoderWAV::kFileFull) {
        // The block was not written; the file closes complete, with the sound up to here.
        cmdDo_Click();
        m_messages.showMessage(kFileFullMessage);
        return;
    }
    if (result == EncoderWAV::kFileRemoved) {
        cmdDo_Click();
        m_messages.showMessage(kFileRemovedMessage, m_recordingPath);
        return;
    }
    emit blockRecorded();
}

void RecordingControl::deviceLost()
{
    if (!m_recorder.IsRecording())
        return;
    cmdDo_Click();
    m_messages.showMessage(QStringLiteral("L'enregistrement a été arrêté : le périphérique de capture ne répond plus."));
}

void RecordingControl::dataLost()
{
    if (!m_recorder.IsRecording())
        return;
    cmdDo_Click();
    m_messages.showMessage(kSoundLostMessage);
}
