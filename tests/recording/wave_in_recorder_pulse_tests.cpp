// WaveInRecorder on a real sound server: what is played into the server's pipe source arrives
// in GotData blocks, sample for sample at the source's own format, and converted by the server
// at another one.
#include "recording/wave_in_recorder.h"

#include "platform/audio/pulse/pulse_backend.h"

#include "../support/pulse_server.h"
#include "../support/source_player.h"
#include "../support/tools.h"
#include "../support/signal_helpers.h"

#include <gtest/gtest.h>


namespace {

// A sequence with no zero sample, so that it stands out from the server's start-up silence.
std::vector<std::int16_t> pseudoRandom(std::size_t count)
{
    std::vector<std::int16_t> samples(count);
    std::uint32_t state = 12345;
    for (auto &s : samples) {
        state = state * 1103515245u + 12345u;
        s = static_cast<std::int16_t>((state >> 16) | 1u);
    }
    return samples;
}

struct Capture {
    explicit Capture(WaveInRecorder &recorder)
    {
        QObject::connect(&recorder, &WaveInRecorder::GotData, [this](std::span<std::int16_t> buffer, std::int32_t &len) {
            sizes.push_back(len);
            samples.insert(samples.end(), buffer.begin(), buffer.begin() + len / 2);
        });
    }
    std::vector<std::int32_t> sizes;
    std::vector<std::int16_t> samples;
};

std::unique_ptr<AudioBackend> pulseBackend()
{
    QString error;
    auto backend = createPulseBackend(&error);
    EXPECT_TRUE(backend) << error.toStdString();
    return backend;
}

} // namespace

TEST(WaveInRecorderOnPulse, SourceSignalArrivesSampleForSample)
{
    PulseServer server({44100, 2});
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    WaveInRecorder recorder(pulseBackend());
    ASSERT_GE(recorder.DeviceCount(), 1);
    EXPECT_EQ(recorder.DeviceName(0), server.sourceDescription());
    ASSERT_TRUE(recorder.SelectDevice(0));
    Capture capture(recorder);
    ASSERT_TRUE(recorder.StartRecord(44100, 2));

    const auto signal = pseudoRandom(2 * 44100 * 4);
    {
        SourcePlayer player(server, signal, 44100, 2);
        // The source delivers only what is played into it: wait for most of the signal.
        ASSERT_TRUE(waitUntil([&] { return capture.samples.size() >= 2 * 44100 * 3; },
                              std::chrono::seconds(20)))
            << capture.samples.size();
    }
    recorder.StopRecord();

    for (std::int32_t size : capture.sizes)
        EXPECT_EQ(size, 10240);
    const auto start = std::find_if(capture.samples.begin(), capture.samples.end(), [](std::int16_t s) { return s != 0; });
    ASSERT_NE(start, capture.samples.end());
    const auto offset = static_cast<std::size_t>(start - capture.samples.begin());
    EXPECT_EQ(offset % 2, 0u); // whole frames
    const std::size_t compared = std::min(signal.size(), capture.samples.size() - offset);
    ASSERT_GE(compared, 2u * 44100u);
    const std::vector<std::int16_t> received(start, start + static_cast<std::ptrdiff_t>(compared));
    EXPECT_TRUE(std::equal(received.begin(), received.end(), signal.begin()));
}

TEST(WaveInRecorderOnPulse, ServerConvertsToEightKilohertzMono)
{
    PulseServer server({44100, 2});
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    WaveInRecorder recorder(pulseBackend());
    ASSERT_TRUE(recorder.SelectDevice(0));
    Capture capture(recorder);
    ASSERT_TRUE(recorder.StartRecord(8000, 1));
    {
        SourcePlayer player(server, makeTone(440, 44100, 2, 44100 * 4), 44100, 2);
        ASSERT_TRUE(waitUntil([&] { return capture.samples.size() >= 8000 * 3; }, std::chrono::seconds(20)));
    }
    recorder.StopRecord();
    for (std::int32_t size : capture.sizes)
        EXPECT_EQ(size, 10240);
    const auto start = std::find_if(capture.samples.begin(), capture.samples.end(),
                                    [](std::int16_t s) { return std::abs(s) > 1000; });
    ASSERT_GE(capture.samples.end() - start, 16000);
    const std::vector<std::int16_t> tone(start + 800, start + 16000);
    EXPECT_NEAR(measureFrequency(tone, 1, 8000), 440.0, 1.0);
}

TEST(WaveInRecorderOnPulse, VanishedSourceCannotBeSelectedOrOpened)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    WaveInRecorder recorder(pulseBackend());
    ASSERT_EQ(recorder.DeviceCount(), 2);
    ASSERT_TRUE(recorder.SelectDevice(0));
    ASSERT_TRUE(server.removeSource());
    EXPECT_FALSE(recorder.StartRecord(44100, 2));
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_FALSE(recorder.lastStartError().isEmpty());
    // Read afresh, the list no longer has it.
    EXPECT_EQ(recorder.DeviceCount(), 1);
    EXPECT_EQ(recorder.DeviceName(0), "Monitor of " + server.sinkDescription());
}
