// Recording through each sound server, PulseAudio and PipeWire (pipewire-pulse with WirePlumber):
// the devices listed, a loud source mixed down to mono unclipped, the recording volume, and one
// failure notice when the source or the server goes. PipeWire may drop a period under load; the
// tones are measured on the longest stretch of sound without such a gap.
#include "capture_helpers.h"

#include "support/pipewire_session.h"
#include "support/signal_helpers.h"

#include <QCoreApplication>

#include <cmath>
#include <numeric>

namespace {

constexpr int kRateHz = 44100;

// 440 Hz on the left, 880 Hz on the right, at 44100 Hz.
std::vector<std::int16_t> stereoTone(int frames, double amplitude)
{
    const auto left = makeTone(440, kRateHz, 1, frames, amplitude), right = makeTone(880, kRateHz, 1, frames, amplitude);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < left.size(); ++i)
        samples.insert(samples.end(), {left[i], right[i]});
    return samples;
}

// One channel of the longest run of frames without two silent frames in a row (before the
// signal, or where the server dropped a period), less 10 ms at each end.
std::vector<std::int16_t> longestSoundStretch(const std::vector<std::int16_t> &samples, int channels, int rateHz,
                                              int channel)
{
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    const auto silent = [&](std::size_t frame) {
        return std::all_of(&samples[frame * channels], &samples[frame * channels] + channels,
                           [](std::int16_t s) { return s == 0; });
    };
    std::size_t bestFrom = 0, bestLength = 0, from = 0;
    for (std::size_t frame = 0; frame <= frames; ++frame) {
        if (frame < frames && !(frame + 1 < frames && silent(frame) && silent(frame + 1)))
            continue;
        if (frame - from > bestLength)
            bestFrom = from, bestLength = frame - from;
        from = frame + 1;
    }
    std::vector<std::int16_t> stretch;
    for (std::size_t frame = bestFrom + rateHz / 100; frame + rateHz / 100 < bestFrom + bestLength; ++frame)
        stretch.push_back(samples[frame * channels + channel]);
    return stretch;
}

// The peak of a sine from its mean power, steadier than the largest sample.
double sinePeak(const std::vector<std::int16_t> &s)
{
    return s.empty() ? 0 : std::sqrt(2 * std::inner_product(s.begin(), s.end(), s.begin(), 0.0) / s.size());
}

template <class Server>
class ServerCapture : public SoundServerTest<Server> {
protected:
    // Records `format` from device `at` while `tone` plays into the pipe source, until 1.5 s of
    // sound came.
    std::vector<std::int16_t> recordTone(const WaveFormat &format, int at, std::vector<std::int16_t> tone)
    {
        EXPECT_TRUE(this->open(format, at)) << this->error.toStdString();
        if (!this->device)
            return {};
        this->collector.setDevice(this->device.get());
        BufferRing ring(5, kBufferBytes);
        EXPECT_TRUE(this->start(ring));
        const std::size_t wanted = format.samplesPerSec * format.channels * 3 / 2;
        this->startWriting(std::move(tone));
        const auto loud = [](std::int16_t s) { return std::abs(s) > 100; };
        const bool enough = waitLong([&] {
            return this->writer->failed() || std::size_t(std::ranges::count_if(this->collector.samples, loud)) >= wanted;
        });
        EXPECT_TRUE(enough && !this->writer->failed()) << "the pipe source stopped reading; captured "
                                                      << this->collector.samples.size() << " samples";
        this->writer.reset();
        this->device->reset();
        this->device->close();
        this->expectFullBuffers();
        return this->collector.samples;
    }
};
using Servers = ::testing::Types<PulseServer, PipeWireSession>;
TYPED_TEST_SUITE(ServerCapture, Servers);
using PipeWireCapture = ServerCapture<PipeWireSession>;

} // namespace

TYPED_TEST(ServerCapture, ListsTheSourceAndTheSinkMonitorEachWithItsMixerLine)
{
    AudioBackend &devices = *this->backend;
    ASSERT_EQ(devices.deviceCount(), 2);
    for (int at = 0; at < 2; ++at) {
        const std::unique_ptr<AudioMixer> mixer = valueOr(devices.openMixer(at), this->error);
        ASSERT_TRUE(mixer);
        const Result<std::vector<MixerLine>> lines = mixer->lines();
        ASSERT_TRUE(lines && lines->size() == 1u);
        EXPECT_EQ(lines->front().name, devices.deviceName(at));
    }
    EXPECT_EQ(devices.deviceName(2), QString());
    EXPECT_FALSE(devices.openMixer(2) || devices.openMixer(-1));
}

TYPED_TEST(ServerCapture, ConvertsALoudSourceToEightKilohertzMonoAsTheMeanOfItsChannelsUnclipped)
{
    // The same tone on both channels near full scale: their mean is the tone, where PipeWire's
    // own mix, (left + right) / sqrt(2), would clip it.
    const double amplitude = 29000;
    const std::vector<std::int16_t> samples = this->recordTone(
        WaveFormat::pcm(8000, 1, 16), this->index, makeTone(440, kRateHz, 2, 12 * kRateHz, amplitude));
    const std::vector<std::int16_t> mono = longestSoundStretch(samples, 1, 8000, 0);
    ASSERT_GE(mono.size(), std::size_t(8000 / 4)) << "no quarter of a second without a gap";
    // PipeWire resamples a pipe writer that falls behind by up to 1 %; a wrong conversion is off more.
    EXPECT_NEAR(measureFrequency(mono, 1, 8000), 440, 5);
    EXPECT_NEAR(sinePeak(mono), amplitude, 0.05 * amplitude);
    EXPECT_EQ(std::count_if(mono.begin(), mono.end(), [](std::int16_t s) { return s == 32767 || s == -32768; }), 0)
        << "clipped";
}

TYPED_TEST(ServerCapture, ARemovedSourceEndsTheRecordingWithOneFailureNoticeAndOpensNoMore)
{
    // WirePlumber moves a stream whose source has gone to another one unless the stream asks
    // not to be moved; the recording must end instead of going on from the monitor.
    ASSERT_TRUE(this->open()) << this->error.toStdString();
    this->collector.setDevice(this->device.get());
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(this->start(ring));
    this->startWriting(makeTone(440, kRateHz, 2, 12 * kRateHz, 8000));
    ASSERT_TRUE(waitLong([&] { return this->collector.notices.load() >= 3; }));
    ASSERT_TRUE(this->server.removeSource());
    this->expectOneFailureNotice();
    EXPECT_FALSE(this->device->start());
    EXPECT_EQ(this->device->reset().size(), 5u) << "the handled buffers were queued again";
    EXPECT_TRUE(sourceOutputs(this->server).isEmpty());
    // The device and the notices still posted let go of the test's buffers.
    this->collector.setDevice(nullptr);
    this->device->close();
    QCoreApplication::sendPostedEvents();

    EXPECT_FALSE(this->open());
    EXPECT_EQ(this->error, "Le périphérique de capture « Entrée de test Sonoriel » n'existe plus.");
    ASSERT_EQ(this->backend->deviceCount(), 1);
    EXPECT_EQ(this->backend->deviceName(0), "Monitor of " + this->server.sinkDescription());
}

TYPED_TEST(ServerCapture, TheServerEndingEndsTheRecordingWithOneFailureNotice)
{
    ASSERT_TRUE(this->open()) << this->error.toStdString();
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(this->start(ring));
    this->running.reset();
    this->expectOneFailureNotice();
    EXPECT_EQ(this->backend->deviceCount(), 0);
    BlockCollector other;
    EXPECT_FALSE(valueOr(this->backend->openDevice(-1, kCdStereo, other), this->error));
    // The open device still gives its buffers back and closes.
    this->device->stop();
    EXPECT_EQ(this->device->reset().size() + this->collector.notices.load(), 5u);
    this->device->close();
    EXPECT_FALSE(this->device->start());
}

TEST_F(PipeWireCapture, RecordingVolumeIsReportedByTheServerAndAppliedToTheDefaultSourcesChannels)
{
    const std::unique_ptr<AudioMixer> mixer = valueOr(backend->openMixer(index), error);
    ASSERT_TRUE(mixer);
    ASSERT_TRUE(mixer->setVolume(32768));
    EXPECT_NEAR(double(valueOr(mixer->volume(), error)), 32768, 1);
    const QString reported = server.pactl({"get-source-volume", server.sourceName()});
    EXPECT_EQ(reported.count("50%"), 2) << reported.toStdString();
    EXPECT_FALSE(mixer->setVolume(65536));

    // Half of the volume's scale is an eighth of the amplitude: the server's volume is cubic.
    const double amplitude = 16000;
    const std::vector<std::int16_t> samples = recordTone(kCdStereo, -1, stereoTone(12 * kRateHz, amplitude));
    // Left and right in place, at their pitch.
    const auto left = longestSoundStretch(samples, 2, kRateHz, 0), right = longestSoundStretch(samples, 2, kRateHz, 1);
    ASSERT_GE(left.size(), std::size_t(kRateHz / 4)) << "no quarter of a second without a gap";
    EXPECT_NEAR(measureFrequency(left, 1, kRateHz), 440, 2);
    EXPECT_NEAR(measureFrequency(right, 1, kRateHz), 880, 4);
    EXPECT_NEAR(sinePeak(left), amplitude / 8, 0.1 * amplitude / 8);
    EXPECT_NEAR(sinePeak(right), amplitude / 8, 0.1 * amplitude / 8);
}
