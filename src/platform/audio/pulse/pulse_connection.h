// One connection to the sound server: a libpulse threaded main loop and its context. The
// backend, its mixers and its capture devices share it (std::shared_ptr), so whichever of them
// is released last closes it.
//
// Threads: the main loop runs libpulse's callbacks on its own thread with the loop's lock held.
// Every other use of the context or of an object made from it (streams, operations) happens on
// the owner's thread inside a PulseLock. The wait members are called with that lock held; they
// release it while they sleep, so the callbacks can run.
#pragma once

#include "common/result.h"
#include "platform/audio/pulse/pulse_handles.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class PulseConnection {
public:
    // Connects to the server named by the environment (PULSE_SERVER and libpulse's own
    // configuration), never autospawning one. Fails when it does not answer within timeout.
    static Result<std::shared_ptr<PulseConnection>> connect(std::chrono::milliseconds timeout);
    ~PulseConnection();

    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    pa_threaded_mainloop *mainloop() const { return m_mainloop.get(); }
    pa_context *context() const { return m_context.get(); }

    // Lock held. True while the context can carry requests.
    bool isReady() const;

    // Lock held. Sleeps until done() holds, the context fails or timeout passes; returns done().
    bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout);

    // Lock held. Waits until the operation has finished (its callback has run); false when it
    // was cancelled, the context failed or the server did not answer in time (the operation is
    // then cancelled, so its callback never runs later).
    bool finish(PulseOperationPtr operation,
                std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // For libpulse callbacks whose userdata is the main loop: wakes the waiting owner.
    static void wake(pa_threaded_mainloop *mainloop) { pa_threaded_mainloop_signal(mainloop, 0); }

private:
    PulseConnection() = default;

    PulseMainloopPtr m_mainloop;
    PulseContextPtr m_context;
    bool m_running = false;
};

// The French reason shown when the server cannot be reached.
QString pulseServerUnreachableText();
