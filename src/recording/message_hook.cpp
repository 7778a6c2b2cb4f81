#include "recording/message_hook.h"

#include <algorithm>

bool MessageList::matches(int message) const
{
    if (count == ALL_MESSAGES)
        return true;
    const auto used = entries.begin() + std::clamp(count, 0, MSG_ENTRIES);
    return message != 0 && std::find(entries.begin(), used, message) != used;
}

long MessageHook::process(NotificationWindow *window, int message, quintptr wParam,
                          quintptr lParam, const std::function<long()> &previous)
{
    bool handled = false;
    long result = 0;
    if (!shutDown && before.matches(message) && handler)
        handler(true, handled, result, window, message, wParam, lParam, userValue);
    if (handled)
        return result;
    ++nesting;
    result = previous();
    --nesting;
    if (!shutDown && after.matches(message) && handler)
        handler(false, handled, result, window, message, wParam, lParam, userValue);
    return result;
}
