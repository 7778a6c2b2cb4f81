// The command line: `sonoriel SUBCOMMAND [ARGS]` does what the windows do on files, on the same
// engine classes, with progress and messages on stderr. Exit 0 on success, 1 on a failure
// (one French line on stderr), 2 on a usage error.
//
// The subcommands that work on files (join, convert, repair) are the program's own; those that
// need the sound system or the codecs (record, devices, formats) live in the program's recorder
// part, a library loaded only when one of them runs, as the main window is. This file is what
// the program and its parts share: the subcommands' texts and the form of their messages.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Where a subcommand runs: in the program itself, or in its recorder part.
enum class Part { Program, Recorder };

struct Subcommand {
    const char *name;
    const char *synopsis; // arguments after the name
    const char *summary;  // one line, French
    Part part;
};

// The subcommand of that name; nullptr when there is none.
const Subcommand *findSubcommand(const QString &name);
// "Sonoriel, enregistreur de son.", the usage line and every subcommand with its arguments.
void printHelp(FILE *stream);

// Prints a message on stderr, followed by a newline.
void printError(const QString &message);
// Prints "usage: sonoriel NAME SYNOPSIS" for the subcommand and returns kExitUsage.
int usageError(const Subcommand &command, const QString &problem);
// The same for a subcommand named in the table.
int usageErrorFor(const QString &name, const QString &problem);

} // namespace cli
