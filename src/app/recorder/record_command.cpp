// `sonoriel record`: records the chosen device through the recording session, as the main
// window's button does, until the asked duration is recorded or SIGINT/SIGTERM/SIGHUP arrives, then stops
// it so that the file is complete. The path goes to stdout, a live size/duration line and the
// messages to stderr.
#include "app/cli/subcommands.h"
#include "app/recorder/recorder_commands.h"
#include "app/recorder/record_options.h"

#include "common/app_error.h"
#include "common/file_names.h"
#include "common/paths.h"
#include "common/rate_text.h"
#include "display/status_texts.h"
#include "effects/cls_dsp.h"
#include "platform/acm/output_formats.h"
#include "recording/encoder_wav.h"
#include "recording/recording_numbering.h"
#include "recording/recording_session.h"
#include "recording/wave_in_recorder.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace cli {
namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

// stderr: the live size and duration line, rewritten in place, and the messages, each on a line
// of its own after it.
class StderrMessages {
public:
    void showMessage(const QString &text, const QString &reason = {})
    {
        if (m_liveLine)
            QTextStream(stderr) << '\n';
        m_liveLine = false;
        printError(reason.isEmpty() ? text : text + QLatin1Char(' ') + reason);
        ++m_count;
    }
    void showLiveLine(const QString &text)
    {
        QTextStream(stderr) << '\r' << text << "   ";
        m_liveLine = true;
    }
    void endLiveLine()
    {
        if (m_liveLine)
            QTextStream(stderr) << '\n';
        m_liveLine = false;
    }
    int count() const { return m_count; }

private:
    int m_count = 0;
    bool m_liveLine = false;
};

QString liveText(const QString &path, std::int32_t recordedMs)
{
    const qint64 bytes = fileLengthNow(path);
    return QStringLiteral("Taille : ") + FormatSize(static_cast<double>(bytes)) + QStringLiteral("  Durée : ") +
           FormatDuration(recordedMs);
}

} // namespace

int runRecord(const QStringList &arguments)
{
    QString problem;
    const std::optional<RecordOptions> options = parseRecordOptions(arguments, &problem);
    if (!options)
        return usageErrorFor(QStringLiteral("record"), problem);

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
    // Lowers the largest file size, so that the stop at the end of a full-size file can be
    // tried without writing 4 GiB; it cannot raise it.
    if (const QByteArray limit = qgetenv("SONORIEL_MAX_WAV_BYTES"); !limit.isEmpty()) {
        bool ok = false;
        const qulonglong bytes = limit.toULongLong(&ok);
        if (ok)
            encoder.setMaxFileBytes(bytes);
    }
    const std::int32_t rate = rateFromText(options->rateText);
    const std::int16_t channels = options->stereo ? 2 : 1;
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

    StderrMessages messages;
    RecordingSession session(recorder, encoder, effects, programFolder());
    // Ctrl+C, a kill and a closed terminal all end the recording with its file complete.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, requestStop);
    g_stopRequested = 0;

    if (const std::optional<RecordingFailure> failure = session.start(request)) {
        messages.showMessage(failure->message, failure->reason);
        return kExitFailure;
    }
    const std::int64_t limitMs = options->seconds ? static_cast<std::int64_t>(*options->seconds * 1000.0) : -1;
    std::int32_t recordedMs = 0; // kept past the stop, which resets the session's counter
    QObject::connect(&session, &RecordingSession::blockRecorded, [&] {
        recordedMs = session.lngRecordedMs();
        if (limitMs >= 0 && recordedMs >= limitMs)
            session.stop();
    });
    QObject::connect(&session, &RecordingSession::effectsFault, [&](const QString &text) { messages.showMessage(text); });
    QObject::connect(&session, &RecordingSession::stopped, [&](StopCause cause, const RecordingFailure &failure) {
        if (cause != StopCause::User)
            messages.showMessage(failure.message, failure.reason);
        QCoreApplication::quit();
    });
    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, [&] {
        if (g_stopRequested)
            session.stop();
    });
    signalWatch.start(20);
    QTimer liveLine;
    QObject::connect(&liveLine, &QTimer::timeout,
                     [&] { messages.showLiveLine(liveText(session.recordingPath(), recordedMs)); });
    liveLine.start(250);

    QCoreApplication::exec();
    messages.showLiveLine(liveText(session.recordingPath(), recordedMs));
    messages.endLiveLine();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);

    const QByteArray line = fileNameBytes(session.recordingPath()) + '\n'; // the name's own bytes
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    // A recording ended by a write error, a full-size file or a vanished device is kept, but
    // is a failure: it holds less than was asked; so is one whose effects failed.
    return messages.count() == 0 ? kExitOk : kExitFailure;
}

} // namespace cli
