#include "recording/hook_error_report.h"

#include "platform/system/event_log.h"

#include <QTextStream>

namespace {

HookErrorPresenter &presenter()
{
    static HookErrorPresenter instance;
    return instance;
}

void presentByDefault(const QString &title, const QString &message)
{
    QTextStream(stderr) << title << ": " << message << '\n';
}

} // namespace

void setHookErrorPresenter(HookErrorPresenter newPresenter)
{
    presenter() = std::move(newPresenter);
}

void reportHookError(const QString &className, const QString &routine, const QString &text)
{
    const QString where = className + QLatin1Char('.') + routine;
    logErrorEvent(where + QStringLiteral(": ") + text);
    const QString title = QStringLiteral("Error in ") + where;
    const QString message = text + QLatin1Char('.');
    if (presenter())
        presenter()(title, message);
    else
        presentByDefault(title, message);
}
