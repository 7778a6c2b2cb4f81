// Recording through the sound server: the known signal written into the pipe source must come
// out of the capture buffers sample for sample, in whole buffers, converted when the capture
// format differs; bad formats are refused and an open device holds one stream on the server.
#include "capture_helpers.h"

#include "support/signal_helpers.h"

#include <cstdlib>

using PulseCapture = PulseTest;

TEST_F(PulseCapture, MinusOneRecordsTheDefaultSourceSampleForSampleInFullBuffers)
{
    // The daemon starts with the sink's monitor as its default; make the pipe source it.
    server.pactl({"set-default-source", server.sourceName()});
    ASSERT_TRUE(server.pactl({"get-default-source"}).contains(server.sourceName()));
    ASSERT_TRUE(open(kCdStereo, -1)) << error.toStdString();
    collector.setDevice(device.get());
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(start(ring));
    startWriting(noiseSignal(3 * 44100, 2, 0x5eed));
    ASSERT_TRUE(waitLong([&] { return collector.samples.size() >= 2 * 44100 * 2; }))
        << "captured " << collector.samples.size() << " samples";
    device->reset();
    ASSERT_FALSE(writer->failed());

    expectFullBuffers();
    EXPECT_TRUE(collector.everyHandledBufferWasDone);
    const auto match = capturedSignal();
    ASSERT_TRUE(match);
    EXPECT_GE(match->matchingSamples, std::size_t(2 * 44100)) << "less than a second compared";
}

TEST_F(PulseCapture, ConvertsToEightKilohertzMonoWithThePitchKept)
{
    // The source itself runs at 44100 Hz stereo.
    ASSERT_TRUE(open(WaveFormat::pcm(8000, 1, 16))) << error.toStdString();
    collector.setDevice(device.get());
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(start(ring));
    const double peak = 12000;
    startWriting(makeTone(440.0, 44100, 2, 5 * 44100, peak));
    ASSERT_TRUE(waitLong([&] { return collector.blockBytes.size() >= 4; }));
    device->reset();
    ASSERT_FALSE(writer->failed());

    expectFullBuffers();
    const std::vector<std::int16_t> &samples = collector.samples;
    const auto sound = std::find_if(samples.begin(), samples.end(),
                                    [](std::int16_t s) { return std::abs(s) > 1000; });
    ASSERT_NE(sound, samples.end()) << "no tone captured";
    const auto from = sound + 400;
    ASSERT_GE(samples.end() - from, 8000) << "less than a second of tone captured";
    const std::vector<std::int16_t> second(from, from + 8000);
    EXPECT_NEAR(measureFrequency(second, 1, 8000), 440, 3);
    const auto [low, high] = std::minmax_element(second.begin(), second.end());
    EXPECT_NEAR(std::max(-int(*low), int(*high)), peak, 0.1 * peak);
}

TEST_F(PulseCapture, RefusesBadFormatsAndDevicesAndHoldsOneStreamFromOpenToClose)
{
    for (const WaveFormat &format : {WaveFormat::pcm(44100, 2, 8), WaveFormat::pcm(44100, 3, 16),
                                     WaveFormat::pcm(500, 1, 16)}) {
        error.clear();
        EXPECT_FALSE(open(format));
        EXPECT_EQ(error, checkCaptureFormat(format).reason());
        EXPECT_FALSE(error.isEmpty());
    }
    error.clear();
    EXPECT_FALSE(open(kCdStereo, backend->deviceCount()));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(sourceOutputs(server).isEmpty()) << "a refused open left a stream";

    ASSERT_TRUE(open(WaveFormat::pcm(22050, 1, 16))) << error.toStdString();
    const QStringList streams = sourceOutputs(server);
    ASSERT_EQ(streams.size(), 1);
    EXPECT_TRUE(streams.front().contains("s16le 1ch 22050Hz")) << streams.front().toStdString();
    device->close();
    EXPECT_TRUE(sourceOutputs(server).isEmpty());
}
