// `sonoriel convert IN.wav OUT.mp3 [--preset INDEX]`: converts as the conversion window's
// "&Encoder" does, with INDEX the position in the window's preset list (default 3, "Qualité
// Standard") and the window's progress text on stderr. An existing OUT is replaced, as the
// window does, but only once the new file is complete: a failed or interrupted conversion
// leaves it as it was. Ctrl+C, kill or a closed terminal (SIGINT, SIGTERM, SIGHUP) acts as
// "Annuler": the partial file is removed, "Encodage annulé" is said, and the command ends as
// that signal ends a program, so that a script converting many files stops as well.
#include "app/cli/command_line.h"
#include "app/cli/subcommands.h"

#include "common/app_error.h"
#include "common/paths.h"
#include "mp3/encoding_presets.h"
#include "mp3/lame_encoder.h"
#include "platform/files/interrupt_cleanup.h"
#include "platform/files/same_file.h"

#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace cli {
namespace {

// The progress line, rewritten in place on a terminal and only when its text changes.
class ProgressLine {
public:
    ProgressLine() : m_terminal(::isatty(STDERR_FILENO) == 1) {}

    void show(const QString &text)
    {
        if (text == m_last)
            return;
        m_last = text;
        QTextStream err(stderr);
        err << (m_terminal ? "\r" : "") << text << (m_terminal ? "" : "\n");
        err.flush();
    }
    void finish()
    {
        if (m_terminal && !m_last.isEmpty())
            QTextStream(stderr) << '\n';
        m_last.clear();
    }

private:
    bool m_terminal;
    QString m_last;
};

bool parsePreset(const QString &text, int &index)
{
    bool ok = false;
    index = text.toInt(&ok);
    return ok && index >= 0 && index < static_cast<int>(kEncodingPresets.size());
}

} // namespace

int runConvert(const QStringList &arguments)
{
    const QString name = QStringLiteral("convert");
    QStringList files;
    int presetIndex = kDefaultPresetIndex;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--preset")) {
            if (i + 1 >= arguments.size() || !parsePreset(arguments[i + 1], presetIndex))
                return usageErrorFor(name, QStringLiteral("--preset attend un numéro de 0 à 15."));
            ++i;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usageErrorFor(name, QStringLiteral("Option inconnue : %1").arg(argument));
        } else {
            files << argument;
        }
    }
    if (files.size() != 2)
        return usageErrorFor(name, QStringLiteral("Il faut un fichier Wave source et un fichier Mp3."));
    const QString &source = files[0];
    const QString &target = files[1];

    if (!FileExists(source)) {
        printError(QStringLiteral("Fichier source Wave introuvable : %1").arg(source));
        return kExitFailure;
    }
    // The target must not be the source under any name (a hard or symbolic link included):
    // replacing it would destroy the sound being read.
    if (isSameFileOnDisk(source, target)) {
        printError(QStringLiteral("Le fichier Mp3 ne peut pas être le fichier source : %1").arg(target));
        return kExitFailure;
    }

    cLameEncoder encoder;
    encoder.setEncodingPreset(kEncodingPresets[static_cast<std::size_t>(presetIndex)].value);
    encoder.setWavFile(source);
    encoder.replaceMp3File(target);

    // On a terminal the progress line has no end yet: the notice starts a line of its own.
    const QString lineStart = ::isatty(STDERR_FILENO) == 1 ? QStringLiteral("\n") : QString();
    const InterruptCleanup interrupt(lineStart +
                                     QStringLiteral("Encodage annulé : %1 n'a pas été enregistré.").arg(target));
    ProgressLine progress;
    encoder.setProgressHandler([&](std::int32_t done, std::int32_t total, bool &) {
        progress.show(encodingProgressText(done, total));
    });
    try {
        encoder.Encode();
    } catch (const AppError &error) {
        progress.finish();
        printError(error.message());
        return kExitFailure;
    }
    progress.finish();
    return kExitOk;
}

} // namespace cli
