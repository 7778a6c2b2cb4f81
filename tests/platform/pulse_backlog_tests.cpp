// What the sound server's capture device does with sound while its owner cannot take it: the
// sound waits in the record stream and comes out whole once buffers are queued again; when the
// stream's buffer (on this side or the server's) overflowed, delivery ends where the gap begins
// and the loss is reported once. The sound is a counting signal, so a frame missing or repeated
// anywhere shows.
#include "capture_helpers.h"

#include "platform/audio/pulse/pulse_capture_device.h"

#include "support/signal_helpers.h"

#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kOneSecond = 176400; // CD stereo

class PulseBacklog : public PulseTest {
protected:
    void TearDown() override
    {
        if (device)
            device->close(); // before the ring goes
    }
    // Opens the pipe source on a connection of the test's own, whose lock the test can hold to
    // stall the client as a stopped process would.
    void openWithStreamBuffer(std::uint32_t streamBufferBytes)
    {
        connection = valueOr(PulseConnection::connect(5s), error);
        ASSERT_TRUE(connection) << error.toStdString();
        device = valueOr(PulseCaptureDevice::open(connection, server.sourceName(), server.sourceDescription(), kCdStereo,
                                                  collector, streamBufferBytes),
                         error);
        ASSERT_TRUE(device) << error.toStdString();
    }
    // Records the counting signal with the owner away (no buffer handed back) for `away`, then
    // taking every buffer back at once, until `seconds` of sound were handed over or the device
    // reported a loss.
    void recordWithOwnerAway(std::chrono::milliseconds away, double seconds)
    {
        ASSERT_TRUE(start(ring));
        startWriting(makeCountingSignal(1, 60 * 44100));
        pause(away);
        collector.setDevice(device.get());
        for (CaptureBuffer *buffer : collector.handled)
            device->addBuffer(*buffer);
        waitLong([&] { return collector.samples.size() >= seconds * 44100 * 2 || collector.losses() > 0; });
        pause(300ms);
    }
    // Records the counting signal with the client's thread stalled for `stall` after a moment.
    void recordWithClientStalled(std::chrono::milliseconds stall, double seconds)
    {
        collector.setDevice(device.get());
        ASSERT_TRUE(start(ring));
        startWriting(makeCountingSignal(1, 60 * 44100));
        pause(500ms);
        {
            PulseLock lock(connection->mainloop());
            std::this_thread::sleep_for(stall);
        }
        waitLong([&] { return collector.samples.size() >= seconds * 44100 * 2 || collector.losses() > 0; });
        pause(1500ms); // the verdict on a stall comes a second after it
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

    std::shared_ptr<PulseConnection> connection;
    BufferRing ring{5, kBufferBytes}; // outlives the device, which is closed first
};

} // namespace

TEST_F(PulseBacklog, SoundWaitsInTheStreamWhileTheOwnerIsAway)
{
    ASSERT_TRUE(open()) << error.toStdString();
    recordWithOwnerAway(2s, 4);
    EXPECT_EQ(collector.losses(), 0);
    EXPECT_GE(collector.samples.size(), 4u * 44100 * 2);
    expectUnbroken();
    expectFullBuffers();
}

TEST_F(PulseBacklog, AnOverflowOnTheClientSideEndsDeliveryAtTheGapAndIsReportedOnce)
{
    openWithStreamBuffer(kOneSecond);
    recordWithOwnerAway(4s, 10);
    ASSERT_EQ(collector.losses(), 1);
    EXPECT_EQ(collector.notices(), collector.noticesBeforeLoss()) << "a buffer came after the loss";
    expectUnbroken();
    // What the stream held, and no more, came out: about its second, from where the owner left.
    EXPECT_GE(collector.samples.size(), kOneSecond / 2);
    EXPECT_LE(collector.samples.size(), 4u * kOneSecond / 2);
}

TEST_F(PulseBacklog, AStallThatTheSocketAndServerHeldIsNotReportedAsALoss)
{
    // Long enough to fill the server's buffer all but its last blocks: only the verdict can
    // tell that nothing was lost.
    openWithStreamBuffer(2 * kOneSecond);
    recordWithClientStalled(1900ms, 5);
    EXPECT_EQ(collector.losses(), 0);
    EXPECT_GE(collector.samples.size(), 5u * 44100 * 2);
    expectUnbroken();
}

TEST_F(PulseBacklog, AStallLongerThanTheServerKeepsEndsDeliveryAtTheGapAndIsReported)
{
    openWithStreamBuffer(2 * kOneSecond);
    recordWithClientStalled(6s, 12);
    EXPECT_EQ(collector.losses(), 1);
    EXPECT_EQ(collector.notices(), collector.noticesBeforeLoss()) << "a buffer came after the loss";
    expectUnbroken();
    EXPECT_LT(collector.samples.size(), 6u * 44100 * 2) << "sound after the gap was handed over";
}
