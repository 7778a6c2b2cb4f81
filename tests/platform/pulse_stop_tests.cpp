// Taking the buffers back from the sound server's capture device: stop hands back the partly
// filled buffer, reset returns every queued one, close ends everything, and after each of
// them the device neither writes a buffer nor sends a notice.
#include "capture_helpers.h"

#include <set>

namespace {

constexpr std::int16_t kUntouched = 0x7777;

// The pipe source opened in CD stereo, nothing queued yet.
class PulseStop : public PulseTest {
protected:
    void SetUp() override
    {
        PulseTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(open()) << error.toStdString();
    }
    // Starts the ring under the written noise and waits for `buffers` handled buffers.
    void record(BufferRing &ring, std::size_t buffers)
    {
        ASSERT_TRUE(start(ring));
        startWriting();
        ASSERT_TRUE(waitLong([&] { return collector.handled.size() >= buffers; }));
    }
    // Marks the buffers, lets the device run and expects neither a notice nor a write.
    void expectLeftAlone(const std::vector<CaptureBuffer *> &buffers)
    {
        const int notices = collector.notices();
        for (CaptureBuffer *buffer : buffers)
            std::fill(buffer->data, buffer->data + buffer->bufferBytes / 2, kUntouched);
        pause(std::chrono::milliseconds(500)); // the writer goes on writing meanwhile
        EXPECT_FALSE(writer->finished());
        EXPECT_EQ(collector.notices(), notices);
        for (CaptureBuffer *buffer : buffers)
            EXPECT_TRUE(std::all_of(buffer->data, buffer->data + buffer->bufferBytes / 2,
                                    [](std::int16_t s) { return s == kUntouched; }))
                << "buffer " << buffer->user << " written";
    }
};

} // namespace

TEST_F(PulseStop, StopHandsBackThePartlyFilledBufferFallsSilentAndStartsAgain)
{
    BufferRing small(2, kBufferBytes);
    BufferRing large(1, 4u << 20); // never fills in this test
    ASSERT_TRUE(small.queueAll(*device));
    record(large, 2);
    pause(std::chrono::milliseconds(300)); // the large buffer takes some of the sound
    device->stop();
    const int noticesAtStop = collector.notices();
    pause(std::chrono::milliseconds(500));

    EXPECT_EQ(collector.notices(), 3);
    EXPECT_EQ(collector.notices(), noticesAtStop);
    ASSERT_EQ(collector.handled.size(), 3u);
    EXPECT_EQ(collector.handled[2], &large.at(0));
    const std::uint32_t partial = collector.blockBytes[2];
    EXPECT_GT(partial, 0u);
    EXPECT_LT(partial, large.at(0).bufferBytes);
    EXPECT_EQ(partial % 4, 0u) << "a stereo frame was cut";
    EXPECT_TRUE(collector.everyHandledBufferWasDone);
    const auto match = capturedSignal();
    ASSERT_TRUE(match);
    EXPECT_EQ(match->capturedAt + match->comparedSamples, collector.samples.size());

    ASSERT_TRUE(device->addBuffer(*collector.handled.front()));
    ASSERT_TRUE(device->start());
    ASSERT_TRUE(waitLong([&] { return collector.notices() > 3; }));
    pause(std::chrono::milliseconds(50));
    EXPECT_EQ(collector.blockBytes.back(), kBufferBytes);
}

TEST_F(PulseStop, BeforeStartStopSendsNothingAndResetReturnsTheBuffersOnceInQueueOrder)
{
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*device));
    device->stop(); // never started
    pause(std::chrono::milliseconds(200));
    EXPECT_EQ(collector.notices(), 0);
    const std::vector<CaptureBuffer *> returned = device->reset();
    ASSERT_EQ(returned.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(returned[static_cast<std::size_t>(i)], &ring.at(i));
        EXPECT_TRUE(ring.at(i).done);
    }
    EXPECT_TRUE(device->reset().empty()) << "a buffer was returned twice";
}

TEST_F(PulseStop, ResetReturnsEveryQueuedBufferAndEndsTheNotices)
{
    collector.setDevice(device.get());
    BufferRing ring(5, kBufferBytes);
    record(ring, 4);
    collector.setDevice(nullptr); // keep the buffers from now on
    const std::size_t handledBefore = collector.handled.size();
    const std::vector<CaptureBuffer *> returned = device->reset();
    for (CaptureBuffer *buffer : returned)
        EXPECT_TRUE(buffer->done);
    // Every buffer is either given back now or on its way to the main thread as a notice.
    const std::size_t posted = static_cast<std::size_t>(collector.notices()) - handledBefore;
    EXPECT_EQ(returned.size() + posted, 5u);
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

TEST_F(PulseStop, ARemovedSourceEndsTheCaptureWithOneFailureNotice)
{
    collector.setDevice(device.get());
    BufferRing ring(5, kBufferBytes);
    record(ring, 2);
    ASSERT_TRUE(server.removeSource());
    expectOneFailureNotice();
    EXPECT_FALSE(device->start()) << "a device whose source has gone cannot start again";
    const std::size_t posted = static_cast<std::size_t>(collector.notices()) - collector.handled.size();
    EXPECT_EQ(device->reset().size() + posted, 5u);
}
