#include "recording/subclasser.h"

#include "recording/hook_error_report.h"
#include "recording/notification_window.h"

#include <QThread>

#include <algorithm>
#include <cerrno>
#include <new>

Subclasser::Subclasser(QString ownerClassName) : m_className(std::move(ownerClassName)) {}

QString Subclasser::keyOf(const NotificationWindow *window)
{
    return QStringLiteral("h") + QString::number(reinterpret_cast<quintptr>(window));
}

bool Subclasser::sc_Subclass(NotificationWindow *window, HookHandler handler, long userValue)
{
    const QString routine = QStringLiteral("sc_Subclass");
    if (!window) {
        reportHookError(m_className, routine, QStringLiteral("Invalid window handle"));
        return false;
    }
    if (window->thread() != QThread::currentThread()) {
        reportHookError(m_className, routine, QStringLiteral("Window handle belongs to another process"));
        return false;
    }
    if (!handler) {
        reportHookError(m_className, routine, QStringLiteral("Callback method not found"));
        return false;
    }
    if (!m_hooks)
        m_hooks.emplace();
    std::shared_ptr<MessageHook> hook;
    try {
        hook = std::make_shared<MessageHook>();
    } catch (const std::bad_alloc &) {
        reportHookError(m_className, routine, QStringLiteral("VirtualAlloc failed, error: ") + QString::number(ENOMEM));
        return false;
    }
    if (window->hook() && !window->hook()->shutDown) {
        // One hook per object: a second one would hide the first one's messages.
        reportHookError(m_className, routine, QStringLiteral("SetWindowLong failed, error #") + QString::number(EBUSY));
        return false;
    }
    hook->handler = std::move(handler);
    hook->userValue = userValue;
    m_hooks->insert(keyOf(window), hook);
    window->setHook(hook);
    m_everInstalled = true;
    return true;
}

void Subclasser::sc_UnSubclass(NotificationWindow *window)
{
    if (!m_everInstalled) {
        reportHookError(m_className, QStringLiteral("sc_UnSubclass"), QStringLiteral("Window handle isn't subclassed"));
        return;
    }
    const std::shared_ptr<MessageHook> hook = zMap_hWnd(window);
    if (!hook)
        return;
    hook->shutDown = true;
    hook->before.count = 0;
    hook->after.count = 0;
    m_hooks->remove(keyOf(window));
    if (window && window->hook() == hook && hook->nesting == 0 && !window->isProcessing())
        window->setHook(nullptr); // otherwise the object drops it when its message returns
}

void Subclasser::sc_AddMsg(NotificationWindow *window, int message, int when)
{
    const std::shared_ptr<MessageHook> hook = zMap_hWnd(window);
    if (!hook)
        return;
    if (when & MSG_BEFORE)
        zAddMsg(message, hook->before);
    if (when & MSG_AFTER)
        zAddMsg(message, hook->after);
}

void Subclasser::sc_DelMsg(NotificationWindow *window, int message, int when)
{
    const std::shared_ptr<MessageHook> hook = zMap_hWnd(window);
    if (!hook)
        return;
    if (when & MSG_BEFORE)
        zDelMsg(message, hook->before);
    if (when & MSG_AFTER)
        zDelMsg(message, hook->after);
}

void Subclasser::zAddMsg(int message, MessageList &list)
{
    if (message == ALL_MESSAGES) {
        list.count = ALL_MESSAGES;
        return;
    }
    if (list.count == MSG_ENTRIES) {
        reportHookError(m_className, QStringLiteral("zAddMsg"),
                        QStringLiteral("Message table overflow. Either increase the value of Const "
                                       "MSG_ENTRIES or use ALL_MESSAGES instead of specific message values"));
        return;
    }
    if (list.count == ALL_MESSAGES)
        return; // the list already matches every message
    const auto used = list.entries.begin() + list.count;
    if (std::find(list.entries.begin(), used, message) != used)
        return;
    const auto empty = std::find(list.entries.begin(), used, 0);
    if (empty != used) {
        *empty = message;
        return;
    }
    list.entries[static_cast<std::size_t>(list.count++)] = message;
}

void Subclasser::zDelMsg(int message, MessageList &list)
{
    if (message == ALL_MESSAGES) {
        list.count = 0;
        return;
    }
    const auto used = list.entries.begin() + std::clamp(list.count, 0, MSG_ENTRIES);
    const auto found = std::find(list.entries.begin(), used, message);
    if (found == used) {
        reportHookError(m_className, QStringLiteral("zDelMsg"),
                        QStringLiteral("Message &H") + QString::number(message, 16).toUpper() +
                            QStringLiteral(" not found in table"));
        return;
    }
    *found = 0;
}

std::shared_ptr<MessageHook> Subclasser::zMap_hWnd(NotificationWindow *window)
{
    if (!m_hooks) {
        reportHookError(m_className, QStringLiteral("zMap_hWnd"), QStringLiteral("Subclassing hasn't been started"));
        return nullptr;
    }
    return m_hooks->value(keyOf(window));
}
