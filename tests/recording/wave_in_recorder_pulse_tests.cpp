// WaveInRecorder on a real sound server: what is played into the server's pipe source arrives
// in GotData blocks, sample for sample at the source's own format, and converted by the server
// at another one.
#include "recording/wave_in_recorder.h"

#include "effects/cls_dsp.h"
#include "recording/encoder_wav.h"
#include "recording/recording_control.h"

#include "platform/audio/pulse/pulse_backend.h"

#include "../support/pulse_server.h"
#include "../support/source_player.h"
#include "../support/tools.h"
#include "../support/signal_helpers.h"

#include <QTemporaryDir>

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

TEST(WaveInRecorderOnPulse, SourceIsItsOwnLineAndItsVolumeIsTheLineVolume)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    WaveInRecorder recorder(pulseBackend());
    ASSERT_TRUE(recorder.SelectDevice(0));
    ASSERT_EQ(recorder.MixerLineCount(), 1); // the pipe source has no ports
    EXPECT_EQ(recorder.MixerLineName(0), server.sourceDescription());
    EXPECT_EQ(recorder.SelectedMixerLine(), 0);
    EXPECT_TRUE(recorder.SelectMixerLine(0));
    EXPECT_FALSE(recorder.SelectMixerLine(1));

    recorder.setMixerLineVolume(30000);
    EXPECT_NEAR(recorder.MixerLineVolume(), 30000, 1);
    // The server itself reports the new level on every channel: 30000 / 65535 of normal.
    const QString reported = server.pactl({"get-source-volume", server.sourceName()});
    EXPECT_EQ(reported.count("46%"), 2) << reported.toStdString();
    recorder.setMixerLineVolume(65535);
    EXPECT_EQ(recorder.MixerLineVolume(), 65535);
}

namespace {

struct CollectedMessages final : RecordingMessages {
    void showMessage(const QString &text) override { texts.push_back(text); }
    std::vector<QString> texts;
};

} // namespace

TEST(WaveInRecorderOnPulse, VanishingSourceStopsTheRecordingWithACompleteFile)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    WaveInRecorder recorder(pulseBackend());
    ASSERT_TRUE(recorder.SelectDevice(0));
    EncoderWAV encoder;
    clsDSP effects;
    CollectedMessages messages;
    RecordingControl control(recorder, encoder, effects, messages, home.path());
    control.setDeviceChosen(true);
    control.setRateText("44100");
    control.setOutputPath(home.filePath("take.wav"));
    int blocks = 0;
    QObject::connect(&control, &RecordingControl::blockRecorded, [&] { ++blocks; });
    {
        SourcePlayer player(server, makeTone(440, 44100, 2, 44100 * 10), 44100, 2);
        control.cmdDo_Click();
        ASSERT_TRUE(control.isRecording());
        ASSERT_TRUE(waitUntil([&] { return blocks >= 5; }));
        ASSERT_TRUE(server.removeSource());
        EXPECT_TRUE(waitUntil([&] { return !control.isRecording(); }));
    }
    EXPECT_EQ(messages.texts,
              std::vector<QString>{"L'enregistrement a été arrêté : le périphérique de capture ne répond plus."});
    const QByteArray file = readFileBytes(home.filePath("take.wav"));
    EXPECT_EQ(le32At(file, 42), static_cast<std::uint32_t>(file.size() - 46));
    EXPECT_GE(file.size(), 46 + 5 * 10240);
    EXPECT_NEAR(soxInfo(home.filePath("take.wav")).seconds, (file.size() - 46) / 176400.0, 0.001);
}
