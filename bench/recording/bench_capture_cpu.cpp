// CPU use of the capture path per second of recording: the virtual device at real-time pace,
// WaveInRecorder's ring and notices, and every block written by EncoderWAV, as the recorder
// runs it. Usage: bench_capture_cpu [SECONDS=10] [RATE=44100] [CHANNELS=2]
#include "recording/encoder_wav.h"
#include "recording/wave_in_recorder.h"

#include "platform/audio/virtual/virtual_backend.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 44100;
    const auto channels = static_cast<std::int16_t>(argc > 3 ? std::atoi(argv[3]) : 2);

    QTemporaryDir dir;
    EncoderWAV encoder;
    WaveInRecorder recorder(createVirtualBackend({}));
    long blocks = 0;
    QObject::connect(&recorder, &WaveInRecorder::GotData, [&](std::span<std::int16_t> buffer, std::int32_t &len) {
        std::int32_t used = 0;
        encoder.Encoder_Encode(buffer.data(), len, used);
        ++blocks;
    });
    if (encoder.Encoder_EncoderInit(rate, channels, dir.filePath("capture.wav")) != 0 ||
        !recorder.StartRecord(rate, channels)) {
        std::fprintf(stderr, "could not start: %s\n", qPrintable(recorder.lastStartError()));
        return 1;
    }
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    recorder.StopRecord();
    encoder.Encoder_EncoderClose();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    std::printf("recorded %.1f s at %d Hz, %d ch: %ld blocks; CPU %.2f ms per second of recording (%.3f %% of one core)\n",
                wall, rate, channels, blocks, 1000 * cpu / wall, 100 * cpu / wall);
    return 0;
}
