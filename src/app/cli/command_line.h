// The command line: `sonoriel SUBCOMMAND [ARGS]` does what the windows do on files, on the same
// engine classes, with progress and messages on stderr. Exit 0 on success, 1 on a failure
// (one French line on stderr), 2 on a usage error.
#pragma once

#include <QString>
#include <QStringList>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Subcommand {
    const char *name;
    const char *synopsis; // arguments after the name
    const char *summary;  // one line, French
    int (*run)(const QStringList &arguments);
};

// Prints a message on stderr, followed by a newline.
void printError(const QString &message);
// Prints "usage: sonoriel NAME SYNOPSIS" for the subcommand and returns kExitUsage.
int usageError(const Subcommand &command, const QString &problem);
// The same for a subcommand named in the table.
int usageErrorFor(const QString &name, const QString &problem);

int runDevices(const QStringList &arguments);
int runRecord(const QStringList &arguments);
int runJoin(const QStringList &arguments);
int runConvert(const QStringList &arguments);
int runFormats(const QStringList &arguments);
int runRepair(const QStringList &arguments);

} // namespace cli

int runCommandLine(int argc, char **argv);
