// Connecting to the sound server and waiting for its answers without ever blocking forever.
#include "platform/audio/pulse/pulse_connection.h"

#include <pulse/rtclock.h>

namespace {

void contextStateChanged(pa_context *, void *userdata)
{
    PulseConnection::wake(static_cast<pa_threaded_mainloop *>(userdata));
}

void operationStateChanged(pa_operation *, void *userdata)
{
    PulseConnection::wake(static_cast<pa_threaded_mainloop *>(userdata));
}

struct Deadline {
    pa_threaded_mainloop *mainloop = nullptr;
    bool passed = false;
};

void deadlinePassed(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata)
{
    auto *deadline = static_cast<Deadline *>(userdata);
    deadline->passed = true;
    PulseConnection::wake(deadline->mainloop);
}

bool contextFinished(pa_context *context)
{
    const pa_context_state_t state = pa_context_get_state(context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}

} // namespace

QString pulseServerUnreachableText()
{
    return QStringLiteral("Le serveur de son ne répond pas (PulseAudio/PipeWire).");
}

Result<std::shared_ptr<PulseConnection>> PulseConnection::connect(std::chrono::milliseconds timeout)
{
    auto fail = [](const QString &reason) -> Result<std::shared_ptr<PulseConnection>> { return Failure{reason}; };

    std::shared_ptr<PulseConnection> connection(new PulseConnection);
    connection->m_mainloop.reset(pa_threaded_mainloop_new());
    if (!connection->m_mainloop)
        return fail(QStringLiteral("Le client du serveur de son ne démarre pas (mémoire)."));
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(connection->mainloop());
    connection->m_context.reset(pa_context_new(api, "Sonoriel"));
    if (!connection->m_context)
        return fail(QStringLiteral("Le client du serveur de son ne démarre pas (mémoire)."));
    pa_context_set_state_callback(connection->context(), contextStateChanged,
                                  connection->mainloop());

    if (pa_context_connect(connection->context(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return fail(pulseServerUnreachableText());
    if (pa_threaded_mainloop_start(connection->mainloop()) < 0)
        return fail(QStringLiteral("Le client du serveur de son ne démarre pas (fil d'exécution)."));
    connection->m_running = true;

    PulseLock lock(connection->mainloop());
    pa_context *context = connection->context();
    connection->waitFor([context] { return contextFinished(context); }, timeout);
    if (pa_context_get_state(context) != PA_CONTEXT_READY)
        return fail(pulseServerUnreachableText());
    return connection;
}

PulseConnection::~PulseConnection()
{
    if (m_running) {
        {
            PulseLock lock(mainloop());
            pa_context_set_state_callback(context(), nullptr, nullptr);
            pa_context_disconnect(context());
        }
        pa_threaded_mainloop_stop(mainloop());
    } else if (m_context) {
        pa_context_set_state_callback(context(), nullptr, nullptr);
        pa_context_disconnect(context());
    }
    // The members release the context, then the main loop, now that its thread has ended.
}

bool PulseConnection::isReady() const
{
    return pa_context_get_state(context()) == PA_CONTEXT_READY;
}

bool PulseConnection::waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    Deadline deadline{mainloop(), false};
    const pa_usec_t when =
        pa_rtclock_now() + static_cast<pa_usec_t>(timeout.count()) * PA_USEC_PER_MSEC;
    pa_time_event *event = pa_context_rttime_new(context(), when, deadlinePassed, &deadline);
    if (!event)
        return done();
    while (!done() && !deadline.passed && PA_CONTEXT_IS_GOOD(pa_context_get_state(context())))
        pa_threaded_mainloop_wait(mainloop());
    pa_threaded_mainloop_get_api(mainloop())->time_free(event);
    return done();
}

bool PulseConnection::finish(PulseOperationPtr operation, std::chrono::milliseconds timeout)
{
    if (!operation)
        return false;
    pa_operation *op = operation.get();
    pa_operation_set_state_callback(op, operationStateChanged, mainloop());
    const bool ended =
        waitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, timeout);
    pa_operation_set_state_callback(op, nullptr, nullptr);
    if (!ended) {
        pa_operation_cancel(op);
        return false;
    }
    return pa_operation_get_state(op) == PA_OPERATION_DONE;
}
