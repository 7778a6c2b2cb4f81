// The capture tests' buffers, notifier, writer thread and signals.
#include "capture_helpers.h"

#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

BufferRing::BufferRing(int count, std::uint32_t bufferBytes)
    : m_memory(static_cast<std::size_t>(count), std::vector<std::int16_t>(bufferBytes / 2)),
      m_buffers(static_cast<std::size_t>(count))
{
    for (std::size_t i = 0; i < m_buffers.size(); ++i) {
        m_buffers[i].data = m_memory[i].data();
        m_buffers[i].bufferBytes = bufferBytes;
        m_buffers[i].user = static_cast<std::intptr_t>(i);
    }
}

bool BufferRing::queueAll(CaptureDevice &device)
{
    for (CaptureBuffer &buffer : m_buffers) {
        if (!device.prepareBuffer(buffer) || !device.addBuffer(buffer))
            return false;
    }
    return true;
}

void BlockCollector::bufferDone(CaptureBuffer *buffer)
{
    ++m_notices;
    QMetaObject::invokeMethod(&m_context, [this, buffer] { handle(buffer); }, Qt::QueuedConnection);
}

void BlockCollector::deviceFailed()
{
    if (m_failures++ == 0)
        m_noticesBeforeFailure = m_notices.load();
}

void BlockCollector::handle(CaptureBuffer *buffer)
{
    m_handled.push_back(buffer);
    m_blockBytes.push_back(buffer->bytesRecorded);
    m_allDone = m_allDone && buffer->done;
    m_samples.insert(m_samples.end(), buffer->data, buffer->data + buffer->bytesRecorded / 2);
    if (m_requeue && m_device)
        m_device->addBuffer(*buffer);
}

PacedWriter::PacedWriter(PulseServer &server, std::vector<std::int16_t> samples, int channels,
                         int rateHz)
    : m_samples(std::move(samples))
{
    m_thread = std::thread([this, &server, channels, rateHz] { run(server, channels, rateHz); });
}

PacedWriter::~PacedWriter()
{
    m_stop = true;
    m_thread.join();
}

void PacedWriter::run(PulseServer &server, int channels, int rateHz)
{
    const std::size_t chunk = static_cast<std::size_t>(rateHz / 100) * channels; // 10 ms
    auto due = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < m_samples.size() && !m_stop; at += chunk) {
        const std::size_t count = std::min(chunk, m_samples.size() - at);
        if (!server.writeToSource(std::span(m_samples).subspan(at, count))) {
            m_failed = true;
            break;
        }
        due += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(due);
    }
    m_finished = true;
}

std::vector<std::int16_t> noiseSignal(int frames, int channels, std::uint32_t seed)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    std::uint32_t state = seed ? seed : 1;
    for (std::int16_t &sample : samples) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const auto value = static_cast<std::int16_t>(state >> 16);
        sample = value == 0 ? std::int16_t(1) : value;
    }
    return samples;
}

std::vector<std::int16_t> toneSignal(int frames, int channels, int rateHz, double frequencyHz,
                                     double peak)
{
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(frames) * channels);
    for (int frame = 0; frame < frames; ++frame) {
        const double phase = 2 * std::numbers::pi * frequencyHz * frame / rateHz;
        const auto value = static_cast<std::int16_t>(std::lround(peak * std::sin(phase)));
        for (int channel = 0; channel < channels; ++channel)
            samples.push_back(value);
    }
    return samples;
}

std::optional<SignalMatch> findSignal(std::span<const std::int16_t> captured,
                                      std::span<const std::int16_t> signal, int channels)
{
    const auto firstSound = std::find_if(captured.begin(), captured.end(),
                                         [](std::int16_t sample) { return sample != 0; });
    if (firstSound == captured.end())
        return std::nullopt;
    std::size_t at = static_cast<std::size_t>(firstSound - captured.begin());
    at -= at % static_cast<std::size_t>(channels);

    const std::size_t window = std::min<std::size_t>(64, captured.size() - at);
    const auto probe = captured.subspan(at, window);
    for (std::size_t offset = 0; offset + window <= signal.size(); offset += channels) {
        if (!std::equal(probe.begin(), probe.end(), signal.begin() + offset))
            continue;
        SignalMatch match;
        match.capturedAt = at;
        match.signalAt = offset;
        match.comparedSamples = std::min(captured.size() - at, signal.size() - offset);
        while (match.matchingSamples < match.comparedSamples &&
               captured[at + match.matchingSamples] == signal[offset + match.matchingSamples])
            ++match.matchingSamples;
        return match;
    }
    return std::nullopt;
}
