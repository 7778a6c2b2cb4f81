// The capture half of WaveInRecorder over the virtual device: the GotData blocks, the
// notification object's lifetime, and the undoing of failed starts.
#include "recording/notification_window.h"
#include "recording/wave_in_recorder.h"

#include "recording_helpers.h"

#include <QCoreApplication>

#include <thread>

namespace {

// Collects every GotData block.
struct BlockCollector {
    explicit BlockCollector(WaveInRecorder &recorder)
    {
        QObject::connect(&recorder, &WaveInRecorder::GotData, [this](std::span<std::int16_t> buffer, std::int32_t &len) {
            sizes.push_back(len);
            EXPECT_EQ(buffer.size() * 2, std::size_t(len));
            samples.insert(samples.end(), buffer.begin(), buffer.begin() + len / 2);
        });
    }
    std::vector<std::int32_t> sizes;
    std::vector<std::int16_t> samples;
};

} // namespace

TEST(WaveInRecorder, DeliversTheInputSampleForSampleInFullBuffers)
{
    QTemporaryDir dir;
    const std::vector<std::int16_t> ramp = makeTone(1000, 44100, 2, 44100);
    auto recorder = std::make_unique<WaveInRecorder>(createVirtualBackend(virtualOptions(0, writeInput(dir, ramp))));
    BlockCollector blocks(*recorder);
    ASSERT_TRUE(recorder->StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return blocks.samples.size() >= ramp.size(); }));
    EXPECT_TRUE(recorder->StopRecord() && !recorder->IsRecording());
    EXPECT_EQ(blocks.sizes, std::vector<std::int32_t>(blocks.sizes.size(), 10240));
    const auto end = blocks.samples.begin() + static_cast<std::ptrdiff_t>(ramp.size());
    EXPECT_EQ(std::vector<std::int16_t>(blocks.samples.begin(), end), ramp);
    EXPECT_TRUE(std::all_of(end, blocks.samples.end(), [](std::int16_t s) { return s == 0; })); // then silence
}

TEST(WaveInRecorder, EveryRecordingHasItsOwnNotificationObjectAndNoBlockArrivesAfterStop)
{
    const int before = NotificationWindow::liveCount();
    auto recorder = std::make_unique<WaveInRecorder>(createVirtualBackend(virtualOptions())); // fills the whole ring at once
    BlockCollector blocks(*recorder);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const std::size_t earlier = blocks.sizes.size();
        ASSERT_TRUE(recorder->StartRecord(22050, 2));
        EXPECT_EQ(NotificationWindow::liveCount(), before + 1);
        ASSERT_TRUE(waitUntil([&] { return blocks.sizes.size() > earlier; }));
        // The ring refills at once; its notices wait in the event queue while we stop.
        const std::size_t delivered = blocks.sizes.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(recorder->StopRecord());
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        EXPECT_EQ(blocks.sizes.size(), delivered);
        EXPECT_EQ(NotificationWindow::liveCount(), before);
        EXPECT_TRUE(round > 0 || std::abs(measureFrequency(blocks.samples, 2, 22050) - 440.0) <= 1.0); // the test signal
    }
}

TEST(WaveInRecorder, OutOfRangeSettingsKeepThePreviousOnesAndTheLineVolumeScalesWhatIsCaptured)
{
    QTemporaryDir dir;
    WaveInRecorder recorder(createVirtualBackend(virtualOptions(0, writeInput(dir, std::vector<std::int16_t>(44100 * 2, 20000)))));
    ASSERT_TRUE(recorder.SelectDevice(0));
    EXPECT_FALSE(recorder.SelectDevice(1));
    EXPECT_EQ(recorder.SelectedDevice(), 0);
    EXPECT_TRUE(recorder.setBufferSize(2)); // the smallest: one sample
    EXPECT_FALSE(recorder.setBufferSize(0) || recorder.setBufferSize(4095));
    EXPECT_EQ(recorder.BufferSize(), 2);
    ASSERT_TRUE(recorder.setBufferSize(4096));

    recorder.setMixerLineVolume(32767); // half volume halves what is captured
    BlockCollector blocks(recorder);
    ASSERT_TRUE(recorder.StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return !blocks.sizes.empty(); }));
    recorder.StopRecord();
    EXPECT_EQ(blocks.sizes.front(), 4096);
    EXPECT_EQ(std::vector(blocks.samples.begin(), blocks.samples.begin() + 2), std::vector<std::int16_t>(2, 10000));
}

TEST(WaveInRecorder, FailedStartsUndoEverything)
{
    const int windows = NotificationWindow::liveCount();
    const struct {
        const char *what;
        VirtualDeviceOptions options;
        int rate, channels;
        const char *errorContains;
    } cases[] = {{"prepare fails", virtualOptions(1, {}, 3), 44100, 2, ""},
                 {"three channels", virtualOptions(1), 44100, 3, nullptr},
                 {"no rate", virtualOptions(1), 0, 2, nullptr},
                 {"missing input", virtualOptions(1, "/nonexistent/absent.wav"), 44100, 2, "absent.wav"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        WaveInRecorder recorder(createVirtualBackend(c.options));
        EXPECT_FALSE(recorder.StartRecord(c.rate, c.channels) || recorder.IsRecording());
        EXPECT_TRUE(!c.errorContains || (!recorder.lastStartError().isEmpty() &&
                                         recorder.lastStartError().contains(QString::fromLatin1(c.errorContains))));
        EXPECT_EQ(NotificationWindow::liveCount(), windows);
    }
    EXPECT_FALSE(WaveInRecorder(nullptr).StartRecord(44100, 2));
    EXPECT_EQ(NotificationWindow::liveCount(), windows);
}
