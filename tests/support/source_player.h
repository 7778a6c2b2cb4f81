// Plays samples into the private server's pipe source from a thread of its own, at about the
// pace of the sound, 10 ms at a time, until done, a write fails or it is destroyed.
#pragma once

#include "private_sound_server.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class SourcePlayer {
public:
    SourcePlayer(PrivateSoundServer &server, std::vector<std::int16_t> samples, int rateHz, int channels);
    ~SourcePlayer(); // stops playing and joins the thread

    SourcePlayer(const SourcePlayer &) = delete;
    SourcePlayer &operator=(const SourcePlayer &) = delete;

    bool finished() const { return m_finished.load(); } // played to the end, or failed
    bool failed() const { return m_failed.load(); }     // the source stopped reading

private:
    std::atomic<bool> m_stop{false}, m_finished{false}, m_failed{false};
    std::thread m_thread;
};
