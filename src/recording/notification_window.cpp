#include "recording/notification_window.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>

#if defined(__SANITIZE_THREAD__)
#define SONORIEL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SONORIEL_THREAD_SANITIZER 1
#endif
#endif
#ifdef SONORIEL_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace {

// A message hands what the device thread wrote (a filled buffer) over to the window's thread.
// Qt's event queue orders the two, but its lock is invisible to ThreadSanitizer in a Qt built
// without it; these two calls show the hand-over to ThreadSanitizer and are empty otherwise.
void handOver([[maybe_unused]] NotificationWindow *window)
{
#ifdef SONORIEL_THREAD_SANITIZER
    __tsan_release(window);
#endif
}

void takeOver([[maybe_unused]] NotificationWindow *window)
{
#ifdef SONORIEL_THREAD_SANITIZER
    __tsan_acquire(window);
#endif
}

std::atomic<int> g_liveWindows{0};

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class WindowMessage final : public QEvent {
public:
    WindowMessage(int number, quintptr first, quintptr second)
        : QEvent(kMessageEvent), message(number), wParam(first), lParam(second)
    {
    }
    const int message;
    const quintptr wParam;
    const quintptr lParam;
};

} // namespace

NotificationWindow::NotificationWindow()
{
    setObjectName(QStringLiteral("WAVE_IN_WINDOW"));
    ++g_liveWindows;
}

NotificationWindow::~NotificationWindow()
{
    --g_liveWindows;
}

int NotificationWindow::liveCount()
{
    return g_liveWindows.load();
}

void NotificationWindow::bufferDone(CaptureBuffer *buffer)
{
    postMessage(MM_WIM_DATA, 0, reinterpret_cast<quintptr>(buffer));
}

void NotificationWindow::deviceFailed()
{
    postMessage(MM_WIM_CLOSE, 0, 0);
}

void NotificationWindow::dataLost()
{
    postMessage(MM_WIM_LOST, 0, 0);
}

void NotificationWindow::postMessage(int message, quintptr wParam, quintptr lParam)
{
    auto *event = new WindowMessage(message, wParam, lParam);
    handOver(this);
    QCoreApplication::postEvent(this, event);
}

void NotificationWindow::destroy(NotificationWindow *window)
{
    if (!window)
        return;
    QCoreApplication::removePostedEvents(window, kMessageEvent);
    if (window->isProcessing())
        window->deleteLater();
    else
        delete window;
}

bool NotificationWindow::event(QEvent *event)
{
    takeOver(this);
    if (event->type() != kMessageEvent)
        return QObject::event(event);
    const auto *message = static_cast<const WindowMessage *>(event);
    // Keep the hook alive for this message even if the handler removes it meanwhile.
    const std::shared_ptr<MessageHook> hook = m_hook;
    ++m_depth;
    if (hook && !hook->shutDown)
        hook->process(this, message->message, message->wParam, message->lParam, [] { return 0L; });
    --m_depth;
    if (hook && hook->shutDown && hook->nesting == 0 && m_hook == hook)
        m_hook.reset(); // the hook has been shut down: the object's own processing alone remains
    return true;
}
