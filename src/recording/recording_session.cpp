#include "recording/recording_session.h"

#include "common/app_error.h"
#include "common/number_format.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "effects/cls_dsp.h"
#include "platform/audio/monitor_output.h"
#include "recording/encoder_wav.h"
#include "recording/recording_numbering.h"
#include "recording/sound_trigger.h"
#include "recording/take_writer.h"
#include "recording/wave_in_recorder.h"

#include <QTimer>

#include <algorithm>

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
const QString RecordingSession::kSilenceMessage = QStringLiteral("Enregistrement arrêté après %1 s de silence.");
const QString RecordingSession::kMonitorFailedMessage = QStringLiteral("Écoute impossible.");
const QString RecordingSession::kNextPartMessage = QStringLiteral(
    "Le fichier Wav a atteint sa taille maximale (4 Go) : l'enregistrement continue dans « %1 ».");

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

RecordingSession::~RecordingSession() = default;

bool RecordingSession::isRecording() const
{
    return m_recorder.IsRecording();
}

bool RecordingSession::isWaitingForSound() const
{
    return isRecording() && m_trigger && m_trigger->isArmed();
}

void RecordingSession::setPaused(bool paused)
{
    m_paused = paused && isRecording();
}

std::optional<RecordingFailure> RecordingSession::setMonitoring(bool on)
{
    m_monitoring = on;
    if (!on) {
        m_monitor.reset();
        return std::nullopt;
    }
    if (!isRecording() || m_monitor)
        return std::nullopt;
    return openMonitor();
}

std::optional<RecordingFailure> RecordingSession::openMonitor()
{
    Result<std::unique_ptr<MonitorOutput>> output = m_recorder.openMonitor(m_captureFormat);
    if (!output) {
        m_monitoring = false;
        return RecordingFailure{kMonitorFailedMessage, output.reason()};
    }
    m_monitor = std::move(output).value();
    return std::nullopt;
}

// Said once the block in hand has been handled, as effectsFault is.
void RecordingSession::sayMonitoringFailed(const RecordingFailure &failure)
{
    QTimer::singleShot(0, this, [this, failure] { emit monitoringFailed(failure); });
}

QString RecordingSession::firstFile(const RecordingRequest &request)
{
    return TakeWriter::firstFile(request.path, request.take.splitSeconds.has_value());
}

std::optional<RecordingFailure> RecordingSession::checkRequest(const RecordingRequest &request)
{
    if (request.path.isEmpty())
        return RecordingFailure{QStringLiteral("Erreur ! Pas de nom de fichier pour l'enregistrement!"), {}};
    if (!request.deviceChosen)
        return RecordingFailure{QStringLiteral("Pas de dispositif sélectionné !"), {}};
    if (request.rateHz < 1)
        return RecordingFailure{QStringLiteral("Fréquence d'échantillonnage invalide !"), {}};
    const auto channels = static_cast<std::uint16_t>(std::max<std::int16_t>(request.channels, 1));
    const std::uint64_t blockFrames = static_cast<std::uint64_t>(std::max(m_recorder.BufferSize(), 2)) / (2u * channels);
    if (auto problem = takeOptionsProblem(request.take, request.rateHz, channels, blockFrames))
        return RecordingFailure{*problem, {}};
    m_encoder.setRf64(request.take.rf64);
    return std::nullopt;
}

std::optional<RecordingFailure> RecordingSession::check(const RecordingRequest &request)
{
    if (auto failure = checkRequest(request))
        return failure;
    QString path = request.path;
    return checkOutput(path, request.take.splitSeconds.has_value(), request.numbered, request.rateHz, request.channels);
}

std::optional<RecordingFailure> RecordingSession::checkOutput(QString &path, bool split, bool numbered,
                                                              std::int32_t rate, std::int16_t channels)
{
    m_encoder.setCreateExclusively(numbered);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (m_encoder.checkInit(rate, channels, TakeWriter::firstFile(path, split)) == EncoderWAV::kDone)
            return std::nullopt;
        if (!numbered || !m_encoder.nameTaken())
            break;
        path = nextNumberedRecordingPath(m_programFolder);
    }
    return encoderRefused(m_encoder);
}

std::optional<RecordingFailure> RecordingSession::openOutput(QString &path, bool split, bool numbered,
                                                             std::int32_t rate, std::int16_t channels)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (m_encoder.Encoder_EncoderInit(rate, channels, TakeWriter::firstFile(path, split)) == EncoderWAV::kDone)
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
    const bool split = request.take.splitSeconds.has_value();
    QString path = request.path;
    if (auto failure = checkOutput(path, split, request.numbered, request.rateHz, request.channels))
        return failure;
    try {
        m_effects.setSamplerate(request.rateHz);
        m_effects.setChannels(request.channels);
    } catch (const AppError &error) {
        return RecordingFailure{describeEffectsError(error), {}};
    }
    const auto channels = static_cast<std::uint16_t>(request.channels);
    std::unique_ptr<SoundTrigger> trigger;
    try {
        SoundTrigger::Settings settings;
        settings.thresholdDb = request.take.triggerDb;
        settings.preRecordFrames = framesIn(request.take.preRecordSeconds, request.rateHz);
        if (request.take.silenceStopSeconds)
            settings.silenceFrames = framesIn(*request.take.silenceStopSeconds, request.rateHz);
        trigger = std::make_unique<SoundTrigger>(settings, channels);
    } catch (const std::bad_alloc &) {
        return RecordingFailure{QStringLiteral("Mémoire insuffisante pour %1 s de pré-enregistrement.")
                                    .arg(request.take.preRecordSeconds),
                                {}};
    }
    if (!m_recorder.StartRecord(request.rateHz, request.channels))
        return RecordingFailure{QStringLiteral("Ne peut pas démarrer l'enregistrement !"), m_recorder.lastStartError()};
    // The device's first notices wait in the event queue until the file is open.
    if (auto failure = openOutput(path, split, request.numbered, request.rateHz, request.channels)) {
        m_recorder.StopRecord();
        return failure;
    }
    std::optional<std::uint64_t> splitFrames;
    if (split)
        splitFrames = framesIn(*request.take.splitSeconds, request.rateHz);
    m_writer = std::make_unique<TakeWriter>(m_encoder, path, request.rateHz, channels, splitFrames);
    m_writer->partStarted = [this](const QString &file, bool full) {
        m_recordingPath = file;
        m_takeFiles = m_writer->files();
        emit partStarted(file, full);
    };
    m_trigger = std::move(trigger);
    m_lngBytesPerSec = request.rateHz * request.channels * 2;
    m_lngRecordedMs = 0;
    m_recordingPath = m_writer->files().front();
    m_takeFiles = m_writer->files();
    m_effectsFaultSaid = false;
    m_paused = false;
    m_silenceStopSeconds = request.take.silenceStopSeconds.value_or(0);
    m_captureFormat = WaveFormat::pcm(static_cast<std::uint32_t>(request.rateHz), channels, 16);
    if (m_monitoring)
        if (auto failure = openMonitor())
            sayMonitoringFailed(*failure);
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
    m_monitor.reset();
    m_encoder.Encoder_EncoderClose();
    m_lngRecordedMs = 0;
    m_lngBytesPerSec = 0;
    m_paused = false;
    m_trigger.reset(); // a large pre-recording ring goes back at once
    if (m_writer)
        m_takeFiles = m_writer->files();
    m_writer.reset();
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
    const auto samples = std::span<const std::int16_t>(m_intLastBlock).first(
        std::min(m_intLastBlock.size(), static_cast<std::size_t>(std::max(lngLen, 0)) / 2));
    if (m_monitor)
        monitorBlock(samples);
    if (!isRecording() || m_lngBytesPerSec <= 0 || m_paused || !m_trigger)
        return;
    const SoundTrigger::Output gated = m_trigger->feed(samples);
    if (gated.triggered)
        emit triggered();
    if (!writeToTake(gated.preRecorded) || !writeToTake(gated.block))
        return;
    emit blockRecorded();
    if (gated.ended && isRecording())
        end(StopCause::Silence, {kSilenceMessage.arg(formatNumber(m_silenceStopSeconds)), {}});
}

void RecordingSession::monitorBlock(std::span<const std::int16_t> samples)
{
    const Status played = m_monitor->play(samples);
    if (played)
        return;
    m_monitor.reset();
    m_monitoring = false;
    sayMonitoringFailed({kMonitorFailedMessage, played.reason()});
}

// False when the take ended on the way.
bool RecordingSession::writeToTake(std::span<const std::int16_t> samples)
{
    if (samples.empty())
        return true;
    m_lngRecordedMs = static_cast<std::int32_t>(
        roundHalfEven(static_cast<double>(samples.size_bytes()) / m_lngBytesPerSec * 1000.0 + m_lngRecordedMs));
    switch (m_writer->write(samples)) {
    case TakeWriter::Outcome::Written:
        return true;
    case TakeWriter::Outcome::WriteError:
        end(StopCause::WriteError, {QStringLiteral("Write error (no disk space left?)!"), m_encoder.lastError()});
        return false;
    case TakeWriter::Outcome::FileFull: // the block was not written; the file closes with the sound up to here
        end(StopCause::FileFull, {kFileFullMessage, {}});
        return false;
    case TakeWriter::Outcome::FileRemoved:
        end(StopCause::FileRemoved, {kFileRemovedMessage, m_recordingPath});
        return false;
    case TakeWriter::Outcome::PartRefused:
        end(StopCause::WriteError, {QStringLiteral("Ne peut pas créer la partie suivante de l'enregistrement !"),
                                    m_encoder.lastError()});
        return false;
    }
    return true;
}
