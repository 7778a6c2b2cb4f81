#include "app/cli/command_line.h"

#include "app/cli/program_parts.h"
#include "app/cli/subcommands.h"

#include "common/file_names.h"
#include "platform/library/private_library.h"
#include "platform/library/shared_library.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Loads the part and finds its entry; nullptr, with the French reason on stderr, when it cannot.
void *loadPart(SharedLibrary &library, const char *file, const char *entry)
{
    const Status opened = library.open(findPrivateLibrary(QLatin1String(file)));
    const Result<void *> function = opened ? library.symbol(entry) : Result<void *>(opened.failure());
    if (function)
        return *function;
    cli::printError(QStringLiteral("Sonoriel est incomplet : sa partie « %1 » ne se charge pas (%2).")
                        .arg(QLatin1String(file), function.reason()));
    return nullptr;
}

int runProgramCommand(const QString &name, const QStringList &arguments)
{
    if (name == QLatin1String("join"))
        return cli::runJoin(arguments);
    if (name == QLatin1String("convert"))
        return cli::runConvert(arguments);
    return cli::runRepair(arguments);
}

} // namespace

int runCommandLine(int argc, char **argv)
{
    // Without a subcommand the main window opens, in the window part, on a QApplication of its
    // own (none may exist before it).
    if (argc < 2) {
        SharedLibrary window;
        auto run = reinterpret_cast<WindowEntry>(loadPart(window, kWindowPartFile, kWindowEntry));
        return run ? run(argc, argv) : cli::kExitFailure;
    }

    // The arguments are taken from argv as bytes: QCoreApplication::arguments() would turn a
    // file name that is no valid UTF-8 into another name.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << fileNameFromBytes(argv[i]);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Sonoriel"));
    QCoreApplication::setApplicationName(QStringLiteral("Sonoriel"));
    const QString name = arguments.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        cli::printHelp(stdout);
        return cli::kExitOk;
    }
    const cli::Subcommand *command = cli::findSubcommand(name);
    if (!command) {
        cli::printError(QStringLiteral("Sous-commande inconnue : %1").arg(name));
        cli::printHelp(stderr);
        return cli::kExitUsage;
    }
    if (arguments.contains(QStringLiteral("--help"))) {
        cli::usageError(*command, {});
        return cli::kExitOk;
    }
    if (command->part == cli::Part::Program)
        return runProgramCommand(name, arguments);
    SharedLibrary recorder;
    auto run = reinterpret_cast<RecorderEntry>(loadPart(recorder, kRecorderPartFile, kRecorderEntry));
    return run ? run(command->name, &arguments) : cli::kExitFailure;
}
