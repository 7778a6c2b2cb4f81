// The recording path on a real sound server: a private PulseAudio daemon (the tests' own), a
// counting signal written into its pipe source at the pace of the sound by a thread of this
// program, and WaveInRecorder with EncoderWAV writing every block to a file, as the recorder
// runs them. Reports the CPU the recording takes per second of sound (the writer thread's own
// time left out) and the latency of every block: from the moment the writer handed its last
// frame to the server to the block's GotData on the UI thread (the count in the block says which
// frame it is; the server's own latency is part of it), as median, 99th percentile and worst,
// and the breaks in the count (frames missing or repeated).
//
// Usage: bench_capture_latency [SECONDS=20] [RATE=44100] [HEADER_DELAY_MS=0]
// HEADER_DELAY_MS makes every header rewrite (once a second) that much slower, as a slow disk.
#include "recording/encoder_wav.h"
#include "recording/wave_in_recorder.h"

#include "platform/audio/pulse/pulse_backend.h"

#include "support/pulse_server.h"
#include "support/signal_helpers.h"
#include "support/tools.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * (values.size() - 1))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 44100;
    const int headerDelayMs = argc > 3 ? std::atoi(argv[3]) : 0;

    PulseServer server({.sourceRateHz = rate, .sourceChannels = 2});
    if (!server.isRunning()) {
        std::fprintf(stderr, "no sound server: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    QString error;
    WaveInRecorder recorder(valueOr(createPulseBackend(), error));
    int source = -1;
    for (int i = 0; i < recorder.DeviceCount(); ++i)
        if (recorder.DeviceName(i) == server.sourceDescription())
            source = i;
    if (source < 0 || !recorder.SelectDevice(source)) {
        std::fprintf(stderr, "the pipe source is not listed: %s\n", qPrintable(error));
        return 1;
    }

    // The writer hands 10 ms at a time to the server, each at its due time; frame k is due at
    // start + k / rate.
    const std::vector<std::int16_t> signal = makeCountingSignal(1, static_cast<int>((seconds + 5) * rate));
    const Clock::time_point start = Clock::now() + std::chrono::milliseconds(200);
    std::atomic<bool> stop{false};
    std::atomic<double> writerCpu{0};
    std::thread writer([&] {
        const std::size_t step = static_cast<std::size_t>(rate / 100) * 2;
        std::this_thread::sleep_until(start);
        for (std::size_t at = 0; at < signal.size() && !stop; at += step) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(at / 2 * 1000000 / rate));
            if (!server.writeToSource(std::span(signal).subspan(at, std::min(step, signal.size() - at))))
                break;
        }
        writerCpu = threadCpuSeconds();
    });

    QTemporaryDir dir;
    EncoderWAV encoder;
    std::vector<double> latencies;
    std::uint32_t lastCount = 0;
    long breaks = 0;
    QObject::connect(&recorder, &WaveInRecorder::GotData, [&](std::span<std::int16_t> block, std::int32_t &len) {
        const Clock::time_point now = Clock::now();
        const std::size_t frames = static_cast<std::size_t>(len) / 4;
        for (std::size_t f = 0; f < frames; ++f) {
            const std::uint32_t count = static_cast<std::uint16_t>(block[2 * f]) |
                                        static_cast<std::uint32_t>(static_cast<std::uint16_t>(block[2 * f + 1])) << 16;
            if (count != 0 && lastCount != 0 && count != lastCount + 1)
                ++breaks;
            if (count != 0)
                lastCount = count;
        }
        if (lastCount != 0) {
            // The 10 ms piece that held this frame was handed over at its first frame's time.
            const std::int64_t piece = std::int64_t(lastCount - 1) / (rate / 100);
            const Clock::time_point due = start + std::chrono::milliseconds(piece * 10);
            latencies.push_back(std::chrono::duration<double, std::milli>(now - due).count());
        }
        std::int32_t used = 0;
        encoder.Encoder_Encode(block.data(), len, used);
        if (headerDelayMs > 0 && encoder.Encoder_EncoderMetrics(1) > 0 && latencies.size() % (rate * 4 / 10240) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(headerDelayMs));
    });
    if (encoder.Encoder_EncoderInit(rate, 2, dir.filePath("capture.wav")) != 0 || !recorder.StartRecord(rate, 2)) {
        std::fprintf(stderr, "could not start: %s\n", qPrintable(recorder.lastStartError()));
        stop = true;
        writer.join();
        return 1;
    }
    const double cpuBefore = processCpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    recorder.StopRecord();
    encoder.Encoder_EncoderClose();
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    stop = true;
    writer.join();
    const double cpu = processCpuSeconds() - cpuBefore - writerCpu;

    std::printf("%.1f s at %d Hz stereo, header delay %d ms: %zu blocks, %ld breaks in the count\n", wall, rate,
                headerDelayMs, latencies.size(), breaks);
    std::printf("CPU %.2f ms per second of recording (%.3f %% of one core)\n", 1000 * cpu / wall, 100 * cpu / wall);
    std::printf("latency from the last frame written to its GotData: median %.1f ms, 99th percentile %.1f ms, worst %.1f ms\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0));
    return 0;
}
