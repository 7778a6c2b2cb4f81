// The virtual capture device. Its pacing thread takes the buffer at the head of the queue,
// waits until the sound it would hold has "arrived" (buffer length / bytes per second / speed;
// no wait at speed 0), fills it from the sample source, and hands it back through the
// notifier.
//
// Threads: the public members run on the owner's thread; run() is the pacing thread. m_mutex
// guards the queue, the state flags and the sample source; the pacing thread fills a buffer and
// sends its notice while holding it, so once stop(), reset() or close() has taken the mutex no
// buffer is written and no notice is sent.
#pragma once

#include "common/wave_format.h"
#include "platform/audio/capture_device.h"
#include "platform/audio/virtual/sample_source.h"
#include "platform/audio/virtual/virtual_mixer.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class VirtualCaptureDevice final : public CaptureDevice {
public:
    VirtualCaptureDevice(const WaveFormat &format, CaptureNotifier &notifier,
                         std::unique_ptr<SampleSource> source, std::shared_ptr<VirtualMixerState> mixer,
                         double speed, int failPrepareAt);
    ~VirtualCaptureDevice() override;

    bool prepareBuffer(CaptureBuffer &buffer) override;
    bool addBuffer(CaptureBuffer &buffer) override;
    Status start() override;
    void stop() override;
    std::vector<CaptureBuffer *> reset() override;
    void close() override;

private:
    void run();
    std::chrono::steady_clock::duration durationOf(const CaptureBuffer &buffer) const;

    const WaveFormat m_format;
    CaptureNotifier &m_notifier;
    const double m_speed;
    const int m_failPrepareAt;
    int m_prepareCount = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unique_ptr<SampleSource> m_source;
    const std::shared_ptr<VirtualMixerState> m_mixer;
    std::deque<CaptureBuffer *> m_queue;
    bool m_running = false;
    bool m_closed = false;
    std::chrono::steady_clock::time_point m_due;
    std::thread m_thread; // started by the first start(), joined by close()
};
