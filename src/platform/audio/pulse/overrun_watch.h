// Finds out whether the sound server dropped sound of a record stream while this process could
// not read it. The server keeps what its client has not taken in the stream's buffer; when the
// client's thread stalls (the process stopped, the machine starved) for longer than that buffer
// holds, the server drops the rest and says nothing about it. So a stall that could have filled
// the buffer opens a suspicion: sound from where the buffer was full on may be missing, and
// nothing past that point is delivered until the verdict, which comes from the lag of the
// arrived sound behind the clock: sound the socket or the server's memory kept arrives in a
// burst right after the stall and the lag falls back to what it was, which clears the
// suspicion at the next tick; lost sound never arrives, so a second after the stall the lag is
// still higher than before by what was lost.
//
// Fed on the sound server's main loop thread with a tick every kTickInterval. Positions are byte
// offsets in the stream since the capture started.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <limits>

class OverrunWatch {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kTickInterval = std::chrono::milliseconds(100);
    static constexpr std::uint64_t kNoHold = std::numeric_limits<std::uint64_t>::max();

    // serverBufferBytes is what the server keeps for a client that does not read; marginBytes
    // how far short of it the server may start dropping (its pushes come in blocks).
    OverrunWatch(std::uint32_t bytesPerSecond, std::uint64_t serverBufferBytes, std::uint64_t marginBytes);

    // Forgets everything: a new capture starts.
    void restart();
    // One tick: the time now and the sound that has arrived so far.
    void tick(Clock::time_point now, std::uint64_t arrivedBytes);

    // Where delivery stops for now; kNoHold when nothing is held back.
    std::uint64_t holdAt() const { return m_holdAt; }
    // True once sound is known to be missing right after holdAt().
    bool lost() const { return m_lost; }

private:
    double lagBytes(Clock::time_point now, std::uint64_t arrivedBytes) const;
    double recentLowestLag() const;

    const double m_bytesPerSecond;
    const std::uint64_t m_serverBufferBytes;
    const std::uint64_t m_marginBytes;
    const double m_toleranceBytes;

    bool m_started = false;
    Clock::time_point m_origin;
    Clock::time_point m_lastTick;
    std::uint64_t m_lastArrived = 0;
    double m_lastLag = 0;
    std::deque<double> m_recentLags; // the last second of ticks with sound, for the lag before a stall

    bool m_suspect = false;
    double m_lagBefore = 0;
    double m_lowestLagAfter = 0;
    Clock::time_point m_verdictAt;
    std::uint64_t m_holdAt = kNoHold;
    bool m_lost = false;
};
