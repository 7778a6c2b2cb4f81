#include "platform/audio/pulse/overrun_watch.h"

#include <algorithm>

namespace {

// Ticks of history for the lag before a stall, and the longest wait for the verdict after one.
constexpr std::size_t kRecentTicks = 10;
constexpr auto kVerdictDelay = std::chrono::seconds(1);
// The lag moves by a few of the server's fragments from tick to tick and drifts with the sound
// card's clock; sound missing by less than this is not told from that.
constexpr double kToleranceSeconds = 0.1;

} // namespace

OverrunWatch::OverrunWatch(std::uint32_t bytesPerSecond, std::uint64_t serverBufferBytes,
                           std::uint64_t marginBytes)
    : m_bytesPerSecond(bytesPerSecond), m_serverBufferBytes(serverBufferBytes),
      m_marginBytes(std::min(marginBytes, serverBufferBytes / 2)),
      m_toleranceBytes(kToleranceSeconds * bytesPerSecond)
{
}

void OverrunWatch::restart()
{
    m_started = false;
    m_recentLags.clear();
    m_suspect = false;
    m_holdAt = kNoHold;
    m_lost = false;
}

double OverrunWatch::lagBytes(Clock::time_point now, std::uint64_t arrivedBytes) const
{
    const double seconds = std::chrono::duration<double>(now - m_origin).count();
    return seconds * m_bytesPerSecond - static_cast<double>(arrivedBytes);
}

double OverrunWatch::recentLowestLag() const
{
    return *std::min_element(m_recentLags.begin(), m_recentLags.end());
}

void OverrunWatch::tick(Clock::time_point now, std::uint64_t arrivedBytes)
{
    if (!m_started) {
        m_started = true;
        m_origin = now;
        m_lastTick = now;
        m_lastArrived = arrivedBytes;
        m_lastLag = 0;
        return;
    }
    const double stalledBytes = std::chrono::duration<double>(now - m_lastTick).count() * m_bytesPerSecond;
    const double lag = lagBytes(now, arrivedBytes);
    if (!m_suspect && !m_lost &&
        stalledBytes >= static_cast<double>(m_serverBufferBytes - m_marginBytes)) {
        // The server may have been full since the stall's start plus its buffer.
        m_suspect = true;
        m_lagBefore = m_recentLags.empty() ? m_lastLag : recentLowestLag();
        m_lowestLagAfter = lag;
        m_verdictAt = now + kVerdictDelay;
        m_holdAt = m_lastArrived + m_serverBufferBytes - m_marginBytes;
    } else if (m_suspect) {
        // Sound the socket or the server kept comes in a burst right after the stall and the
        // lag falls back at once; lost sound keeps it up for good.
        m_lowestLagAfter = std::min(m_lowestLagAfter, lag);
        const bool caughtUp = m_lowestLagAfter - m_lagBefore <= m_toleranceBytes;
        if (caughtUp || now >= m_verdictAt) {
            m_suspect = false;
            if (caughtUp)
                m_holdAt = kNoHold;
            else
                m_lost = true; // the hold stays: the sound after it is not the sound before
        }
    }
    m_lastTick = now;
    m_lastArrived = arrivedBytes;
    m_lastLag = lag;
    // Before the first sound the lag only measures the source's start.
    if (arrivedBytes == 0)
        return;
    m_recentLags.push_back(lag);
    if (m_recentLags.size() > kRecentTicks)
        m_recentLags.pop_front();
}
