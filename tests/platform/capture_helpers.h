// What the capture tests share: a ring of buffers, a notifier that brings each filled buffer to
// the main thread and re-queues it, and a fixture holding a server, its backend and pipe source.
#pragma once

#include "platform/audio/pulse/pulse_backend.h"

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
#include <random>
#include <utility>
#include <span>
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
    bool queueAll(CaptureDevice &device) // false when the device refuses one
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
    BlockCollector() // handles the buffers on the main thread whenever its event loop runs
    {
        QObject::connect(&m_drain, &QTimer::timeout, [this] { handleDone(); });
        m_drain.start(1);
    }
    // Device thread; through a lock of ours, which ThreadSanitizer sees, unlike Qt's event queue.
    void bufferDone(CaptureBuffer *buffer) override
    {
        ++notices;
        std::lock_guard lock(m_doneMutex);
        m_done.push_back(buffer);
    }
    void deviceFailed() override { countReport(failures, noticesBeforeFailure); }
    void dataLost() override { countReport(losses, noticesBeforeLoss); }
    void setDevice(CaptureDevice *device) { m_device = device; } // where handled buffers go back; none: kept

    std::atomic<int> notices{0}, failures{0}, noticesBeforeFailure{-1}, losses{0}, noticesBeforeLoss{-1};
    std::vector<std::int16_t> samples; // on the main thread, as the notices are handled
    std::vector<std::uint32_t> blockBytes;
    std::vector<CaptureBuffer *> handled;
    bool everyHandledBufferWasDone = true;

private:
    // Device thread: counts the reports and the notices before the first.
    void countReport(std::atomic<int> &reports, std::atomic<int> &noticesBefore)
    {
        if (reports++ == 0)
            noticesBefore = notices.load();
    }
    void handleDone()
    {
        const auto done = [this] { const std::lock_guard lock(m_doneMutex); return std::exchange(m_done, {}); }();
        for (CaptureBuffer *buffer : done) {
            handled.push_back(buffer);
            blockBytes.push_back(buffer->bytesRecorded);
            everyHandledBufferWasDone = everyHandledBufferWasDone && buffer->done;
            samples.insert(samples.end(), buffer->data, buffer->data + buffer->bytesRecorded / 2);
            if (m_device)
                m_device->addBuffer(*buffer);
        }
    }

    QTimer m_drain; // on the main thread; buffers done after the collector is gone are dropped
    std::mutex m_doneMutex;
    std::deque<CaptureBuffer *> m_done; // in the order of the notices
    CaptureDevice *m_device = nullptr;
};


// Where `captured` (silence, then maybe a late part of the signal) meets `signal`, in samples.
struct SignalMatch {
    std::size_t capturedAt = 0, signalAt = 0;
    std::size_t matchingSamples = 0; // equal samples in a row from there
    std::size_t comparedSamples = 0; // samples that both streams hold from there
};
// Pseudo-random samples, none zero, every stretch unique.
inline std::vector<std::int16_t> noiseSignal(int frames, int channels, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> magnitude(1, 32767);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    for (std::int16_t &sample : samples)
        sample = static_cast<std::int16_t>(random() % 2 ? magnitude(random) : -magnitude(random));
    return samples;
}

inline std::optional<SignalMatch> findSignal(std::span<const std::int16_t> captured,
                                      std::span<const std::int16_t> signal, int channels)
{
    const auto firstSound = std::ranges::find_if(captured, [](std::int16_t sample) { return sample != 0; });
    if (firstSound == captured.end())
        return std::nullopt;
    std::size_t at = static_cast<std::size_t>(firstSound - captured.begin());
    at -= at % static_cast<std::size_t>(channels);

    const std::size_t window = std::min<std::size_t>(64, captured.size() - at);
    const auto probe = captured.subspan(at, window);
    for (std::size_t offset = 0; offset + window <= signal.size(); offset += channels) {
        if (!std::equal(probe.begin(), probe.end(), signal.begin() + offset))
            continue;
        SignalMatch match{at, offset, 0, std::min(captured.size() - at, signal.size() - offset)};
        while (match.matchingSamples < match.comparedSamples &&
               captured[at + match.matchingSamples] == signal[offset + match.matchingSamples])
            ++match.matchingSamples;
        return match;
    }
    return std::nullopt;
}

// The server's record streams, one line each, as pactl lists them.
inline QStringList sourceOutputs(const PrivateSoundServer &server)
{
    return server.pactl({"list", "short", "source-outputs"}).split('\n', Qt::SkipEmptyParts);
}
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
        for (int i = 0; i < backend->deviceCount() && index < 0; ++i)
            index = backend->deviceName(i) == server.sourceDescription() ? i : -1;
        ASSERT_GE(index, 0);
    }
    bool open(const WaveFormat &format = kCdStereo, std::optional<int> at = {})
    {
        device = valueOr(backend->openDevice(at.value_or(index), format, collector), error);
        return device != nullptr;
    }
    bool start(BufferRing &ring) { return ring.queueAll(*device) && device->start(); }
    void expectOneFailureNotice() // once, after the last buffer notice
    {
        ASSERT_TRUE(waitUntil([&] { return collector.failures.load() > 0; })) << "no failure notice";
        pause(std::chrono::milliseconds(300));
        EXPECT_EQ(std::pair(collector.failures.load(), collector.notices.load()), std::pair(1, collector.noticesBeforeFailure.load()));
    }
    void expectFullBuffers() { EXPECT_EQ(collector.blockBytes, std::vector(collector.blockBytes.size(), kBufferBytes)); }
    // Writes the signal into the pipe source at the pace of the sound.
    void startWriting(std::vector<std::int16_t> samples = noiseSignal(4 * 44100, 2, 1234))
    {
        signal = std::move(samples);
        writer.emplace(server, signal, 44100, 2);
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
