// What the capture tests share: a ring of caller-owned buffers, a notifier that brings each
// filled buffer to the test's main thread (as the recorder's notification object does) and
// re-queues it, a writer thread that feeds the pipe source at the pace of the sound, and the
// signals the tests look for.
#pragma once

#include "platform/audio/capture_device.h"

#include "support/pulse_server.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

class BufferRing {
public:
    BufferRing(int count, std::uint32_t bufferBytes);

    // Prepares and queues every buffer; false when the device refuses one.
    bool queueAll(CaptureDevice &device);
    CaptureBuffer &at(int index) { return m_buffers[static_cast<std::size_t>(index)]; }
    int size() const { return static_cast<int>(m_buffers.size()); }

private:
    std::vector<std::vector<std::int16_t>> m_memory;
    std::vector<CaptureBuffer> m_buffers;
};

class BlockCollector : public CaptureNotifier {
public:
    // Called on the device's thread: counts the notice and posts the buffer to the main thread.
    void bufferDone(CaptureBuffer *buffer) override;
    // Called on the device's thread: counts the failure and the notices sent before it.
    void deviceFailed() override;

    // The device the handled buffers go back to; none: they are kept.
    void setDevice(CaptureDevice *device) { m_device = device; }
    void setRequeue(bool requeue) { m_requeue = requeue; }

    int notices() const { return m_notices.load(); }
    int failures() const { return m_failures.load(); }
    int noticesBeforeFailure() const { return m_noticesBeforeFailure.load(); }
    // Main thread, filled as the posted notices are handled.
    const std::vector<std::int16_t> &samples() const { return m_samples; }
    const std::vector<std::uint32_t> &blockBytes() const { return m_blockBytes; }
    const std::vector<CaptureBuffer *> &handled() const { return m_handled; }
    bool everyHandledBufferWasDone() const { return m_allDone; }

private:
    void handle(CaptureBuffer *buffer);

    QObject m_context; // lives on the main thread; destroying it drops the posted notices
    std::atomic<int> m_notices{0};
    std::atomic<int> m_failures{0};
    std::atomic<int> m_noticesBeforeFailure{-1};
    CaptureDevice *m_device = nullptr;
    bool m_requeue = true;
    std::vector<std::int16_t> m_samples;
    std::vector<std::uint32_t> m_blockBytes;
    std::vector<CaptureBuffer *> m_handled;
    bool m_allDone = true;
};

// Writes interleaved samples into the server's pipe source on a thread of its own, 10 ms at a
// time at the given frame rate, until done or stopped. Joins on destruction.
class PacedWriter {
public:
    PacedWriter(PulseServer &server, std::vector<std::int16_t> samples, int channels,
                int rateHz);
    ~PacedWriter();

    PacedWriter(const PacedWriter &) = delete;
    PacedWriter &operator=(const PacedWriter &) = delete;

    bool finished() const { return m_finished.load(); }
    bool failed() const { return m_failed.load(); }

private:
    void run(PulseServer &server, int channels, int rateHz);

    std::vector<std::int16_t> m_samples;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

// Interleaved pseudo-random samples, none of them zero, so the signal stands out from the
// server's silence and every stretch of it is unique.
std::vector<std::int16_t> noiseSignal(int frames, int channels, std::uint32_t seed);

// A sine of the given frequency and peak, the same on every channel.
std::vector<std::int16_t> toneSignal(int frames, int channels, int rateHz, double frequencyHz,
                                     double peak);

// Where `captured` meets `signal`: the captured stream may start with silence and may have
// missed the signal's beginning. Both indexes are of samples, on frame boundaries.
struct SignalMatch {
    std::size_t capturedAt = 0;
    std::size_t signalAt = 0;
    std::size_t matchingSamples = 0; // equal samples in a row from there
    std::size_t comparedSamples = 0; // samples that both streams hold from there
};
std::optional<SignalMatch> findSignal(std::span<const std::int16_t> captured,
                                      std::span<const std::int16_t> signal, int channels);
