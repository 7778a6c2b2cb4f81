// WaveInRecorder on a real sound server: what is played into the server's pipe source arrives
// in GotData blocks, sample for sample at the source's own format, and converted by the server
// at another one.
#include "recording/recording_session.h"
#include "recording/wave_in_recorder.h"

#include "effects/cls_dsp.h"
#include "recording/encoder_wav.h"

#include "platform/audio/pulse/pulse_backend.h"

#include "../support/pulse_server.h"
#include "../support/source_player.h"
#include "recording_helpers.h"

namespace {

std::unique_ptr<AudioBackend> pulseBackend()
{
    QString error;
    auto backend = valueOr(createPulseBackend(), error);
    EXPECT_TRUE(backend) << error.toStdString();
    return backend;
}

// Records at `rateHz`/`channels` from the first source while `signal` (44100 Hz stereo) is
// played into it, until `minSamples` samples came; every block is a full buffer.
std::vector<std::int16_t> recordWhilePlaying(int rateHz, int channels, const std::vector<std::int16_t> &signal,
                                             std::size_t minSamples)
{
    PulseServer server({44100, 2});
    EXPECT_TRUE(server.isRunning()) << server.errorText().toStdString();
    WaveInRecorder recorder(pulseBackend());
    EXPECT_GE(recorder.DeviceCount(), 1);
    EXPECT_EQ(recorder.DeviceName(0), server.sourceDescription());
    EXPECT_TRUE(recorder.SelectDevice(0));
    std::vector<std::int16_t> samples;
    QObject::connect(&recorder, &WaveInRecorder::GotData, [&](std::span<std::int16_t> buffer, std::int32_t &len) {
        EXPECT_EQ(len, 10240);
        samples.insert(samples.end(), buffer.begin(), buffer.begin() + len / 2);
    });
    EXPECT_TRUE(recorder.StartRecord(rateHz, channels));
    {
        SourcePlayer player(server, signal, 44100, 2);
        // The source delivers only what is played into it: wait for most of the signal.
        EXPECT_TRUE(waitUntil([&] { return samples.size() >= minSamples; }, std::chrono::seconds(20)))
            << samples.size();
    }
    recorder.StopRecord();
    return samples;
}

} // namespace

TEST(WaveInRecorderOnPulse, SourceSignalArrivesSampleForSample)
{
    // A sequence with no zero sample, so that it stands out from the server's start-up silence.
    std::vector<std::int16_t> signal(2 * 44100 * 4);
    std::uint32_t state = 12345;
    for (auto &s : signal) {
        state = state * 1103515245u + 12345u;
        s = static_cast<std::int16_t>((state >> 16) | 1u);
    }
    const auto samples = recordWhilePlaying(44100, 2, signal, 2 * 44100 * 3);
    const auto start = std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; });
    ASSERT_NE(start, samples.end());
    const auto offset = static_cast<std::size_t>(start - samples.begin());
    EXPECT_EQ(offset % 2, 0u); // whole frames
    const std::size_t compared = std::min(signal.size(), samples.size() - offset);
    ASSERT_GE(compared, 2u * 44100u);
    EXPECT_TRUE(std::equal(start, start + static_cast<std::ptrdiff_t>(compared), signal.begin()));
}

TEST(WaveInRecorderOnPulse, ServerConvertsToEightKilohertzMono)
{
    const auto samples = recordWhilePlaying(8000, 1, makeTone(440, 44100, 2, 44100 * 4), 8000 * 3);
    const auto start = std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return std::abs(s) > 1000; });
    ASSERT_GE(samples.end() - start, 16000);
    EXPECT_NEAR(measureFrequency(std::vector<std::int16_t>(start + 800, start + 16000), 1, 8000), 440.0, 1.0);
}

TEST(WaveInRecorderOnPulse, SourceIsItsOwnLineAndAVanishedSourceCannotBeSelectedOrOpened)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    WaveInRecorder recorder(pulseBackend());
    ASSERT_EQ(recorder.DeviceCount(), 2);
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

    ASSERT_TRUE(server.removeSource());
    EXPECT_FALSE(recorder.StartRecord(44100, 2));
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_FALSE(recorder.lastStartError().isEmpty());
    // Read afresh, the list no longer has it.
    EXPECT_EQ(recorder.DeviceCount(), 1);
    EXPECT_EQ(recorder.DeviceName(0), "Monitor of " + server.sinkDescription());
}

TEST(WaveInRecorderOnPulse, VanishingSourceStopsTheRecordingWithACompleteFile)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QTemporaryDir home;
    WaveInRecorder recorder(pulseBackend());
    ASSERT_TRUE(recorder.SelectDevice(0));
    EncoderWAV encoder;
    clsDSP effects;
    RecordingSession session(recorder, encoder, effects, home.path());
    int blocks = 0;
    QObject::connect(&session, &RecordingSession::blockRecorded, [&] { ++blocks; });
    std::vector<QString> stops;
    QObject::connect(&session, &RecordingSession::stopped,
                     [&](StopCause, const RecordingFailure &failure) { stops.push_back(failure.message); });
    {
        SourcePlayer player(server, makeTone(440, 44100, 2, 44100 * 10), 44100, 2);
        ASSERT_FALSE(session.start({home.filePath("take.wav"), false, true, 44100, 2, {}}));
        ASSERT_TRUE(waitUntil([&] { return blocks >= 5; }));
        ASSERT_TRUE(server.removeSource());
        EXPECT_TRUE(waitUntil([&] { return !session.isRecording(); }));
    }
    EXPECT_EQ(stops, std::vector<QString>{"L'enregistrement a été arrêté : le périphérique de capture ne répond plus."});
    const QByteArray file = readFileBytes(home.filePath("take.wav"));
    EXPECT_EQ(le32At(file, 42), static_cast<std::uint32_t>(file.size() - 46));
    EXPECT_GE(file.size(), 46 + 5 * 10240);
    EXPECT_NEAR(soxInfo(home.filePath("take.wav")).seconds, (file.size() - 46) / 176400.0, 0.001);
}
