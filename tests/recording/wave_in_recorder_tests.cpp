// The capture half of WaveInRecorder over the virtual device: the buffer ring, the GotData
// blocks, the notification object's lifetime, and the undoing of failed starts.
#include "recording/notification_window.h"
#include "recording/wave_in_recorder.h"

#include "recording_helpers.h"

#include <QCoreApplication>
#include <QEvent>

#include <thread>

namespace {

WaveInRecorder *virtualRecorder(VirtualDeviceOptions options = virtualOptions())
{
    return new WaveInRecorder(createVirtualBackend(options));
}

void processEventsAWhile()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

// Collects every GotData block.
struct BlockCollector {
    explicit BlockCollector(WaveInRecorder &recorder)
    {
        QObject::connect(&recorder, &WaveInRecorder::GotData,
                         [this](std::span<std::int16_t> buffer, std::int32_t &len) {
                             sizes.push_back(len);
                             arraySizes.push_back(buffer.size());
                             samples.insert(samples.end(), buffer.begin(), buffer.begin() + len / 2);
                         });
    }
    std::vector<std::int32_t> sizes;
    std::vector<std::size_t> arraySizes;
    std::vector<std::int16_t> samples;
};

} // namespace

TEST(WaveInRecorder, DeliversTheInputSampleForSampleInFullBuffers)
{
    QTemporaryDir dir;
    std::vector<std::int16_t> ramp(44100 * 2);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>(i * 7 % 65536 - 32768);
    std::unique_ptr<WaveInRecorder> recorder(virtualRecorder(virtualOptions(0, writeInput(dir, ramp))));
    EXPECT_EQ(recorder->BufferCount(), 5);
    EXPECT_EQ(recorder->BufferSize(), 10240);
    ASSERT_TRUE(recorder->SelectDevice(0));
    BlockCollector blocks(*recorder);
    ASSERT_TRUE(recorder->StartRecord(44100, 2));
    EXPECT_TRUE(recorder->IsRecording());
    ASSERT_TRUE(waitUntil([&] { return blocks.samples.size() >= ramp.size(); }));
    EXPECT_TRUE(recorder->StopRecord());
    EXPECT_FALSE(recorder->IsRecording());

    EXPECT_EQ(blocks.sizes, std::vector<std::int32_t>(blocks.sizes.size(), 10240));
    EXPECT_EQ(blocks.arraySizes, std::vector<std::size_t>(blocks.sizes.size(), 5120u));
    const auto end = blocks.samples.begin() + static_cast<std::ptrdiff_t>(ramp.size());
    EXPECT_EQ(std::vector<std::int16_t>(blocks.samples.begin(), end), ramp);
    // After the file, silence.
    EXPECT_TRUE(std::all_of(end, blocks.samples.end(), [](std::int16_t s) { return s == 0; }));
}

TEST(WaveInRecorder, ConvertsTheVirtualInputToTheCaptureFormat)
{
    QTemporaryDir dir;
    std::unique_ptr<WaveInRecorder> recorder(
        virtualRecorder(virtualOptions(0, writeInput(dir, makeTone(440, 44100, 2, 44100)))));
    BlockCollector blocks(*recorder);
    ASSERT_TRUE(recorder->StartRecord(8000, 1)); // no device selected: the default device
    ASSERT_TRUE(waitUntil([&] { return blocks.samples.size() >= 6000; }));
    recorder->StopRecord();
    EXPECT_EQ(blocks.arraySizes.front(), 5120u); // 5120 frames in mono
    const std::vector<std::int16_t> firstHalfSecond(blocks.samples.begin(), blocks.samples.begin() + 4000);
    EXPECT_NEAR(measureFrequency(firstHalfSecond, 1, 8000), 440.0, 1.0);
}

TEST(WaveInRecorder, EveryRecordingHasItsOwnNotificationObjectAndNoBlockArrivesAfterStop)
{
    const int before = NotificationWindow::liveCount();
    std::unique_ptr<WaveInRecorder> recorder(virtualRecorder()); // fills the whole ring at once
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
        processEventsAWhile();
        EXPECT_EQ(blocks.sizes.size(), delivered);
        EXPECT_EQ(NotificationWindow::liveCount(), before);
        if (round == 0) { // the test signal of the virtual device
            EXPECT_NEAR(measureFrequency(blocks.samples, 2, 22050), 440.0, 1.0);
        }
    }
}

TEST(WaveInRecorder, StoppingInsideGotDataEndsTheRecordingCleanly)
{
    std::unique_ptr<WaveInRecorder> recorder(virtualRecorder());
    int calls = 0;
    QObject::connect(recorder.get(), &WaveInRecorder::GotData, [&](std::span<std::int16_t>, std::int32_t &) {
        ++calls;
        recorder->StopRecord(); // as the recording control does on a write error
    });
    ASSERT_TRUE(recorder->StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    processEventsAWhile();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(recorder->IsRecording());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(NotificationWindow::liveCount(), 0);
    // And it can record again.
    ASSERT_TRUE(recorder->StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return calls > 1; }));
}

TEST(WaveInRecorder, SelectionsOutOfRangeKeepThePreviousOneAndTheLineVolumeScalesWhatIsCaptured)
{
    QTemporaryDir dir;
    WaveInRecorder recorder(createVirtualBackend(virtualOptions(0, writeInput(dir, std::vector<std::int16_t>(44100 * 2, 20000)))));
    EXPECT_EQ(recorder.SelectedDevice(), -1);
    EXPECT_EQ(recorder.MixerLineCount(), 0);
    EXPECT_FALSE(recorder.SelectMixerLine(0));
    ASSERT_EQ(recorder.DeviceCount(), 1);
    EXPECT_TRUE(recorder.DeviceName(1).isEmpty());
    ASSERT_TRUE(recorder.SelectDevice(0));
    EXPECT_FALSE(recorder.SelectDevice(1));
    EXPECT_FALSE(recorder.SelectDevice(-1));
    EXPECT_EQ(recorder.SelectedDevice(), 0);
    EXPECT_TRUE(recorder.StopRecord()); // idle
    ASSERT_EQ(recorder.MixerLineCount(), 3);
    EXPECT_TRUE(recorder.SelectMixerLine(2));
    EXPECT_EQ(recorder.MixerLineType(), 0x1005);
    EXPECT_FALSE(recorder.SelectMixerLine(3));
    EXPECT_EQ(recorder.SelectedMixerLine(), 2);

    recorder.setMixerLineVolume(32767); // half volume halves what is captured
    EXPECT_EQ(recorder.MixerLineVolume(), 32767);
    std::vector<std::int16_t> firstBlock;
    QObject::connect(&recorder, &WaveInRecorder::GotData, [&](std::span<std::int16_t> block, std::int32_t &) {
        if (firstBlock.empty())
            firstBlock.assign(block.begin(), block.end());
    });
    ASSERT_TRUE(recorder.StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return !firstBlock.empty(); }));
    recorder.StopRecord();
    EXPECT_EQ(firstBlock[0], 10000);
    EXPECT_EQ(firstBlock[1], 10000);
}

TEST(WaveInRecorder, FailedStartsUndoEverything)
{
    const int windows = NotificationWindow::liveCount();
    QTemporaryDir dir;
    const struct {
        const char *what;
        VirtualDeviceOptions options;
        int rate, channels;
        const char *errorContains;
    } cases[] = {{"prepare fails", virtualOptions(1, {}, 3), 44100, 2, ""},
                 {"three channels", virtualOptions(1), 44100, 3, nullptr},
                 {"no rate", virtualOptions(1), 0, 2, nullptr},
                 {"missing input", virtualOptions(1, dir.filePath("absent.wav")), 44100, 2, "absent.wav"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<WaveInRecorder> recorder(virtualRecorder(c.options));
        EXPECT_FALSE(recorder->StartRecord(c.rate, c.channels));
        EXPECT_FALSE(recorder->IsRecording());
        if (c.errorContains) {
            EXPECT_FALSE(recorder->lastStartError().isEmpty());
            EXPECT_TRUE(recorder->lastStartError().contains(QString::fromLatin1(c.errorContains)));
        }
        EXPECT_EQ(NotificationWindow::liveCount(), windows);
    }
    WaveInRecorder nothing(nullptr);
    EXPECT_EQ(nothing.DeviceCount(), 0);
    EXPECT_FALSE(nothing.SelectDevice(0));
    EXPECT_FALSE(nothing.StartRecord(44100, 2));
    EXPECT_EQ(NotificationWindow::liveCount(), windows);
}
