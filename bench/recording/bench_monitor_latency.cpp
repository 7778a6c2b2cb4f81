// How late monitoring is heard, on a real sound server: a private PulseAudio daemon (the tests'
// own) whose null sink is the default output, and a capture stream on the null sink's monitor
// (20 ms fragments, through the same platform layer) that hears clicks. Two figures:
//
// - the output alone: MonitorOutput fed as a recording feeds it, one block (10240 bytes, 58 ms
//   at 44100 Hz stereo) at a time at the pace of the sound, with a click at the start of one
//   block every half second; from play() to the listener;
// - the whole path of `record --monitor`: clicks written into the pipe source at the pace of the
//   sound, captured by WaveInRecorder, run through RecordingSession (effects, file, monitoring);
//   from the click's write to the listener.
//
// The first also reports the delay the server states for the output (MonitorOutput::latency(),
// read after each click). Both report the delays to the moment the listener got the fragment
// holding the click: this includes the listener's own capture delay (up to a fragment and the
// monitor source's latency), so it bounds what one hears from above. Also the frames the output
// dropped.
//
// Usage: bench_monitor_latency [SECONDS=20] [RATE=44100] [BLOCK_BYTES=10240]
#include "effects/cls_dsp.h"
#include "platform/audio/pulse/pulse_backend.h"
#include "recording/encoder_wav.h"
#include "recording/recording_session.h"
#include "recording/wave_in_recorder.h"

#include "support/pulse_server.h"
#include "support/tools.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int16_t kClickLevel = 20000;
constexpr int kClickFrames = 32;

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

// Hears the clicks: records when each filled buffer came that holds a click's first frame. Runs
// on the backend's thread; the buffers are all queued at the start and never re-queued.
class ClickListener : public CaptureNotifier {
public:
    void bufferDone(CaptureBuffer *buffer) override
    {
        const Clock::time_point now = Clock::now();
        const std::size_t samples = buffer->bytesRecorded / 2;
        std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < samples; ++i) {
            const bool loud = std::abs(static_cast<int>(buffer->data[i])) > kClickLevel / 2;
            if (loud && !m_inClick)
                m_heard.push_back(now);
            if (loud)
                m_quietSamples = 0;
            else if (++m_quietSamples > 2 * kClickFrames * 2)
                m_inClick = false;
            m_inClick = m_inClick || loud;
        }
    }
    void deviceFailed() override { std::fprintf(stderr, "the listener's device failed\n"); }
    void dataLost() override { std::fprintf(stderr, "the listener lost sound\n"); }

    std::vector<Clock::time_point> heard()
    {
        std::lock_guard lock(m_mutex);
        return m_heard;
    }

private:
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_heard;
    bool m_inClick = false;
    std::size_t m_quietSamples = 0;
};

// Each click is matched with the first one heard after it and before the next click.
std::vector<double> delaysOf(const std::vector<Clock::time_point> &clicked, const std::vector<Clock::time_point> &heard)
{
    std::vector<double> delays;
    std::size_t h = 0;
    for (std::size_t c = 0; c < clicked.size(); ++c) {
        while (h < heard.size() && heard[h] < clicked[c])
            ++h;
        if (h < heard.size() && (c + 1 == clicked.size() || heard[h] < clicked[c + 1]))
            delays.push_back(std::chrono::duration<double, std::milli>(heard[h] - clicked[c]).count());
    }
    return delays;
}

void report(const char *what, std::size_t clicks, const std::vector<double> &delays, const std::vector<double> &stated)
{
    std::printf("%s: %zu clicks, %zu heard\n", what, clicks, delays.size());
    if (!stated.empty())
        std::printf("  delay the server states for the output: median %.1f ms, worst %.1f ms\n",
                    percentile(stated, 0.5), percentile(stated, 1.0));
    std::printf("  click to the listener holding it: median %.1f ms, 90th percentile %.1f ms, worst %.1f ms\n",
                percentile(delays, 0.5), percentile(delays, 0.9), percentile(delays, 1.0));
}

// The whole path: clicks into the pipe source, recorded with monitoring on for `seconds`.
bool measureWholePath(PulseServer &server, ClickListener &listener, double seconds, int rate)
{
    QString error;
    WaveInRecorder recorder(valueOr(createPulseBackend(), error));
    int source = -1;
    for (int i = 0; i < recorder.DeviceCount(); ++i)
        if (recorder.DeviceName(i) == server.sourceDescription())
            source = i;
    if (source < 0 || !recorder.SelectDevice(source)) {
        std::fprintf(stderr, "the pipe source is not listed: %s\n", qPrintable(error));
        return false;
    }
    QTemporaryDir folder;
    EncoderWAV encoder;
    encoder.SetPCMFormat(rate, 2);
    clsDSP effects;
    RecordingSession session(recorder, encoder, effects, folder.path() + QLatin1Char('/'));
    (void)session.setMonitoring(true);
    RecordingRequest request;
    request.path = folder.filePath("take.wav");
    request.rateHz = rate;
    if (const auto failure = session.start(request)) {
        std::fprintf(stderr, "cannot record: %s %s\n", qPrintable(failure->message), qPrintable(failure->reason));
        return false;
    }
    if (!session.isMonitoring()) {
        std::fprintf(stderr, "monitoring did not start\n");
        return false;
    }

    // 10 ms pieces at their due time; a click of kClickFrames at the start of one every half second.
    std::vector<Clock::time_point> clicked;
    std::mutex clickedMutex;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const std::size_t pieceFrames = static_cast<std::size_t>(rate / 100);
        std::vector<std::int16_t> silence(pieceFrames * 2, 0);
        std::vector<std::int16_t> click = silence;
        std::fill(click.begin(), click.begin() + 2 * kClickFrames, kClickLevel);
        const Clock::time_point start = Clock::now();
        for (int piece = 0; !stop; ++piece) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * piece));
            const bool isClick = piece >= 100 && piece % 50 == 0;
            const Clock::time_point written = Clock::now();
            if (!server.writeToSource(isClick ? click : silence))
                break;
            if (isClick) {
                std::lock_guard lock(clickedMutex);
                clicked.push_back(written);
            }
        }
    });
    QTimer::singleShot(static_cast<int>((seconds + 1) * 1000), QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    session.stop();
    stop = true;
    writer.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    report("record --monitor, from the source to the output", clicked.size(), delaysOf(clicked, listener.heard()), {});
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 44100;
    const auto blockBytes = static_cast<std::uint32_t>(argc > 3 ? std::atoi(argv[3]) : 10240);

    PulseServer server({.sourceRateHz = rate, .sourceChannels = 2});
    if (!server.isRunning()) {
        std::fprintf(stderr, "no sound server: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    QString error;
    std::unique_ptr<AudioBackend> backend = valueOr(createPulseBackend(), error);
    if (!backend) {
        std::fprintf(stderr, "no backend: %s\n", qPrintable(error));
        return 1;
    }
    int monitorIndex = -1;
    for (int i = 0; i < backend->deviceCount(); ++i)
        if (backend->deviceName(i) == QStringLiteral("Monitor of ") + server.sinkDescription())
            monitorIndex = i;
    const WaveFormat format = WaveFormat::pcm(static_cast<std::uint32_t>(rate), 2, 16);

    // The listener: 10 ms buffers for the whole run, all queued at once.
    ClickListener listener;
    std::unique_ptr<CaptureDevice> device = valueOr(backend->openDevice(monitorIndex, format, listener), error);
    if (!device) {
        std::fprintf(stderr, "cannot listen to the sink's monitor: %s\n", qPrintable(error));
        return 1;
    }
    const std::size_t bufferSamples = static_cast<std::size_t>(rate / 100) * 2;
    std::vector<std::vector<std::int16_t>> memory(static_cast<std::size_t>((2 * seconds + 15) * 100));
    std::vector<CaptureBuffer> buffers(memory.size());
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        memory[i].assign(bufferSamples, 0);
        buffers[i].data = memory[i].data();
        buffers[i].bufferBytes = static_cast<std::uint32_t>(bufferSamples * 2);
        if (!device->prepareBuffer(buffers[i]) || !device->addBuffer(buffers[i])) {
            std::fprintf(stderr, "cannot queue the listener's buffers\n");
            return 1;
        }
    }
    if (const Status started = device->start(); !started) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(started.reason()));
        return 1;
    }

    // An idle null sink keeps its two-second period until its next one begins: the output opens
    // once the listener's low delay has taken over, as a sound card's would at once.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::unique_ptr<MonitorOutput> output = valueOr(backend->openMonitor(format, blockBytes), error);
    if (!output) {
        std::fprintf(stderr, "cannot open the monitoring output: %s\n", qPrintable(error));
        return 1;
    }

    // Blocks at the pace of the sound; the clicks start after a second.
    const std::size_t blockSamples = blockBytes / 2;
    const auto blockDuration = std::chrono::microseconds(static_cast<std::int64_t>(blockSamples / 2) * 1000000 / rate);
    const std::vector<std::int16_t> silence(blockSamples, 0);
    std::vector<std::int16_t> click(blockSamples, 0);
    std::fill(click.begin(), click.begin() + 2 * kClickFrames, kClickLevel);
    const auto warmUp = std::chrono::seconds(1);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + warmUp + std::chrono::microseconds(static_cast<std::int64_t>(seconds * 1e6));
    std::vector<Clock::time_point> clicked;
    std::vector<double> stated;
    Clock::time_point nextClick = start + warmUp;
    Clock::time_point due = start;
    for (int block = 0; due < end; ++block, due += blockDuration) {
        std::this_thread::sleep_until(due);
        const bool isClick = Clock::now() >= nextClick;
        const Clock::time_point played = Clock::now();
        if (const Status status = output->play(isClick ? click : silence); !status) {
            std::fprintf(stderr, "play failed: %s\n", qPrintable(status.reason()));
            return 1;
        }
        if (!isClick)
            continue;
        clicked.push_back(played);
        nextClick = played + std::chrono::milliseconds(500);
        if (const Result<std::chrono::microseconds> latency = output->latency())
            stated.push_back(static_cast<double>(latency->count()) / 1000.0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    std::printf("%.0f s at %d Hz stereo, blocks of %u bytes (%.1f ms)\n", seconds, rate, blockBytes,
                static_cast<double>(blockDuration.count()) / 1000.0);
    report("MonitorOutput::play() to the output", clicked.size(), delaysOf(clicked, listener.heard()), stated);
    std::printf("  %llu frames dropped\n", static_cast<unsigned long long>(output->droppedFrames()));
    output.reset();

    if (!measureWholePath(server, listener, seconds, rate))
        return 1;
    device->stop();
    device->reset();
    device->close();
    return 0;
}
