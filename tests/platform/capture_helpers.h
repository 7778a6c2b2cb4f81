// What the capture tests share: a ring of caller-owned buffers, a notifier that brings each
// filled buffer to the test's main thread (as the recorder's notification object does) and
// re-queues it, a writer thread that feeds the pipe source at the pace of the sound, the
// signals the tests look for and a fixture holding a server, its backend and the pipe source.
#pragma once

#include "platform/audio/pulse/pulse_backend.h"

#include "support/pipewire_session.h"
#include "support/pulse_server.h"
#include "support/source_player.h"
#include "support/tools.h"

#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

class BufferRing {
public:
    BufferRing(int count, std::uint32_t bufferBytes)
        : m_memory(static_cast<std::size_t>(count), std::vector<std::int16_t>(bufferBytes / 2)),
          m_buffers(static_cast<std::size_t>(count))
    {
        for (std::size_t i = 0; i < m_buffers.size(); ++i)
            m_buffers[i] = {.data = m_memory[i].data(), .bufferBytes = bufferBytes,
                            .user = static_cast<std::intptr_t>(i)};
    }
    // Prepares and queues every buffer; false when the device refuses one.
    bool queueAll(CaptureDevice &device)
    {
        return std::all_of(m_buffers.begin(), m_buffers.end(), [&](CaptureBuffer &buffer) {
            return device.prepareBuffer(buffer) && device.addBuffer(buffer);
        });
    }
    CaptureBuffer &at(int index) { return m_buffers[static_cast<std::size_t>(index)]; }

private:
    std::vector<std::vector<std::int16_t>> m_memory;
    std::vector<CaptureBuffer> m_buffers;
};

class BlockCollector : public CaptureNotifier {
public:
    // Handles the buffers on the main thread whenever its event loop runs.
    BlockCollector()
    {
        QObject::connect(&m_drain, &QTimer::timeout, [this] { handleDone(); });
        m_drain.start(1);
    }
    // Device thread: counts the notice and hands the buffer to the main thread. The hand-over
    // goes through a lock of ours, which ThreadSanitizer sees, unlike Qt's event queue.
    void bufferDone(CaptureBuffer *buffer) override
    {
        ++m_notices;
        std::lock_guard lock(m_doneMutex);
        m_done.push_back(buffer);
    }
    // Device thread: counts the failure and the notices sent before it.
    void deviceFailed() override
    {
        if (m_failures++ == 0)
            m_noticesBeforeFailure = m_notices.load();
    }
    // Device thread: counts the reports of lost sound and the notices sent before the first.
    void dataLost() override
    {
        if (m_losses++ == 0)
            m_noticesBeforeLoss = m_notices.load();
    }
    // The device the handled buffers go back to; none: they are kept.
    void setDevice(CaptureDevice *device) { m_device = device; }

    int notices() const { return m_notices.load(); }
    int failures() const { return m_failures.load(); }
    int noticesBeforeFailure() const { return m_noticesBeforeFailure.load(); }
    int losses() const { return m_losses.load(); }
    int noticesBeforeLoss() const { return m_noticesBeforeLoss.load(); }
    // Main thread, filled as the posted notices are handled.
    std::vector<std::int16_t> samples;
    std::vector<std::uint32_t> blockBytes;
    std::vector<CaptureBuffer *> handled;
    bool everyHandledBufferWasDone = true;

private:
    void handleDone()
    {
        std::deque<CaptureBuffer *> done;
        {
            std::lock_guard lock(m_doneMutex);
            done.swap(m_done);
        }
        for (CaptureBuffer *buffer : done)
            handle(buffer);
    }
    void handle(CaptureBuffer *buffer)
    {
        handled.push_back(buffer);
        blockBytes.push_back(buffer->bytesRecorded);
        everyHandledBufferWasDone = everyHandledBufferWasDone && buffer->done;
        samples.insert(samples.end(), buffer->data, buffer->data + buffer->bytesRecorded / 2);
        if (m_device)
            m_device->addBuffer(*buffer);
    }

    QTimer m_drain; // on the main thread; buffers done after the collector is gone are dropped
    std::mutex m_doneMutex;
    std::deque<CaptureBuffer *> m_done; // in the order of the notices
    std::atomic<int> m_notices{0};
    std::atomic<int> m_failures{0};
    std::atomic<int> m_noticesBeforeFailure{-1};
    std::atomic<int> m_losses{0};
    std::atomic<int> m_noticesBeforeLoss{-1};
    CaptureDevice *m_device = nullptr;
};

// Interleaved pseudo-random samples, none of them zero, so the signal stands out from the
// server's silence and every stretch of it is unique.
std::vector<std::int16_t> noiseSignal(int frames, int channels, std::uint32_t seed);

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

inline int indexOfDevice(AudioBackend &backend, const QString &description)
{
    for (int i = 0, count = backend.deviceCount(); i < count; ++i) {
        if (backend.deviceName(i) == description)
            return i;
    }
    return -1;
}
// The server's record streams, one line each, as pactl lists them.
inline QStringList sourceOutputs(const PrivateSoundServer &server)
{
    return server.pactl({"list", "short", "source-outputs"}).split('\n', Qt::SkipEmptyParts);
}
// Lets the event loop and the device run for a while; the device may do what it likes in it.
inline void pause(std::chrono::milliseconds time) { waitUntil([] { return false; }, time); }
inline bool waitLong(const std::function<bool()> &done) { return waitUntil(done, std::chrono::seconds(20)); }

constexpr std::uint32_t kBufferBytes = 10240;
inline const WaveFormat kCdStereo = WaveFormat::pcm(44100, 2, 16);

// A running server (PulseServer or PipeWireSession), its backend and the index of the pipe source.
template <class Server>
class SoundServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
        backend = valueOr(createPulseBackend(), error);
        ASSERT_TRUE(backend) << error.toStdString();
        index = indexOfDevice(*backend, server.sourceDescription());
        ASSERT_GE(index, 0);
    }
    // Opens the device `at` (default: the pipe source).
    bool open(const WaveFormat &format = kCdStereo, std::optional<int> at = {})
    {
        device = valueOr(backend->openDevice(at.value_or(index), format, collector), error);
        return device != nullptr;
    }
    bool start(BufferRing &ring) { return ring.queueAll(*device) && device->start(); }
    // The device reports its failure once, after its last buffer notice.
    void expectOneFailureNotice()
    {
        ASSERT_TRUE(waitUntil([&] { return collector.failures() > 0; })) << "no failure notice";
        pause(std::chrono::milliseconds(300));
        EXPECT_EQ(collector.failures(), 1);
        EXPECT_EQ(collector.notices(), collector.noticesBeforeFailure());
    }
    void expectFullBuffers()
    {
        for (const std::uint32_t bytes : collector.blockBytes)
            EXPECT_EQ(bytes, kBufferBytes);
    }
    // Writes the given signal (default: four seconds of noise) into the pipe source.
    void startWriting(std::vector<std::int16_t> samples = noiseSignal(4 * 44100, 2, 1234))
    {
        signal = std::move(samples);
        writer.emplace(server, signal, 44100, 2);
    }
    // Where the captured sound holds the written signal, expected without a sample changed.
    std::optional<SignalMatch> capturedSignal()
    {
        const auto match = findSignal(collector.samples, signal, 2);
        EXPECT_TRUE(match) << "the written signal is nowhere in the captured sound";
        EXPECT_TRUE(!match || match->matchingSamples == match->comparedSamples)
            << "first difference at sample " << match->capturedAt + match->matchingSamples;
        return match;
    }

    std::optional<Server> running{std::in_place}; // may be stopped under the backend
    Server &server = *running;
    QString error;
    std::unique_ptr<AudioBackend> backend;
    int index = -1;
    BlockCollector collector; // outlives the device: declared before it
    std::unique_ptr<CaptureDevice> device;
    std::vector<std::int16_t> signal;
    std::optional<SourcePlayer> writer;
};
using PulseTest = SoundServerTest<PulseServer>;
