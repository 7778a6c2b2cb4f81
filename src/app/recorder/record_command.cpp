// `sonoriel record`: records the chosen device through the recording session, as the main
// window's button does, until the asked duration is recorded, the silence after the sound ran
// out, or SIGINT/SIGTERM/SIGHUP arrives, then stops it so that every file is complete. It may
// wait for a clock time first; SIGUSR1, or the space bar on its terminal, pauses and resumes;
// --monitor plays what is recorded on the default output meanwhile.
// The paths of the take's files go to stdout, a live size/duration line and the messages to
// stderr.
#include "app/cli/subcommands.h"
#include "app/recorder/recorder_commands.h"
#include "app/recorder/record_console.h"
#include "app/recorder/record_options.h"

#include "common/app_error.h"
#include "common/file_names.h"
#include "common/number_format.h"
#include "common/paths.h"
#include "common/rate_text.h"
#include "display/status_texts.h"
#include "effects/cls_dsp.h"
#include "platform/acm/output_formats.h"
#include "recording/encoder_wav.h"
#include "recording/recording_numbering.h"
#include "recording/recording_session.h"
#include "recording/take_options.h"
#include "recording/wave_in_recorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QScopeGuard>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace cli {
namespace {

volatile std::sig_atomic_t g_stopRequested = 0;
volatile std::sig_atomic_t g_pauseToggles = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

void togglePause(int)
{
    g_pauseToggles = g_pauseToggles + 1;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

QString liveText(const RecordingSession &session, std::int32_t recordedMs)
{
    const qint64 bytes = fileLengthNow(session.recordingPath());
    QString text = QStringLiteral("Taille : ") + FormatSize(static_cast<double>(bytes)) + QStringLiteral("  Durée : ") +
                   FormatDuration(recordedMs);
    if (session.isPaused())
        text += QStringLiteral("  (en pause)");
    else if (session.isWaitingForSound())
        text += QStringLiteral("  (en attente du son)");
    return text;
}

// Waits in the event loop until the clock reaches `at` (read again each time: the clock may be
// set meanwhile) or a stop signal arrives; false when stopped.
bool waitUntil(const QDateTime &at)
{
    QTimer clock;
    bool reached = false;
    QObject::connect(&clock, &QTimer::timeout, [&] {
        reached = QDateTime::currentDateTime() >= at;
        if (reached || g_stopRequested)
            QCoreApplication::quit();
    });
    clock.start(100);
    QCoreApplication::exec();
    return reached;
}

} // namespace

int runRecord(const QStringList &arguments)
{
    QString problem;
    const std::optional<RecordOptions> options = parseRecordOptions(arguments, &problem);
    if (!options)
        return usageErrorFor(QStringLiteral("record"), problem);

    const std::int32_t rate = rateFromText(options->rateText);
    const std::int16_t channels = options->stereo ? 2 : 1;
    if (rate > 0) {
        const auto frameBytes = 2u * static_cast<std::uint16_t>(channels);
        const auto blockFrames = static_cast<std::uint64_t>(WaveInRecorder::kDefaultBufferSize) / frameBytes;
        if (const auto takeProblem = takeOptionsProblem(options->take, rate, static_cast<std::uint16_t>(channels), blockFrames))
            return usageErrorFor(QStringLiteral("record"), *takeProblem);
    }

    const QString recordings = ensureRecordingsFolder();
    if (recordings.isEmpty()) {
        printError(QStringLiteral("Le dossier des enregistrements %1Wav ne peut pas être créé.").arg(programFolder()));
        return kExitFailure;
    }

    clsDSP effects;
    try {
        applyEffectOptions(*options, effects);
    } catch (const AppError &error) {
        printError(QStringLiteral("Réglage d'effet refusé : erreur %1 (%2, %3)")
                       .arg(error.number())
                       .arg(error.text(), error.source()));
        return kExitUsage;
    }

    QString notice;
    Result<std::unique_ptr<AudioBackend>> backend = createAudioBackend(&notice);
    if (!backend) {
        printError(backend.reason());
        return kExitFailure;
    }
    WaveInRecorder recorder(std::move(backend).value());
    if (!notice.isEmpty())
        printError(notice);
    if (!recorder.SelectDevice(options->device)) {
        const int count = recorder.DeviceCount();
        printError(QStringLiteral("Ne peut pas sélectionner le dispositif ! ") +
                   (options->device >= count
                        ? QStringLiteral("Aucun périphérique de capture n° %1 : la liste en compte %2 (voir « sonoriel devices »).")
                              .arg(options->device)
                              .arg(count)
                        : QStringLiteral("Le périphérique « %1 » ne répond plus.").arg(recorder.DeviceName(options->device))));
        return kExitFailure;
    }
    if (options->line && !recorder.SelectMixerLine(*options->line)) {
        const int count = recorder.MixerLineCount();
        printError(QStringLiteral("Ne peut pas sélectionner la ligne ! ") +
                   (*options->line >= count
                        ? QStringLiteral("Aucune ligne n° %1 : le périphérique en compte %2 (voir « sonoriel devices »).")
                              .arg(*options->line)
                              .arg(count)
                        : QStringLiteral("Le serveur de son refuse de changer de ligne.")));
        return kExitFailure;
    }
    if (options->volume)
        recorder.setMixerLineVolume(*options->volume);

    EncoderWAV encoder;
    // Lowers the largest RIFF file size, so that what happens at the end of a full-size file
    // (a next part, or RF64) can be tried without writing 4 GiB; it cannot raise it.
    if (const QByteArray limit = qgetenv("SONORIEL_MAX_WAV_BYTES"); !limit.isEmpty()) {
        bool ok = false;
        const qulonglong bytes = limit.toULongLong(&ok);
        if (ok)
            encoder.setMaxFileBytes(bytes);
    }
    if (!options->formatIndex) {
        // Without a chosen format the file holds the capture as it is: 16-bit PCM at its rate
        // and channels.
        encoder.SetPCMFormat(rate, channels);
    } else {
        const auto choices = reachableOutputFormats(WaveFormat::pcm(rate > 0 ? static_cast<std::uint32_t>(rate) : 0,
                                                                    static_cast<std::uint16_t>(channels), 16));
        if (*options->formatIndex >= static_cast<int>(choices.size()))
            return usageErrorFor(QStringLiteral("record"),
                                 QStringLiteral("Format %1 inconnu : voir « sonoriel formats »").arg(*options->formatIndex));
        const OutputFormatChoice &choice = choices[static_cast<std::size_t>(*options->formatIndex)];
        encoder.SetFormat(choice.record, choice.description, choice.tagName);
    }
    // The command line replaces an existing file, as command-line recorders do.
    RecordingRequest request;
    request.numbered = options->numbered && options->outputPath.isEmpty();
    request.path = !options->outputPath.isEmpty() ? options->outputPath
                   : request.numbered             ? nextNumberedRecordingPath(programFolder())
                                                  : AddBackslash(recordings) + QStringLiteral("Enregistrement.wav");
    request.rateHz = rate;
    request.channels = channels;
    request.take = options->take;

    StderrMessages messages;
    RecordingSession session(recorder, encoder, effects, programFolder());
    // Ctrl+C, a kill and a closed terminal all end the recording with its files complete.
    for (const int signal : kStopSignals)
        std::signal(signal, requestStop);
    std::signal(SIGUSR1, togglePause);
    g_stopRequested = 0;
    g_pauseToggles = 0;
    const auto restoreSignals = qScopeGuard([] {
        for (const int signal : kStopSignals)
            std::signal(signal, SIG_DFL);
        std::signal(SIGUSR1, SIG_DFL);
    });

    if (options->startAt) {
        // What would refuse the start is said now, not when the time comes.
        if (const std::optional<RecordingFailure> failure = session.check(request)) {
            messages.showMessage(failure->message, failure->reason);
            return kExitFailure;
        }
        const QDateTime at = nextOccurrence(*options->startAt);
        messages.showNotice(QStringLiteral("Enregistrement programmé le %1 à %2.")
                                .arg(at.date().toString(QStringLiteral("dd/MM/yyyy")), at.time().toString(QStringLiteral("HH:mm:ss"))));
        if (!waitUntil(at)) {
            messages.showNotice(QStringLiteral("Enregistrement programmé annulé : rien n'a été enregistré."));
            return kExitOk;
        }
    }
    // Monitoring that cannot be heard is news, not a failure: the recording goes on as asked.
    // The output opens with the take; monitoringFailed says when it cannot.
    QObject::connect(&session, &RecordingSession::monitoringFailed, [&](const RecordingFailure &failure) {
        messages.showNotice(QStringLiteral("Écoute impossible : ") + failure.reason);
    });
    (void)session.setMonitoring(options->monitor); // before a take it cannot fail
    if (const std::optional<RecordingFailure> failure = session.start(request)) {
        messages.showMessage(failure->message, failure->reason);
        return kExitFailure;
    }
    if (options->take.triggerDb)
        messages.showNotice(QStringLiteral("En attente du son (seuil %1 dBFS)…").arg(formatNumber(*options->take.triggerDb)));

    const std::int64_t limitMs = options->seconds ? static_cast<std::int64_t>(*options->seconds * 1000.0) : -1;
    std::int32_t recordedMs = 0; // kept past the stop, which resets the session's counter
    QObject::connect(&session, &RecordingSession::blockRecorded, [&] {
        recordedMs = session.lngRecordedMs();
        if (limitMs >= 0 && recordedMs >= limitMs)
            session.stop();
    });
    QObject::connect(&session, &RecordingSession::effectsFault, [&](const QString &text) { messages.showMessage(text); });
    QObject::connect(&session, &RecordingSession::triggered,
                     [&] { messages.showNotice(QStringLiteral("Son détecté : l'enregistrement commence.")); });
    QObject::connect(&session, &RecordingSession::partStarted, [&](const QString &path, bool full) {
        if (full)
            messages.showNotice(RecordingSession::kNextPartMessage.arg(path));
    });
    QObject::connect(&session, &RecordingSession::stopped, [&](StopCause cause, const RecordingFailure &failure) {
        if (cause == StopCause::Silence)
            messages.showNotice(failure.message);
        else if (cause != StopCause::User)
            messages.showMessage(failure.message, failure.reason);
        QCoreApplication::quit();
    });
    const auto togglePauseNow = [&] {
        if (!session.isRecording())
            return;
        session.setPaused(!session.isPaused());
        messages.showNotice(session.isPaused() ? QStringLiteral("Enregistrement en pause.")
                                               : QStringLiteral("Enregistrement repris."));
    };
    SpaceBar spaceBar;
    QObject::connect(&spaceBar, &SpaceBar::pressed, togglePauseNow);
    std::sig_atomic_t pauseTogglesSeen = 0;
    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, [&] {
        if (g_stopRequested)
            session.stop();
        for (; pauseTogglesSeen != g_pauseToggles; ++pauseTogglesSeen)
            togglePauseNow();
    });
    signalWatch.start(20);
    QTimer liveLine;
    QObject::connect(&liveLine, &QTimer::timeout, [&] { messages.showLiveLine(liveText(session, recordedMs)); });
    liveLine.start(250);

    QCoreApplication::exec();
    messages.showLiveLine(liveText(session, recordedMs));
    messages.endLiveLine();

    for (const QString &file : session.takeFiles()) {
        const QByteArray line = fileNameBytes(file) + '\n'; // the name's own bytes
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    }
    // A recording ended by a write error or a vanished device is kept, but is a failure: it
    // holds less than was asked; so is one whose effects failed.
    return messages.count() == 0 ? kExitOk : kExitFailure;
}

} // namespace cli
