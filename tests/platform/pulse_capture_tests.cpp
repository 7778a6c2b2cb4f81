// Recording through the sound server: the known signal written into the pipe source must come
// out of the capture buffers sample for sample, in whole buffers, converted when the capture
// format differs; stop, reset and close must take the buffers back for good.
#include "platform/audio/pulse/pulse_backend.h"

#include "capture_helpers.h"
#include "support/pulse_server.h"
#include "support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::uint32_t kBufferBytes = 10240;

int indexOfDevice(AudioBackend &backend, const QString &description)
{
    const int count = backend.deviceCount();
    for (int i = 0; i < count; ++i) {
        if (backend.deviceName(i) == description)
            return i;
    }
    return -1;
}

// The server's record streams, one line each, as pactl lists them.
QStringList sourceOutputs(const PulseServer &server)
{
    return server.pactl({"list", "short", "source-outputs"}).split('\n', Qt::SkipEmptyParts);
}

struct Recording {
    std::unique_ptr<AudioBackend> backend;
    std::unique_ptr<CaptureDevice> device;
    QString error;
};

// Opens the pipe source (or, with index -1, the default source) in the given format.
Recording openPipeSource(PulseServer &server, const WaveFormat &format, BlockCollector &collector,
                         bool defaultSource = false)
{
    Recording recording;
    recording.backend = createPulseBackend(&recording.error);
    if (!recording.backend)
        return recording;
    const int index = defaultSource ? -1
                                    : indexOfDevice(*recording.backend, server.sourceDescription());
    if (index < 0 && !defaultSource) {
        recording.error = QStringLiteral("the pipe source is not listed");
        return recording;
    }
    recording.device = recording.backend->openDevice(index, format, collector, &recording.error);
    collector.setDevice(recording.device.get());
    return recording;
}

std::size_t bytesPerSecond(int rateHz, int channels)
{
    return static_cast<std::size_t>(rateHz) * channels * 2;
}

} // namespace

TEST(PulseCapture, DeliversTheSourceSignalSampleForSampleInFullBuffers)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    BlockCollector collector;
    Recording recording = openPipeSource(server, WaveFormat::pcm(44100, 2, 16), collector);
    ASSERT_TRUE(recording.device) << recording.error.toStdString();
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*recording.device));
    ASSERT_TRUE(recording.device->start());

    const std::vector<std::int16_t> signal = noiseSignal(3 * 44100, 2, 0x5eed);
    PacedWriter writer(server, signal, 2, 44100);
    const std::size_t wanted = 2 * bytesPerSecond(44100, 2) / 2; // two seconds of samples
    ASSERT_TRUE(waitUntil([&] { return collector.samples().size() >= wanted; },
                          std::chrono::seconds(20)))
        << "captured " << collector.samples().size() << " samples";
    recording.device->reset();
    ASSERT_FALSE(writer.failed());

    for (const std::uint32_t bytes : collector.blockBytes())
        EXPECT_EQ(bytes, kBufferBytes);
    EXPECT_TRUE(collector.everyHandledBufferWasDone());
    const auto match = findSignal(collector.samples(), signal, 2);
    ASSERT_TRUE(match) << "the written signal is nowhere in the captured sound";
    EXPECT_EQ(match->matchingSamples, match->comparedSamples)
        << "first difference at captured sample " << match->capturedAt + match->matchingSamples;
    EXPECT_GE(match->matchingSamples, std::size_t(2 * 44100)) << "less than a second compared";
}

TEST(PulseCapture, ConvertsToEightKilohertzMonoWithThePitchKept)
{
    PulseServer server; // the source itself runs at 44100 Hz stereo
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    BlockCollector collector;
    Recording recording = openPipeSource(server, WaveFormat::pcm(8000, 1, 16), collector);
    ASSERT_TRUE(recording.device) << recording.error.toStdString();
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*recording.device));
    ASSERT_TRUE(recording.device->start());

    const double peak = 12000;
    PacedWriter writer(server, toneSignal(5 * 44100, 2, 44100, 440.0, peak), 2, 44100);
    ASSERT_TRUE(waitUntil([&] { return collector.blockBytes().size() >= 4; },
                          std::chrono::seconds(20)));
    recording.device->reset();
    ASSERT_FALSE(writer.failed());

    for (const std::uint32_t bytes : collector.blockBytes())
        EXPECT_EQ(bytes, kBufferBytes);
    const std::vector<std::int16_t> &samples = collector.samples();
    const auto sound = std::find_if(samples.begin(), samples.end(),
                                    [](std::int16_t s) { return std::abs(s) > 1000; });
    ASSERT_NE(sound, samples.end()) << "no tone captured";
    const std::size_t from = static_cast<std::size_t>(sound - samples.begin()) + 400;
    ASSERT_GE(samples.size(), from + 8000) << "less than a second of tone captured";

    // One second of the tone: rising zero crossings (with a margin against noise) and peak.
    int crossings = 0;
    bool below = samples[from] < 0;
    int loudest = 0;
    for (std::size_t i = from; i < from + 8000; ++i) {
        if (below && samples[i] > 500) {
            ++crossings;
            below = false;
        } else if (!below && samples[i] < -500) {
            below = true;
        }
        loudest = std::max(loudest, std::abs(int(samples[i])));
    }
    EXPECT_NEAR(crossings, 440, 3);
    EXPECT_NEAR(loudest, peak, 0.1 * peak);
}

TEST(PulseCapture, OpensTheServersDefaultSourceForMinusOne)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    // The daemon starts with the sink's monitor as its default; make the pipe source it.
    server.pactl({"set-default-source", server.sourceName()});
    ASSERT_TRUE(server.pactl({"get-default-source"}).contains(server.sourceName()));
    BlockCollector collector;
    Recording recording =
        openPipeSource(server, WaveFormat::pcm(44100, 2, 16), collector, /*defaultSource=*/true);
    ASSERT_TRUE(recording.device) << recording.error.toStdString();
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*recording.device));
    ASSERT_TRUE(recording.device->start());

    const std::vector<std::int16_t> signal = noiseSignal(2 * 44100, 2, 77);
    PacedWriter writer(server, signal, 2, 44100);
    ASSERT_TRUE(waitUntil([&] { return collector.samples().size() >= 44100u * 2; },
                          std::chrono::seconds(20)));
    recording.device->reset();

    const auto match = findSignal(collector.samples(), signal, 2);
    ASSERT_TRUE(match) << "the default device did not record the pipe source";
    EXPECT_EQ(match->matchingSamples, match->comparedSamples);
}

TEST(PulseCapture, RefusesASourceThatHasGoneWithAFrenchReason)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();
    const int index = indexOfDevice(*backend, server.sourceDescription());
    ASSERT_GE(index, 0);

    ASSERT_TRUE(server.removeSource());
    BlockCollector collector;
    EXPECT_FALSE(backend->openDevice(index, WaveFormat::pcm(44100, 2, 16), collector, &error));
    EXPECT_EQ(error, "Le périphérique de capture « Entrée de test Sonoriel » n'existe plus.");
    EXPECT_TRUE(sourceOutputs(server).isEmpty()) << "a failed open left a stream on the server";
}

TEST(PulseCapture, RefusesFormatsOtherThanSixteenBitMonoOrStereo)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();
    const int index = indexOfDevice(*backend, server.sourceDescription());
    ASSERT_GE(index, 0);
    BlockCollector collector;

    for (const WaveFormat &format : {WaveFormat::pcm(44100, 2, 8), WaveFormat::pcm(44100, 3, 16),
                                     WaveFormat::pcm(500, 1, 16)}) {
        error.clear();
        EXPECT_FALSE(backend->openDevice(index, format, collector, &error));
        EXPECT_EQ(error, captureFormatProblem(format));
        EXPECT_FALSE(error.isEmpty());
    }
    error.clear();
    EXPECT_FALSE(backend->openDevice(backend->deviceCount(), WaveFormat::pcm(44100, 2, 16),
                                     collector, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(sourceOutputs(server).isEmpty());
}

TEST(PulseCapture, HoldsOneStreamOnTheServerFromOpenToClose)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    BlockCollector collector;
    Recording recording = openPipeSource(server, WaveFormat::pcm(22050, 1, 16), collector);
    ASSERT_TRUE(recording.device) << recording.error.toStdString();

    const QStringList open = sourceOutputs(server);
    ASSERT_EQ(open.size(), 1);
    EXPECT_TRUE(open.front().contains("s16le 1ch 22050Hz")) << open.front().toStdString();
    recording.device->close();
    EXPECT_TRUE(sourceOutputs(server).isEmpty());
}
