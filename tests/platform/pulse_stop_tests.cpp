// Taking the buffers back from the sound server's capture device: stop hands back the partly
// filled buffer, reset returns every queued one, close ends everything, and after each of
// them the device neither writes a buffer nor sends a notice.
#include "platform/audio/pulse/pulse_backend.h"

#include "capture_helpers.h"
#include "support/pulse_server.h"
#include "support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

constexpr std::uint32_t kBufferBytes = 10240;
constexpr std::int16_t kUntouched = 0x7777;

// Lets the event loop and the device run for a while; the device may do what it likes in it.
void pause(std::chrono::milliseconds time)
{
    waitUntil([] { return false; }, time);
}

void fill(CaptureBuffer &buffer, std::int16_t value)
{
    std::fill(buffer.data, buffer.data + buffer.bufferBytes / 2, value);
}

bool holdsOnly(const CaptureBuffer &buffer, std::int16_t value)
{
    return std::all_of(buffer.data, buffer.data + buffer.bufferBytes / 2,
                       [value](std::int16_t s) { return s == value; });
}

class PulseStop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
        backend = createPulseBackend(&error);
        ASSERT_TRUE(backend) << error.toStdString();
        const int count = backend->deviceCount();
        for (int i = 0; i < count; ++i) {
            if (backend->deviceName(i) == server.sourceDescription())
                index = i;
        }
        ASSERT_GE(index, 0);
        device = backend->openDevice(index, WaveFormat::pcm(44100, 2, 16), collector, &error);
        ASSERT_TRUE(device) << error.toStdString();
    }

    void startWriting(int seconds = 4)
    {
        signal = noiseSignal(seconds * 44100, 2, 1234);
        writer.emplace(server, signal, 2, 44100);
    }

    PulseServer server;
    QString error;
    std::unique_ptr<AudioBackend> backend;
    int index = -1;
    BlockCollector collector; // outlives the device: declared before it
    std::unique_ptr<CaptureDevice> device;
    std::vector<std::int16_t> signal;
    std::optional<PacedWriter> writer;
};

} // namespace

TEST_F(PulseStop, StopHandsBackThePartlyFilledBufferAndThenFallsSilent)
{
    BufferRing small(2, kBufferBytes);
    BufferRing large(1, 4u << 20); // never fills in this test
    ASSERT_TRUE(small.queueAll(*device));
    ASSERT_TRUE(large.queueAll(*device));
    ASSERT_TRUE(device->start());
    startWriting();

    ASSERT_TRUE(waitUntil([&] { return collector.handled().size() >= 2; },
                          std::chrono::seconds(20)));
    pause(std::chrono::milliseconds(300)); // the large buffer takes some of the sound
    device->stop();
    const int noticesAtStop = collector.notices();
    pause(std::chrono::milliseconds(500));

    EXPECT_EQ(collector.notices(), 3);
    EXPECT_EQ(collector.notices(), noticesAtStop);
    ASSERT_EQ(collector.handled().size(), 3u);
    EXPECT_EQ(collector.handled()[2], &large.at(0));
    const std::uint32_t partial = collector.blockBytes()[2];
    EXPECT_GT(partial, 0u);
    EXPECT_LT(partial, large.at(0).bufferBytes);
    EXPECT_EQ(partial % 4, 0u) << "a stereo frame was cut";
    EXPECT_TRUE(collector.everyHandledBufferWasDone());

    const auto match = findSignal(collector.samples(), signal, 2);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->matchingSamples, match->comparedSamples);
    EXPECT_EQ(match->capturedAt + match->comparedSamples, collector.samples().size());
}

TEST_F(PulseStop, StopHandsBackNothingWhenTheBufferHoldsNothing)
{
    BufferRing ring(2, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*device));
    device->stop(); // never started
    pause(std::chrono::milliseconds(200));
    EXPECT_EQ(collector.notices(), 0);
    EXPECT_EQ(device->reset().size(), 2u);
}

TEST_F(PulseStop, StartsAgainAfterStop)
{
    BufferRing ring(2, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*device));
    ASSERT_TRUE(device->start());
    startWriting(6);
    ASSERT_TRUE(waitUntil([&] { return collector.handled().size() >= 1; },
                          std::chrono::seconds(20)));
    device->stop();
    pause(std::chrono::milliseconds(100));
    const int noticesAtStop = collector.notices();

    ASSERT_TRUE(device->addBuffer(*collector.handled().front()));
    ASSERT_TRUE(device->start());
    ASSERT_TRUE(waitUntil([&] { return collector.notices() > noticesAtStop; },
                          std::chrono::seconds(20)));
    pause(std::chrono::milliseconds(50));
    EXPECT_EQ(collector.blockBytes().back(), kBufferBytes);
}

TEST_F(PulseStop, ResetBeforeStartReturnsTheBuffersInQueueOrder)
{
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*device));
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
    ASSERT_TRUE(ring.queueAll(*device));
    ASSERT_TRUE(device->start());
    startWriting();
    ASSERT_TRUE(waitUntil([&] { return collector.handled().size() >= 4; },
                          std::chrono::seconds(20)));

    collector.setRequeue(false);
    const std::size_t handledBefore = collector.handled().size();
    const std::vector<CaptureBuffer *> returned = device->reset();
    const int noticesAtReset = collector.notices();
    for (CaptureBuffer *buffer : returned) {
        EXPECT_TRUE(buffer->done);
        fill(*buffer, kUntouched);
    }
    // Every buffer is either given back now or on its way to the main thread as a notice.
    const std::size_t posted = static_cast<std::size_t>(noticesAtReset) - handledBefore;
    EXPECT_EQ(returned.size() + posted, 5u);
    EXPECT_EQ(std::set<CaptureBuffer *>(returned.begin(), returned.end()).size(), returned.size());

    pause(std::chrono::milliseconds(500)); // the writer goes on writing meanwhile
    EXPECT_FALSE(writer->finished());
    EXPECT_EQ(collector.notices(), noticesAtReset);
    for (CaptureBuffer *buffer : returned)
        EXPECT_TRUE(holdsOnly(*buffer, kUntouched)) << "buffer " << buffer->user << " written";
}

TEST_F(PulseStop, CloseTakesTheBuffersBackForGood)
{
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*device));
    ASSERT_TRUE(device->start());
    startWriting();
    ASSERT_TRUE(waitUntil([&] { return collector.handled().size() >= 1; },
                          std::chrono::seconds(20)));

    device->close();
    const int noticesAtClose = collector.notices();
    for (int i = 0; i < ring.size(); ++i)
        fill(ring.at(i), kUntouched);
    pause(std::chrono::milliseconds(500));

    EXPECT_EQ(collector.notices(), noticesAtClose);
    for (int i = 0; i < ring.size(); ++i)
        EXPECT_TRUE(holdsOnly(ring.at(i), kUntouched)) << "buffer " << i << " written after close";
    EXPECT_FALSE(device->addBuffer(ring.at(0)));
    EXPECT_FALSE(device->start());
    EXPECT_TRUE(device->reset().empty());
}

TEST_F(PulseStop, ARemovedSourceEndsTheCaptureWithOneFailureNotice)
{
    collector.setDevice(device.get());
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(ring.queueAll(*device));
    ASSERT_TRUE(device->start());
    startWriting();
    ASSERT_TRUE(waitUntil([&] { return collector.handled().size() >= 2; },
                          std::chrono::seconds(20)));

    ASSERT_TRUE(server.removeSource());
    ASSERT_TRUE(waitUntil([&] { return collector.failures() > 0; }))
        << "the device did not notice that its source went away";
    pause(std::chrono::milliseconds(300));

    EXPECT_EQ(collector.failures(), 1);
    EXPECT_EQ(collector.notices(), collector.noticesBeforeFailure());
    EXPECT_FALSE(device->start()) << "a device whose source has gone cannot start again";
    const std::vector<CaptureBuffer *> returned = device->reset();
    EXPECT_EQ(returned.size() + static_cast<std::size_t>(collector.notices()) -
                  collector.handled().size(),
              5u);
}
