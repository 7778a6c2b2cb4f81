// Owning handles for the libpulse objects of the capture backend, and the scoped lock of the
// threaded main loop. Every pa_* object lives in one of these, so a failure path releases what
// was made because a destructor runs, not because someone remembered.
#pragma once

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <memory>

struct PulseMainloopFree {
    void operator()(pa_threaded_mainloop *mainloop) const { pa_threaded_mainloop_free(mainloop); }
};
struct PulseContextUnref {
    void operator()(pa_context *context) const { pa_context_unref(context); }
};
struct PulseStreamUnref {
    void operator()(pa_stream *stream) const { pa_stream_unref(stream); }
};
struct PulseOperationUnref {
    void operator()(pa_operation *operation) const { pa_operation_unref(operation); }
};

using PulseMainloopPtr = std::unique_ptr<pa_threaded_mainloop, PulseMainloopFree>;
using PulseContextPtr = std::unique_ptr<pa_context, PulseContextUnref>;
using PulseStreamPtr = std::unique_ptr<pa_stream, PulseStreamUnref>;
using PulseOperationPtr = std::unique_ptr<pa_operation, PulseOperationUnref>;

// Holds the threaded main loop's lock for a scope. Never used on the main loop's own thread
// (its callbacks already run with the lock held).
class PulseLock {
public:
    explicit PulseLock(pa_threaded_mainloop *mainloop) : m_mainloop(mainloop)
    {
        pa_threaded_mainloop_lock(m_mainloop);
    }
    ~PulseLock() { pa_threaded_mainloop_unlock(m_mainloop); }

    PulseLock(const PulseLock &) = delete;
    PulseLock &operator=(const PulseLock &) = delete;

private:
    pa_threaded_mainloop *m_mainloop;
};
