// Installs and removes the message hook on notification objects and keeps their message lists.
// Hook records are kept by key "h" + the object's address in decimal. Faults are reported
// through reportHookError under the owner's class name and end the operation without effect.
#pragma once

#include "recording/message_hook.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

class NotificationWindow;

class Subclasser {
public:
    explicit Subclasser(QString ownerClassName);

    // Installs the hook on the object with the owner's handler. True on success.
    bool sc_Subclass(NotificationWindow *window, HookHandler handler, long userValue = 0);
    // Shuts the object's hook down: its lists are emptied and the handler is not called again.
    void sc_UnSubclass(NotificationWindow *window);

    void sc_AddMsg(NotificationWindow *window, int message, int when = MSG_AFTER);
    void sc_DelMsg(NotificationWindow *window, int message, int when = MSG_AFTER);

    // List maintenance and look-up.
    void zAddMsg(int message, MessageList &list);
    void zDelMsg(int message, MessageList &list);
    std::shared_ptr<MessageHook> zMap_hWnd(NotificationWindow *window);

private:
    static QString keyOf(const NotificationWindow *window);

    QString m_className;
    bool m_everInstalled = false;
    std::optional<QHash<QString, std::shared_ptr<MessageHook>>> m_hooks; // made at first use
};
