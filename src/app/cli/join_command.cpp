// `sonoriel join OUT.wav IN1.wav IN2.wav [IN3.wav ...]`: joins the files in the given order,
// as the join window's "Créer le fichier Wav" does, with the window's log lines on stderr.
// Ctrl+C, kill or a closed terminal (SIGINT, SIGTERM, SIGHUP) removes the partial file, says so,
// and ends the command as that signal ends a program; OUT stays as it was.
#include "app/cli/command_line.h"
#include "app/cli/subcommands.h"

#include "join/join_engine.h"

#include "common/app_error.h"
#include "platform/files/interrupt_cleanup.h"

#include <QTextStream>

#include <vector>

namespace cli {
namespace {

class StderrJoinLog : public JoinLog {
public:
    void addLine(const QString &line) override { printError(line); }
};

} // namespace

int runJoin(const QStringList &arguments)
{
    if (arguments.size() < 3)
        return usageErrorFor(QStringLiteral("join"),
                             QStringLiteral("Il faut un fichier à créer et au moins deux fichiers "
                                            "à joindre."));
    const QString outputPath = arguments.first();
    try {
        // Every header is read before the output is created, so a refused file leaves
        // nothing written.
        std::vector<JoinFileInfo> files;
        for (const QString &input : arguments.mid(1)) {
            JoinFileInfo record;
            record.fileName = input;
            ReadWaveHeader(record);
            files.push_back(record);
        }
        StderrJoinLog log;
        if (!CheckJoinCompatibility(files, log))
            return kExitFailure;
        const InterruptCleanup interrupt(
            QStringLiteral("Jonction interrompue : %1 n'a pas été enregistré.").arg(outputPath));
        JoinWaveFiles(outputPath, files);
        log.addLine(QStringLiteral("Fichier enregistré:"));
        log.addLine(QLatin1Char(' ') + outputPath);
        return kExitOk;
    } catch (const AppError &error) {
        printError(error.text());
        return kExitFailure;
    }
}

} // namespace cli
