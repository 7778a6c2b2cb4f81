// The hook that sits in front of the notification object's own event processing: a handler of
// the owner, a user value, and two lists of message numbers, one for the handler's call before
// the object's own processing and one for the call after it.
#pragma once

#include <QtGlobal>

#include <array>
#include <functional>

class NotificationWindow;

constexpr int MSG_ENTRIES = 32;  // entries of one message list
constexpr int ALL_MESSAGES = -1; // as a list's count: the list matches every message

enum MessageWhen { MSG_BEFORE = 1, MSG_AFTER = 2, MSG_BEFORE_AND_AFTER = 3 };

struct MessageList {
    int count = 0; // ALL_MESSAGES, or the number of entries used (0 = empty entry)
    std::array<int, MSG_ENTRIES> entries{};

    bool matches(int message) const;
};

// bBefore: called before (true) or after (false) the object's own processing. The handler may
// set bHandled (before only) to keep the message from the object, and lReturn, the message's
// result.
using HookHandler = std::function<void(bool bBefore, bool &bHandled, long &lReturn,
                                       NotificationWindow *hWnd, int uMsg, quintptr wParam,
                                       quintptr lParam, long lParamUser)>;

struct MessageHook {
    HookHandler handler;
    long userValue = 0;
    bool shutDown = false; // set by sc_UnSubclass; the object then drops the hook
    int nesting = 0;       // calls of the object's own processing under way
    MessageList before;
    MessageList after;

    // Runs one message through the hook; `previous` is the object's own processing.
    long process(NotificationWindow *window, int message, quintptr wParam, quintptr lParam,
                 const std::function<long()> &previous);
};
