// How the message hook reports its own faults: an error entry "WaveInRecorder.<routine>: <text>"
// in the application event log, and a message box titled "Error in WaveInRecorder.<routine>"
// with the text and a full stop. After a report the operation ends without effect.
#pragma once

#include <QString>

#include <functional>

void reportHookError(const QString &className, const QString &routine, const QString &text);

// Where the box goes: the front end puts its presenter in place (the main window a modal
// message box); without one the report goes to stderr. An empty function restores that.
using HookErrorPresenter = std::function<void(const QString &title, const QString &message)>;
void setHookErrorPresenter(HookErrorPresenter presenter);
