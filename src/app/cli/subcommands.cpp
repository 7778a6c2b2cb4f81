#include "app/cli/subcommands.h"

#include "common/file_names.h"

#include <QTextStream>

#include <cstdio>
#include <iterator>

namespace cli {
namespace {

const Subcommand kSubcommands[] = {
    {"devices", "", "liste les périphériques de capture, « INDEX: NOM », et leurs lignes", Part::Recorder},
    {"record",
     "[SORTIE.wav] [--numbered] [--device N] [--line N] [--volume V] [--rate HZ] [--mono|--stereo] "
     "[--seconds S] [--effects echo,phaser,amplifier,equalizer] [--amplify DB] [--echo MS,FACTEUR] "
     "[--phaser SEC,HUMIDE,RÉINJECTION,VITESSE,ÉTENDUE,FRÉQ] [--eq G0,G1,G2,G3,G4,G5,G6] [--format INDEX] "
     "[--start-at HH:MM[:SS]] [--trigger DB [--pre-record S] [--stop-after-silence S]] [--split S] [--rf64] "
     "[--monitor]",
     "enregistre le périphérique de capture dans un fichier Wav (SIGUSR1 ou la barre d'espace : pause)",
     Part::Recorder},
    {"join", "SORTIE.wav ENTRÉE1.wav ENTRÉE2.wav [ENTRÉE3.wav …]",
     "joint des fichiers Wav de même format, dans l'ordre donné", Part::Program},
    {"convert", "ENTRÉE.wav SORTIE.mp3 [--preset INDEX]",
     "convertit un fichier Wav 16 bits stéréo en Mp3 (INDEX 0 à 15 dans la liste des options "
     "d'encodage, 3 par défaut)", Part::Program},
    {"formats", "[--rate HZ] [--mono|--stereo]",
     "liste les formats de sortie Wav, « INDEX: FORMAT - ATTRIBUTS », d'un enregistrement à cette "
     "fréquence (44100 Hz stéréo par défaut)", Part::Recorder},
    {"repair", "FICHIER.wav",
     "corrige les tailles de l'en-tête d'un fichier Wav interrompu (plantage, coupure) d'après les "
     "données présentes, en blocs entiers, sans toucher au son", Part::Program},
};

} // namespace

void printHelp(FILE *stream)
{
    QTextStream out(stream);
    out << "Sonoriel, enregistreur de son.\n\n"
        << "usage: sonoriel [SOUS-COMMANDE [ARGUMENTS]]\n\n"
        << "Sous-commandes :\n";
    for (const Subcommand &command : kSubcommands) {
        out << "  " << command.name;
        if (*command.synopsis)
            out << ' ' << QString::fromUtf8(command.synopsis);
        out << "\n      " << QString::fromUtf8(command.summary) << '\n';
    }
    out << "\n  --help  affiche cette aide\n";
}

const Subcommand *findSubcommand(const QString &name)
{
    for (const Subcommand &command : kSubcommands)
        if (name == QLatin1String(command.name))
            return &command;
    return nullptr;
}

void printError(const QString &message)
{
    // A file name in the message goes out as the bytes it has on the disk, whether or not
    // they are valid text.
    const QByteArray line = fileNameBytes(message) + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

int usageError(const Subcommand &command, const QString &problem)
{
    if (!problem.isEmpty())
        printError(problem);
    printError(QStringLiteral("usage: sonoriel %1 %2")
                   .arg(QLatin1String(command.name), QString::fromUtf8(command.synopsis))
                   .trimmed());
    return kExitUsage;
}

int usageErrorFor(const QString &name, const QString &problem)
{
    const Subcommand *command = findSubcommand(name);
    return command ? usageError(*command, problem) : kExitUsage;
}

} // namespace cli
