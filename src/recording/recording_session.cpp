#include "recording/recording_session.h"

#include "common/app_error.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "effects/cls_dsp.h"
#include "recording/encoder_wav.h"
#include "recording/recording_numbering.h"
#include "recording/wave_in_recorder.h"

#include <QTimer>

namespace {

QString describeEffectsError(const AppError &error)
{
    return QStringLiteral("Effets : erreur %1 (%2, %3)").arg(error.number()).arg(error.text(), error.source());
}

RecordingFailure encoderRefused(const EncoderWAV &encoder)
{
    return {QStringLiteral("Ne peut pas initialiser l'encodeur !"), encoder.lastError()};
}

// Numbered names tried before giving up when other recordings keep taking them.
constexpr int kNameAttempts = 100;

} // namespace

const QString RecordingSession::kFileFullMessage = QStringLiteral(
    "Enregistrement arrêté : le fichier Wav a atteint sa taille maximale (4 Go). Le fichier est complet.");
const QString RecordingSession::kFileRemovedMessage =
    QStringLiteral("Enregistrement arrêté : le fichier Wav a été supprimé pendant l'enregistrement.");
const QString RecordingSession::kSoundLostMessage = QStringLiteral(
    "Enregistrement arrêté : le serveur de son a perdu du son que le programme n'a pas pu lire à temps. "
    "Le fichier contient tout le son jusqu'à la coupure.");
const QString RecordingSession::kDeviceLostMessage =
    QStringLiteral("L'enregistrement a été arrêté : le périphérique de capture ne répond plus.");

RecordingSession::RecordingSession(WaveInRecorder &recorder, EncoderWAV &encoder, clsDSP &effects,
                                   QString programFolder, QObject *parent)
    : QObject(parent), m_recorder(recorder), m_encoder(encoder), m_effects(effects),
      m_programFolder(std::move(programFolder))
{
    connect(&m_recorder, &WaveInRecorder::GotData, this, &RecordingSession::blockCaptured);
    connect(&m_recorder, &WaveInRecorder::DeviceLost, this, [this] {
        if (isRecording())
            end(StopCause::DeviceLost, {kDeviceLostMessage, {}});
    });
    connect(&m_recorder, &WaveInRecorder::DataLost, this, [this] {
        if (isRecording())
            end(StopCause::SoundLost, {kSoundLostMessage, {}});
    });
}

bool RecordingSession::isRecording() const
{
    return m_recorder.IsRecording();
}

std::optional<RecordingFailure> RecordingSession::checkRequest(const RecordingRequest &request)
{
    if (request.path.isEmpty())
        return RecordingFailure{QStringLiteral("Erreur ! Pas de nom de fichier pour l'enregistrement!"), {}};
    if (!request.deviceChosen)
        return RecordingFailure{QStringLiteral("Pas de dispositif sélectionné !"), {}};
    if (request.rateHz < 1)
        return RecordingFailure{QStringLiteral("Fréquence d'échantillonnage invalide !"), {}};
    return std::nullopt;
}

std::optional<RecordingFailure> RecordingSession::check(const RecordingRequest &request)
{
    if (auto failure = checkRequest(request))
        return failure;
    QString path = request.path;
    return checkOutput(path, request.numbered, request.rateHz, request.channels);
}

std::optional<RecordingFailure> RecordingSession::checkOutput(QString &path, bool numbered, std::int32_t rate,
                                                              std::int16_t channels)
{
    m_encoder.setCreateExclusively(numbered);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (m_encoder.checkInit(rate, channels, path) == EncoderWAV::kDone)
            return std::nullopt;
        if (!numbered || !m_encoder.nameTaken())
            break;
        path = nextNumberedRecordingPath(m_programFolder);
    }
    return encoderRefused(m_encoder);
}

std::optional<RecordingFailure> RecordingSession::openOutput(QString &path, bool numbered, std::int32_t rate,
                                                             std::int16_t channels)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (m_encoder.Encoder_EncoderInit(rate, channels, path) == EncoderWAV::kDone)
            return std::nullopt;
        if (!numbered || !m_encoder.nameTaken())
            break;
        path = nextNumberedRecordingPath(m_programFolder);
    }
    return encoderRefused(m_encoder);
}

std::optional<RecordingFailure> RecordingSession::start(const RecordingRequest &request)
{
    if (auto failure = checkRequest(request))
        return failure;
    // Everything that can refuse is asked before the output is created, so a start that fails
    // leaves a file already under that name as it was.
    QString path = request.path;
    if (auto failure = checkOutput(path, request.numbered, request.rateHz, request.channels))
        return failure;
    try {
        m_effects.setSamplerate(request.rateHz);
        m_effects.setChannels(request.channels);
    } catch (const AppError &error) {
        return RecordingFailure{describeEffectsError(error), {}};
    }
    if (!m_recorder.StartRecord(request.rateHz, request.channels))
        return RecordingFailure{QStringLiteral("Ne peut pas démarrer l'enregistrement !"), m_recorder.lastStartError()};
    // The device's first notices wait in the event queue until the file is open.
    if (auto failure = openOutput(path, request.numbered, request.rateHz, request.channels)) {
        m_recorder.StopRecord();
        return failure;
    }
    m_lngBytesPerSec = request.rateHz * request.channels * 2;
    m_lngRecordedMs = 0;
    m_recordingPath = path;
    m_effectsFaultSaid = false;
    return std::nullopt;
}

void RecordingSession::stop()
{
    if (isRecording())
        end(StopCause::User, {});
}

// Stops the device, closes the file with its header and resets the counters; then says why.
void RecordingSession::end(StopCause cause, const RecordingFailure &failure)
{
    m_recorder.StopRecord(); // always succeeds
    m_encoder.Encoder_EncoderClose();
    m_lngRecordedMs = 0;
    m_lngBytesPerSec = 0;
    emit stopped(cause, failure);
}

void RecordingSession::blockCaptured(std::span<std::int16_t> intBuffer, std::int32_t &lngLen)
{
    m_intLastBlock.assign(intBuffer.begin(), intBuffer.end());
    try {
        m_effects.ProcessSamples(m_intLastBlock);
    } catch (const AppError &error) {
        // The block stays as the effects left it (saturated); the recording goes on. The
        // message waits until this block has been written: a message box runs the event loop,
        // which must never hand over the next block while this one is still being handled.
        if (!m_effectsFaultSaid) {
            m_effectsFaultSaid = true;
            QTimer::singleShot(0, this, [this, text = describeEffectsError(error)] { emit effectsFault(text); });
        }
    }
    if (!isRecording() || m_lngBytesPerSec <= 0)
        return;
    m_lngRecordedMs = static_cast<std::int32_t>(
        roundHalfEven(static_cast<double>(lngLen) / m_lngBytesPerSec * 1000.0 + m_lngRecordedMs));

    std::int32_t used = 0;
    switch (m_encoder.Encoder_Encode(m_intLastBlock.data(), lngLen, used)) {
    case EncoderWAV::kWriteError:
        end(StopCause::WriteError, {QStringLiteral("Write error (no disk space left?)!"), m_encoder.lastError()});
        return;
    case EncoderWAV::kFileFull: // the block was not written; the file closes with the sound up to here
        end(StopCause::FileFull, {kFileFullMessage, {}});
        return;
    case EncoderWAV::kFileRemoved:
        end(StopCause::FileRemoved, {kFileRemovedMessage, m_recordingPath});
        return;
    default:
        break; // results 8 and 9 lose the block silently
    }
    emit blockRecorded();
}
