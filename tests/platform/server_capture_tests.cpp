// The sound server code that records from PulseAudio, against PipeWire (pipewire-pulse with
// WirePlumber): the session's devices are listed, a tone written into its pipe source comes out
// of the capture buffers at its pitch and level, left and right in place, a loud source is
// mixed down to mono without clipping, the recording volume set through the mixer is the one
// the server reports and applies, and a recording ends when its source or the server goes.
//
// PipeWire reads the pipe source in real time and may drop a period under load; the checks are
// made on the longest stretch of sound without such a gap.
#include "capture_helpers.h"

#include "support/pipewire_session.h"
#include "support/signal_helpers.h"

#include <QCoreApplication>

#include <cmath>

namespace {

constexpr int kRateHz = 44100;

// 440 Hz on the left, 880 Hz on the right, at 44100 Hz.
std::vector<std::int16_t> stereoTone(int frames, double amplitude)
{
    const std::vector<std::int16_t> left = makeTone(440, kRateHz, 1, frames, amplitude);
    const std::vector<std::int16_t> right = makeTone(880, kRateHz, 1, frames, amplitude);
    std::vector<std::int16_t> samples;
    samples.reserve(left.size() * 2);
    for (std::size_t i = 0; i < left.size(); ++i) {
        samples.push_back(left[i]);
        samples.push_back(right[i]);
    }
    return samples;
}

// Samples clearly above the server's digital silence.
std::size_t loudSamples(const std::vector<std::int16_t> &samples)
{
    return static_cast<std::size_t>(std::count_if(samples.begin(), samples.end(),
                                                   [](std::int16_t s) { return std::abs(s) > 100; }));
}

// One channel of the longest run of frames in which no channel stays at zero for two or more
// frames in a row (the silence before the signal, and gaps where the server dropped a period),
// with 10 ms cut off each end.
std::vector<std::int16_t> longestSoundStretch(const std::vector<std::int16_t> &samples,
                                              int channels, int rateHz, int channel)
{
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    const auto silent = [&](std::size_t frame) {
        for (int c = 0; c < channels; ++c) {
            if (samples[frame * channels + c] != 0)
                return false;
        }
        return true;
    };
    std::size_t bestFrom = 0, bestLength = 0, from = 0;
    for (std::size_t frame = 0; frame <= frames; ++frame) {
        const bool gap = frame == frames || (frame + 1 < frames && silent(frame) && silent(frame + 1));
        if (!gap)
            continue;
        if (frame - from > bestLength) {
            bestFrom = from;
            bestLength = frame - from;
        }
        from = frame + 1;
    }
    const std::size_t trim = static_cast<std::size_t>(rateHz / 100);
    std::vector<std::int16_t> stretch;
    for (std::size_t frame = bestFrom + trim; frame + trim < bestFrom + bestLength; ++frame)
        stretch.push_back(samples[frame * channels + channel]);
    return stretch;
}

// The peak of a sine from its mean power, steadier than the largest sample.
double sinePeak(const std::vector<std::int16_t> &samples)
{
    double power = 0;
    for (const std::int16_t s : samples)
        power += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(2 * power / samples.size());
}

class PipeWireCapture : public SoundServerTest<PipeWireSession> {
protected:
    // Records `format` from device `at` while `tone` (44100 Hz stereo) plays into the pipe
    // source, until a second and a half of sound has come; the captured samples.
    std::vector<std::int16_t> recordTone(const WaveFormat &format, int at, std::vector<std::int16_t> tone)
    {
        EXPECT_TRUE(open(format, at)) << error.toStdString();
        if (!device)
            return {};
        collector.setDevice(device.get());
        BufferRing ring(5, kBufferBytes);
        EXPECT_TRUE(start(ring));
        const std::size_t wanted = format.samplesPerSec * format.channels * 3 / 2;
        startWriting(std::move(tone));
        const bool enough = waitLong([&] { return writer->failed() || loudSamples(collector.samples) >= wanted; });
        EXPECT_TRUE(enough && !writer->failed())
            << "the pipe source stopped reading; captured " << collector.samples.size() << " samples, "
            << loudSamples(collector.samples) << " of them sound" << server.errorText().toStdString();
        writer.reset();
        device->reset();
        device->close();
        expectFullBuffers();
        return collector.samples;
    }
};

} // namespace

TEST_F(PipeWireCapture, ListsTheSessionsSourceAheadOfTheSinkMonitorEachItsOwnLine)
{
    EXPECT_EQ(backend->backendName(), "pulse");
    ASSERT_EQ(backend->deviceCount(), 2);
    EXPECT_EQ(backend->deviceName(0), server.sourceDescription());
    EXPECT_EQ(backend->deviceName(1), "Monitor of " + server.sinkDescription());
    for (int at = 0; at < 2; ++at) {
        const std::unique_ptr<AudioMixer> mixer = valueOr(backend->openMixer(at), error);
        ASSERT_TRUE(mixer);
        const Result<std::vector<MixerLine>> lines = mixer->lines();
        ASSERT_TRUE(lines) << lines.reason().toStdString();
        ASSERT_EQ(lines->size(), 1u);
        EXPECT_EQ(lines->front().name, backend->deviceName(at));
        EXPECT_EQ(valueOr(mixer->selectedLine(), error), 0);
        EXPECT_TRUE(mixer->selectLine(0));
        EXPECT_FALSE(mixer->selectLine(1));
    }
    EXPECT_FALSE(backend->openMixer(2));
}

TEST_F(PipeWireCapture, RecordsThePipeSourcesToneAtItsPitchAndLevelWithLeftAndRightInPlace)
{
    const double amplitude = 12000;
    const std::vector<std::int16_t> samples = recordTone(kCdStereo, index, stereoTone(12 * kRateHz, amplitude));
    const std::vector<std::int16_t> left = longestSoundStretch(samples, 2, kRateHz, 0);
    const std::vector<std::int16_t> right = longestSoundStretch(samples, 2, kRateHz, 1);
    ASSERT_GE(left.size(), std::size_t(kRateHz / 4)) << "no quarter of a second without a gap";
    EXPECT_NEAR(measureFrequency(left, 1, kRateHz), 440, 2);
    EXPECT_NEAR(measureFrequency(right, 1, kRateHz), 880, 4);
    EXPECT_NEAR(sinePeak(left), amplitude, 0.1 * amplitude);
    EXPECT_NEAR(sinePeak(right), amplitude, 0.1 * amplitude);
}

TEST_F(PipeWireCapture, ConvertsALoudSourceToEightKilohertzMonoAsTheMeanOfItsChannelsUnclipped)
{
    // The same tone on both channels, near full scale: their mean is the tone itself, where
    // PipeWire's own mix, (left + right) / sqrt(2), would clip it.
    const double amplitude = 29000;
    const std::vector<std::int16_t> samples =
        recordTone(WaveFormat::pcm(8000, 1, 16), index, makeTone(440, kRateHz, 2, 12 * kRateHz, amplitude));
    const std::vector<std::int16_t> mono = longestSoundStretch(samples, 1, 8000, 0);
    ASSERT_GE(mono.size(), std::size_t(8000 / 4)) << "no quarter of a second without a gap";
    // PipeWire follows a pipe writer that falls behind on a busy machine by resampling, up to
    // about 1 %; a wrong rate conversion is off by far more.
    EXPECT_NEAR(measureFrequency(mono, 1, 8000), 440, 5);
    EXPECT_NEAR(sinePeak(mono), amplitude, 0.05 * amplitude);
    EXPECT_EQ(std::count_if(mono.begin(), mono.end(), [](std::int16_t s) { return s == 32767 || s == -32768; }), 0)
        << "clipped";
}

TEST_F(PipeWireCapture, RecordingVolumeIsReportedByTheServerAndAppliedToTheDefaultSource)
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
    const std::vector<std::int16_t> left = longestSoundStretch(samples, 2, kRateHz, 0);
    ASSERT_GE(left.size(), std::size_t(kRateHz / 4)) << "no quarter of a second without a gap";
    EXPECT_NEAR(measureFrequency(left, 1, kRateHz), 440, 2);
    EXPECT_NEAR(sinePeak(left), amplitude / 8, 0.1 * amplitude / 8);

    ASSERT_TRUE(mixer->setVolume(65535));
    EXPECT_EQ(valueOr(mixer->volume(), error), 65535u);
}

TEST_F(PipeWireCapture, ARemovedSourceEndsTheRecordingWithOneFailureNoticeInsteadOfMovingIt)
{
    // WirePlumber moves a stream whose source has gone to another one unless the stream asks
    // not to be moved; the recording must end instead of going on from the monitor.
    ASSERT_TRUE(open()) << error.toStdString();
    collector.setDevice(device.get());
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(start(ring));
    startWriting(stereoTone(12 * kRateHz, 8000));
    ASSERT_TRUE(waitLong([&] { return collector.notices() >= 3; }));
    ASSERT_TRUE(server.removeSource());
    expectOneFailureNotice();
    EXPECT_FALSE(device->start());
    EXPECT_EQ(device->reset().size(), 5u) << "the handled buffers were queued again";
    EXPECT_TRUE(sourceOutputs(server).isEmpty());
    ASSERT_EQ(backend->deviceCount(), 1);
    EXPECT_EQ(backend->deviceName(0), "Monitor of " + server.sinkDescription());
    // The ring is this test's: the device and the notices still posted let go of its buffers
    // before it goes.
    collector.setDevice(nullptr);
    device->close();
    QCoreApplication::sendPostedEvents();
}

TEST_F(PipeWireCapture, TheSessionEndingEndsTheRecordingWithOneFailureNotice)
{
    ASSERT_TRUE(open()) << error.toStdString();
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(start(ring));
    running.reset();
    expectOneFailureNotice();
    EXPECT_EQ(backend->deviceCount(), 0);
    device->stop();
    EXPECT_EQ(device->reset().size() + collector.notices(), 5u);
    device->close();
}

TEST_F(PipeWireCapture, SoundWaitsInTheStreamWhileTheOwnerIsAwayAndNoLossIsReported)
{
    ASSERT_TRUE(open()) << error.toStdString();
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(start(ring));
    startWriting(stereoTone(12 * kRateHz, 8000));
    ASSERT_TRUE(waitLong([&] { return loudSamples(collector.samples) > 0; }));
    const auto away = std::chrono::steady_clock::now();
    pause(std::chrono::seconds(2)); // the five buffers fill, then nothing is handed back
    collector.setDevice(device.get());
    for (CaptureBuffer *buffer : collector.handled)
        device->addBuffer(*buffer);
    pause(std::chrono::milliseconds(500));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - away).count();
    // Everything since the owner left came out, up to the fragments still on their way and what
    // the writer fell behind the clock on a busy machine; a stream that dropped what waited would
    // lack the 1.7 s the ring could not hold.
    EXPECT_GE(collector.samples.size(), (seconds - 0.8) * kRateHz * 2);
    EXPECT_EQ(collector.losses(), 0);
    collector.setDevice(nullptr);
    device->close();
    QCoreApplication::sendPostedEvents();
}
