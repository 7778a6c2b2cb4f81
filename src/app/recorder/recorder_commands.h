// The subcommands of the recorder part: the ones that need the sound system or the codecs.
#pragma once

#include <QStringList>

namespace cli {

int runDevices(const QStringList &arguments);
int runRecord(const QStringList &arguments);
int runFormats(const QStringList &arguments);

} // namespace cli
