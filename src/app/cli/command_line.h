// The program's entry: the subcommands that work on files run here; record, devices and formats
// run in the recorder part and the main window in the window part, each a library of the
// program loaded only when it is used, so that a join or a conversion loads neither the sound
// system, nor the codecs, nor the widgets.
#pragma once

#include <QStringList>

int runCommandLine(int argc, char **argv);

namespace cli {

int runJoin(const QStringList &arguments);
int runConvert(const QStringList &arguments);
int runRepair(const QStringList &arguments);

} // namespace cli
