#include "recording/sound_trigger.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

std::int32_t SoundTrigger::thresholdMagnitude(double dB)
{
    const double magnitude = std::ceil(32768.0 * std::pow(10.0, dB / 20.0) - 1e-9);
    return static_cast<std::int32_t>(std::clamp(magnitude, 1.0, 32767.0));
}

SoundTrigger::SoundTrigger(const Settings &settings, std::uint16_t channels)
    : m_channels(std::max<std::uint16_t>(channels, 1)), m_silenceFrames(settings.silenceFrames),
      m_state(settings.thresholdDb ? State::Armed : State::Recording)
{
    if (settings.thresholdDb) {
        m_threshold = thresholdMagnitude(*settings.thresholdDb);
        m_ring.assign(static_cast<std::size_t>(settings.preRecordFrames) * m_channels, 0);
    }
}

bool SoundTrigger::frameIsLoud(std::span<const std::int16_t> block, std::size_t frame) const
{
    for (std::size_t c = 0; c < m_channels; ++c)
        if (std::abs(static_cast<std::int32_t>(block[frame * m_channels + c])) >= m_threshold)
            return true;
    return false;
}

void SoundTrigger::keepInRing(std::span<const std::int16_t> samples)
{
    const std::size_t capacity = m_ring.size();
    if (capacity == 0)
        return;
    if (samples.size() >= capacity) {
        std::copy(samples.end() - static_cast<std::ptrdiff_t>(capacity), samples.end(), m_ring.begin());
        m_ringStart = 0;
        m_ringFilled = capacity;
        return;
    }
    // Written at the end of what is held, in at most two runs; the oldest samples give way.
    std::size_t end = (m_ringStart + m_ringFilled) % capacity;
    std::size_t done = 0;
    while (done < samples.size()) {
        const std::size_t run = std::min(samples.size() - done, capacity - end);
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(done), run, m_ring.begin() + static_cast<std::ptrdiff_t>(end));
        done += run;
        end = (end + run) % capacity;
    }
    const std::size_t held = m_ringFilled + samples.size();
    m_ringFilled = std::min(held, capacity);
    if (held > capacity)
        m_ringStart = end; // full: the oldest sample sits just after the newest
}

std::span<const std::int16_t> SoundTrigger::ringInOrder()
{
    // In place, oldest first: the ring may be large, and it is not copied.
    std::rotate(m_ring.begin(), m_ring.begin() + static_cast<std::ptrdiff_t>(m_ringStart), m_ring.end());
    m_ringStart = 0;
    return std::span<const std::int16_t>(m_ring).first(m_ringFilled);
}

SoundTrigger::Output SoundTrigger::feed(std::span<const std::int16_t> block)
{
    Output out;
    const std::size_t frames = block.size() / m_channels;
    std::size_t first = 0; // the first frame of this block that goes out
    if (m_state != State::Armed && !m_ring.empty()) {
        // The pre-recorded frames went out with the last block: the ring is not needed again.
        m_ring.clear();
        m_ring.shrink_to_fit();
        m_ringFilled = 0;
    }
    if (m_state == State::Ended)
        return out;
    if (m_state == State::Armed) {
        while (first < frames && !frameIsLoud(block, first))
            ++first;
        keepInRing(block.first(first * m_channels));
        if (first == frames)
            return out;
        m_state = State::Recording;
        out.triggered = true;
        out.preRecorded = ringInOrder();
    }
    std::size_t end = frames;
    if (m_silenceFrames) {
        for (std::size_t frame = first; frame < frames; ++frame) {
            m_quietFrames = frameIsLoud(block, frame) ? 0 : m_quietFrames + 1;
            if (m_quietFrames >= *m_silenceFrames) {
                end = frame + 1;
                m_state = State::Ended;
                out.ended = true;
                break;
            }
        }
    }
    out.block = block.subspan(first * m_channels, (end - first) * m_channels);
    return out;
}
