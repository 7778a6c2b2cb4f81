// The application event log: error entries go to syslog under the program's name.
#pragma once

#include <QString>

void logErrorEvent(const QString &message);
