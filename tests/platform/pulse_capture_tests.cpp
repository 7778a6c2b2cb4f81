// Recording through PulseAudio: bad formats are refused, an open device holds one stream on the
// server, and no server answering is said at once. Then taking
// the buffers back (stop hands back the partly filled one, reset every queued one, close all;
// then nothing is written or sent), and the sound kept while the owner takes no buffer.
#include "capture_helpers.h"

#include "platform/audio/pulse/pulse_capture_device.h"

#include "support/signal_helpers.h"

#include <QLocalServer>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <set>

TEST_F(PulseTest, RefusesBadFormatsAndDevicesAndHoldsOneStreamFromOpenToClose)
{
    WaveFormat inconsistent = kCdStereo;
    inconsistent.avgBytesPerSec /= 2;
    for (const WaveFormat &format : {WaveFormat::pcm(44100, 2, 8), WaveFormat::pcm(44100, 3, 16),
                                     WaveFormat::pcm(500, 1, 16), inconsistent}) {
        error.clear();
        EXPECT_FALSE(open(format));
        EXPECT_TRUE(!error.isEmpty() && error == checkCaptureFormat(format).reason()) << error.toStdString();
    }
    error.clear();
    EXPECT_FALSE(open(kCdStereo, backend->deviceCount()) || error.isEmpty());
    EXPECT_TRUE(sourceOutputs(server).isEmpty()) << "a refused open left a stream";

    ASSERT_TRUE(open(WaveFormat::pcm(22050, 1, 16))) << error.toStdString();
    const QStringList streams = sourceOutputs(server);
    ASSERT_EQ(streams.size(), 1);
    EXPECT_TRUE(streams.front().contains("s16le 1ch 22050Hz")) << streams.front().toStdString();
    device->close();
    EXPECT_TRUE(sourceOutputs(server).isEmpty());
}

TEST(PulseConnection, ReportsInFrenchWhenNoServerListensOrAnswers)
{
    QTemporaryDir dir;
    QLocalServer silent; // accepts connections and never says a word
    ASSERT_TRUE(silent.listen(dir.filePath("silent"))) << silent.errorString().toStdString();
    const auto previous = qEnvironmentVariableIsSet("PULSE_SERVER") ? std::optional(qgetenv("PULSE_SERVER")) : std::nullopt;
    const auto restore = qScopeGuard([&] { previous ? qputenv("PULSE_SERVER", *previous) : qunsetenv("PULSE_SERVER"); });
    for (const char *name : {"no-server", "silent"}) {
        SCOPED_TRACE(name);
        qputenv("PULSE_SERVER", (QStringLiteral("unix:") + dir.filePath(name)).toUtf8());
        QString error;
        EXPECT_FALSE(valueOr(createPulseBackend(), error));
        EXPECT_EQ(error, "Le serveur de son ne répond pas (PulseAudio/PipeWire).");
    }
}


namespace {

constexpr std::int16_t kUntouched = 0x7777;

class PulseStop : public PulseTest {
protected:
    void SetUp() override
    {
        PulseTest::SetUp();
        ASSERT_TRUE(!HasFatalFailure() && open()) << error.toStdString();
    }
    // Starts the ring under noise and waits for `buffers` handled buffers.
    void record(BufferRing &ring, std::size_t buffers)
    {
        ASSERT_TRUE(start(ring));
        startWriting();
        ASSERT_TRUE(waitLong([&] { return collector.handled.size() >= buffers; }));
    }
    // Marks the buffers, lets the device run and expects neither a notice nor a write.
    void expectLeftAlone(const std::vector<CaptureBuffer *> &buffers)
    {
        const int notices = collector.notices.load();
        for (CaptureBuffer *buffer : buffers)
            std::fill(buffer->data, buffer->data + buffer->bufferBytes / 2, kUntouched);
        pause(std::chrono::milliseconds(500)); // the writer goes on writing meanwhile
        EXPECT_FALSE(writer->finished());
        EXPECT_EQ(collector.notices.load(), notices);
        for (CaptureBuffer *buffer : buffers)
            EXPECT_TRUE(std::all_of(buffer->data, buffer->data + buffer->bufferBytes / 2,
                                    [](std::int16_t s) { return s == kUntouched; }))
                << "buffer " << buffer->user << " written";
    }
};

TEST_F(PulseStop, StopHandsBackThePartlyFilledBufferFallsSilentAndStartsAgain)
{
    BufferRing small(2, kBufferBytes);
    BufferRing large(1, 4u << 20); // never fills in this test
    ASSERT_TRUE(small.queueAll(*device));
    record(large, 2);
    pause(std::chrono::milliseconds(300)); // the large buffer takes some of the sound
    device->stop();
    pause(std::chrono::milliseconds(500));
    EXPECT_EQ(collector.notices.load(), 3); // the two small buffers, then the large one at the stop
    ASSERT_EQ(collector.handled.size(), 3u);
    EXPECT_EQ(collector.handled[2], &large.at(0));
    const std::uint32_t partial = collector.blockBytes[2];
    EXPECT_TRUE(partial > 0 && partial < large.at(0).bufferBytes) << partial;
    EXPECT_EQ(partial % 4, 0u) << "a stereo frame was cut";
    EXPECT_TRUE(collector.everyHandledBufferWasDone);
    const auto match = findSignal(collector.samples, signal, 2);
    ASSERT_TRUE(match) << "the written signal is nowhere in the captured sound";
    EXPECT_EQ(match->matchingSamples, match->comparedSamples) << "a sample changed";
    EXPECT_EQ(match->capturedAt + match->comparedSamples, collector.samples.size());

    ASSERT_TRUE(device->addBuffer(*collector.handled.front()));
    ASSERT_TRUE(device->start());
    ASSERT_TRUE(waitLong([&] { return collector.notices.load() > 3; }));
    pause(std::chrono::milliseconds(50));
    EXPECT_EQ(collector.blockBytes.back(), kBufferBytes);
}

TEST_F(PulseStop, ResetReturnsEveryQueuedBufferAndEndsTheNotices)
{
    collector.setDevice(device.get());
    BufferRing ring(5, kBufferBytes);
    record(ring, 4);
    collector.setDevice(nullptr); // keep the buffers from now on
    const std::size_t handledBefore = collector.handled.size();
    const std::vector<CaptureBuffer *> returned = device->reset();
    EXPECT_TRUE(std::all_of(returned.begin(), returned.end(), [](CaptureBuffer *buffer) { return buffer->done; }));
    // Every buffer is either given back now or on its way to the main thread as a notice.
    EXPECT_EQ(returned.size() + static_cast<std::size_t>(collector.notices.load()) - handledBefore, 5u);
    EXPECT_EQ(std::set<CaptureBuffer *>(returned.begin(), returned.end()).size(), returned.size());
    expectLeftAlone(returned);
}

TEST_F(PulseStop, CloseTakesTheBuffersBackForGood)
{
    BufferRing ring(5, kBufferBytes);
    record(ring, 1);
    device->close();
    expectLeftAlone({&ring.at(0), &ring.at(1), &ring.at(2), &ring.at(3), &ring.at(4)});
    EXPECT_FALSE(device->addBuffer(ring.at(0)));
    EXPECT_FALSE(device->start());
    EXPECT_TRUE(device->reset().empty());
}

using namespace std::chrono_literals;

constexpr std::uint32_t kOneSecond = 176400; // CD stereo

class PulseBacklog : public PulseTest {
protected:
    void TearDown() override
    {
        if (device)
            device->close(); // before the ring goes
    }
    // Records the counting signal with the owner away for `away`, then taking every buffer back,
    // until `seconds` of sound were handed over or the device reported a loss.
    void recordWithOwnerAway(std::chrono::milliseconds away, double seconds)
    {
        ASSERT_TRUE(start(ring));
        startWriting(makeCountingSignal(1, 60 * 44100));
        pause(away);
        collector.setDevice(device.get());
        for (CaptureBuffer *buffer : collector.handled)
            device->addBuffer(*buffer);
        waitLong([&] { return collector.samples.size() >= seconds * 44100 * 2 || collector.losses.load() > 0; });
        pause(300ms);
    }
    // The handed-over sound counts on without a break from its first frame.
    void expectUnbroken()
    {
        const CountingCheck counting = checkCounting(collector.samples, 1);
        EXPECT_LE(counting.leadingFrames, kBufferBytes / 4);
        EXPECT_TRUE(counting.breaks.empty())
            << counting.breaks.size() << " breaks, the first at frame " << counting.breaks.front() << ", "
            << counting.missingFrames << " frames missing";
    }

    BufferRing ring{5, kBufferBytes}; // outlives the device, which is closed first
};

} // namespace

TEST_F(PulseBacklog, SoundWaitsInTheStreamWhileTheOwnerIsAway)
{
    ASSERT_TRUE(open()) << error.toStdString();
    recordWithOwnerAway(2s, 4);
    EXPECT_EQ(collector.losses.load(), 0);
    EXPECT_GE(collector.samples.size(), 4u * 44100 * 2);
    expectUnbroken();
    expectFullBuffers();
}

TEST_F(PulseBacklog, AnOverflowOnTheClientSideEndsDeliveryAtTheGapAndIsReportedOnce)
{
    // The pipe source opened with a record stream buffer of one second.
    const auto connection = valueOr(PulseConnection::connect(5s), error);
    ASSERT_TRUE(connection) << error.toStdString();
    device = valueOr(PulseCaptureDevice::open(connection, server.sourceName(), server.sourceDescription(), kCdStereo,
                                              collector, kOneSecond), error);
    ASSERT_TRUE(device) << error.toStdString();
    recordWithOwnerAway(4s, 10);
    ASSERT_EQ(collector.losses.load(), 1);
    EXPECT_EQ(collector.notices.load(), collector.noticesBeforeLoss.load()) << "a buffer came after the loss";
    expectUnbroken();
    // What the stream held, and no more, came out: about its second, from where the owner left.
    EXPECT_GE(collector.samples.size(), kOneSecond / 2);
    EXPECT_LE(collector.samples.size(), 4u * kOneSecond / 2);
}
