// `sonoriel formats [--rate HZ] [--mono|--stereo]`: the output formats a 16-bit PCM recording at
// that rate and channel count (44100 Hz stereo by default) can be written in, one line each,
// "INDEX: TAG - DESCRIPTION". The indices are those that `record --format INDEX` takes.
#include "app/cli/subcommands.h"
#include "app/recorder/recorder_commands.h"

#include "platform/acm/output_formats.h"

#include <QTextStream>

namespace cli {

int runFormats(const QStringList &arguments)
{
    const QString name = QStringLiteral("formats");
    std::uint32_t rateHz = 44100;
    std::uint16_t channels = 2;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--mono") || argument == QLatin1String("--stereo")) {
            channels = argument == QLatin1String("--mono") ? 1 : 2;
            continue;
        }
        if (argument != QLatin1String("--rate"))
            return usageErrorFor(name, QStringLiteral("Argument inattendu : %1").arg(argument));
        if (i + 1 >= arguments.size())
            return usageErrorFor(name, QStringLiteral("--rate demande une fréquence en Hz."));
        bool number = false;
        const uint value = arguments[++i].toUInt(&number);
        if (!number || value == 0)
            return usageErrorFor(name, QStringLiteral("Fréquence invalide : %1").arg(arguments[i]));
        rateHz = value;
    }

    const std::vector<OutputFormatChoice> choices =
        reachableOutputFormats(WaveFormat::pcm(rateHz, channels, 16));
    if (choices.empty()) {
        printError(QStringLiteral("Aucun format de sortie pour un enregistrement à %1 Hz.").arg(rateHz));
        return kExitFailure;
    }
    QTextStream out(stdout);
    for (std::size_t i = 0; i < choices.size(); ++i)
        out << i << ": " << choices[i].tagName << " - " << choices[i].description << '\n';
    return kExitOk;
}

} // namespace cli
