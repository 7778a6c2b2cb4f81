#include "platform/system/event_log.h"

#include <syslog.h>

void logErrorEvent(const QString &message)
{
    // openlog is not needed: syslog() takes the program's name as its identity by default.
    ::syslog(LOG_USER | LOG_ERR, "%s", message.toUtf8().constData());
}
