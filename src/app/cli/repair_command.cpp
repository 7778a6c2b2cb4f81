// `sonoriel repair FILE.wav`: gives a WAV file (RIFF, RF64 or BW64) whose header sizes are zero
// or wrong (a recording cut off by a crash or a power loss, a file another program left
// unfinished) the sizes of the data it really holds, in whole blocks, without touching the sound. A file that is
// already right is left as it is (exit 0); one that cannot be made sense of is left unchanged
// with the reason (exit 1).
#include "app/cli/command_line.h"
#include "app/cli/subcommands.h"

#include "repair/wave_repair.h"

#include <QTextStream>

namespace cli {

int runRepair(const QStringList &arguments)
{
    const QString name = QStringLiteral("repair");
    for (const QString &argument : arguments)
        if (argument.startsWith(QLatin1String("--")))
            return usageErrorFor(name, QStringLiteral("Option inconnue : %1").arg(argument));
    if (arguments.size() != 1)
        return usageErrorFor(name, QStringLiteral("Il faut un fichier Wave à réparer."));
    const QString &path = arguments.first();

    const WaveRepairReport report = repairWaveFile(path);
    const QString unchanged = QStringLiteral(" Rien n'a été modifié.");
    switch (report.outcome) {
    case WaveRepairOutcome::Repaired:
        printError(QStringLiteral("Fichier réparé : %1 (données : %2 octets ; l'en-tête en annonçait %3).")
                       .arg(path)
                       .arg(report.dataBytes)
                       .arg(report.previousDataBytes) +
                   (report.becameRf64 ? QStringLiteral(" Ses données passant 4 Gio, il est désormais au format RF64.")
                                      : QString()));
        return kExitOk;
    case WaveRepairOutcome::AlreadyRight:
        printError(QStringLiteral("Le fichier est déjà correct, rien à réparer : %1 (données : %2 octets).")
                       .arg(path)
                       .arg(report.dataBytes));
        return kExitOk;
    case WaveRepairOutcome::CannotOpen:
        printError(QStringLiteral("Impossible d'ouvrir le fichier ") + report.reason);
        return kExitFailure;
    case WaveRepairOutcome::NotAFile:
        printError(QStringLiteral("%1 n'est pas un fichier.").arg(path) + unchanged);
        return kExitFailure;
    case WaveRepairOutcome::NotWave:
        printError(QStringLiteral("%1 n'est pas un fichier Wave reconnaissable.").arg(path) + unchanged);
        return kExitFailure;
    case WaveRepairOutcome::BadDs64:
        printError(QStringLiteral("%1 : %2").arg(path, report.reason) + unchanged);
        return kExitFailure;
    case WaveRepairOutcome::NoFormat:
        printError(QStringLiteral("%1 : aucun format utilisable avant les données.").arg(path) + unchanged);
        return kExitFailure;
    case WaveRepairOutcome::NoData:
        printError(QStringLiteral("%1 : aucun bloc de données.").arg(path) + unchanged);
        return kExitFailure;
    case WaveRepairOutcome::WriteFailed:
        printError(QStringLiteral("Erreur d'écriture dans le fichier ") + report.reason);
        return kExitFailure;
    }
    return kExitFailure;
}

} // namespace cli
