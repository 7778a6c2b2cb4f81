// Playing samples into a private server's pipe source at the pace of the sound.
#include "source_player.h"

#include <algorithm>
#include <chrono>
#include <span>

SourcePlayer::SourcePlayer(PrivateSoundServer &server, std::vector<std::int16_t> samples, int rateHz, int channels)
    : m_thread([&server, samples = std::move(samples), rateHz, channels, this] {
          const auto step = static_cast<std::size_t>(rateHz / 100 * channels);
          auto due = std::chrono::steady_clock::now();
          for (std::size_t at = 0; at < samples.size() && !m_stop; at += step) {
              const std::size_t n = std::min(step, samples.size() - at);
              if (!server.writeToSource(std::span(samples).subspan(at, n))) {
                  m_failed = true;
                  break;
              }
              due += std::chrono::milliseconds(10);
              std::this_thread::sleep_until(due);
          }
          m_finished = true;
      })
{
}

SourcePlayer::~SourcePlayer()
{
    m_stop = true;
    m_thread.join();
}
