// The hidden notification object ("WAVE_IN_WINDOW") through which a capture device's notices
// reach the UI thread. It lives on the UI thread for one recording. The device's thread calls
// bufferDone(), which posts one MM_WIM_DATA message (lParam = the buffer) to it; the UI
// thread's event loop delivers the messages one at a time, through the hook when one is
// installed. Posted messages die with the object.
#pragma once

#include "platform/audio/capture_device.h"
#include "recording/message_hook.h"

#include <QObject>

#include <memory>

class NotificationWindow final : public QObject, public CaptureNotifier {
    Q_OBJECT
public:
    static constexpr int MM_WIM_DATA = 0x3C0;
    static constexpr int MM_WIM_CLOSE = 0x3BF; // the device stopped working on its own
    static constexpr int MM_WIM_LOST = 0x3C8;  // the device had to drop sound it could not hand over

    NotificationWindow();
    ~NotificationWindow() override;

    // Thread-safe: the device's thread calls these.
    void bufferDone(CaptureBuffer *buffer) override;
    void deviceFailed() override;
    void dataLost() override;
    void postMessage(int message, quintptr wParam, quintptr lParam);

    void setHook(std::shared_ptr<MessageHook> hook) { m_hook = std::move(hook); }
    const std::shared_ptr<MessageHook> &hook() const { return m_hook; }
    // True while one of the object's messages is being handled.
    bool isProcessing() const { return m_depth > 0; }

    // Drops the messages still queued and destroys the object, later when it is handling one
    // of its own messages right now.
    static void destroy(NotificationWindow *window);

    static int liveCount(); // notification objects that exist in the process

protected:
    bool event(QEvent *event) override;

private:
    std::shared_ptr<MessageHook> m_hook;
    int m_depth = 0;
};
