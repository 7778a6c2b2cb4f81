// The capture half of WaveInRecorder over the virtual device: the buffer ring, the GotData
// blocks, the notification object's lifetime, and the undoing of failed starts.
#include "recording/notification_window.h"
#include "recording/wave_in_recorder.h"

#include "platform/audio/virtual/virtual_backend.h"

#include "../support/tools.h"
#include "../support/signal_helpers.h"

#include <QTemporaryDir>

#include <QCoreApplication>
#include <QEvent>

#include <thread>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<AudioBackend> virtualBackend(VirtualDeviceOptions options = {})
{
    return createVirtualBackend(options);
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
    const QString input = dir.filePath("in.wav");
    std::vector<std::int16_t> ramp(44100 * 2);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>(i * 7 % 65536 - 32768);
    ASSERT_TRUE(writePcmWav(input, 44100, 2, ramp));

    VirtualDeviceOptions options;
    options.inputPath = input;
    options.speed = 0;
    WaveInRecorder recorder(virtualBackend(options));
    EXPECT_EQ(recorder.BufferCount(), 5);
    EXPECT_EQ(recorder.BufferSize(), 10240);
    ASSERT_TRUE(recorder.SelectDevice(0));
    BlockCollector blocks(recorder);
    ASSERT_TRUE(recorder.StartRecord(44100, 2));
    EXPECT_TRUE(recorder.IsRecording());
    ASSERT_TRUE(waitUntil([&] { return blocks.samples.size() >= ramp.size(); }));
    EXPECT_TRUE(recorder.StopRecord());
    EXPECT_FALSE(recorder.IsRecording());

    for (std::size_t i = 0; i < blocks.sizes.size(); ++i) {
        EXPECT_EQ(blocks.sizes[i], 10240);
        EXPECT_EQ(blocks.arraySizes[i], 5120u);
    }
    const std::vector<std::int16_t> head(blocks.samples.begin(), blocks.samples.begin() + static_cast<std::ptrdiff_t>(ramp.size()));
    EXPECT_EQ(head, ramp);
    // After the file, silence.
    EXPECT_TRUE(std::all_of(blocks.samples.begin() + static_cast<std::ptrdiff_t>(ramp.size()), blocks.samples.end(),
                            [](std::int16_t s) { return s == 0; }));
}

TEST(WaveInRecorder, ConvertsTheVirtualInputToTheCaptureFormat)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("tone.wav");
    ASSERT_TRUE(writePcmWav(input, 44100, 2, makeTone(440, 44100, 2, 44100)));
    VirtualDeviceOptions options;
    options.inputPath = input;
    options.speed = 0;
    WaveInRecorder recorder(virtualBackend(options));
    BlockCollector blocks(recorder);
    ASSERT_TRUE(recorder.StartRecord(8000, 1)); // no device selected: the default device
    ASSERT_TRUE(waitUntil([&] { return blocks.samples.size() >= 6000; }));
    recorder.StopRecord();
    EXPECT_EQ(blocks.arraySizes.front(), 5120u); // 5120 frames in mono
    const std::vector<std::int16_t> firstHalfSecond(blocks.samples.begin(), blocks.samples.begin() + 4000);
    EXPECT_NEAR(measureFrequency(firstHalfSecond, 1, 8000), 440.0, 1.0);
}

TEST(WaveInRecorder, EveryRecordingHasItsOwnNotificationObject)
{
    const int before = NotificationWindow::liveCount();
    VirtualDeviceOptions options;
    options.speed = 0;
    WaveInRecorder recorder(virtualBackend(options));
    BlockCollector blocks(recorder);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(recorder.StartRecord(22050, 2));
        EXPECT_EQ(NotificationWindow::liveCount(), before + 1);
        ASSERT_TRUE(waitUntil([&] { return !blocks.sizes.empty(); }));
        recorder.StopRecord();
        QCoreApplication::processEvents();
        EXPECT_EQ(NotificationWindow::liveCount(), before);
    }
}

TEST(WaveInRecorder, NoBlockArrivesAfterStopEvenForFullBuffers)
{
    VirtualDeviceOptions options;
    options.speed = 0; // the device fills the whole ring at once
    WaveInRecorder recorder(virtualBackend(options));
    BlockCollector blocks(recorder);
    ASSERT_TRUE(recorder.StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return !blocks.sizes.empty(); }));
    // The ring refills at once; its notices wait in the event queue while we stop.
    const std::size_t delivered = blocks.sizes.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(recorder.StopRecord());
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(blocks.sizes.size(), delivered);
}

TEST(WaveInRecorder, StoppingInsideGotDataEndsTheRecordingCleanly)
{
    VirtualDeviceOptions options;
    options.speed = 0;
    WaveInRecorder recorder(virtualBackend(options));
    int calls = 0;
    QObject::connect(&recorder, &WaveInRecorder::GotData, [&](std::span<std::int16_t>, std::int32_t &) {
        ++calls;
        recorder.StopRecord(); // as the recording control does on a write error
    });
    ASSERT_TRUE(recorder.StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(recorder.IsRecording());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(NotificationWindow::liveCount(), 0);
    // And it can record again.
    ASSERT_TRUE(recorder.StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return calls > 1; }));
}

TEST(WaveInRecorder, StopWhenIdleReturnsTrueAndChangesNothing)
{
    WaveInRecorder recorder(virtualBackend());
    ASSERT_TRUE(recorder.SelectDevice(0));
    EXPECT_TRUE(recorder.StopRecord());
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(recorder.SelectedDevice(), 0);
}

TEST(WaveInRecorder, OutOfRangeSelectionKeepsThePreviousOne)
{
    WaveInRecorder recorder(virtualBackend());
    EXPECT_EQ(recorder.SelectedDevice(), -1);
    ASSERT_EQ(recorder.DeviceCount(), 1);
    EXPECT_FALSE(recorder.DeviceName(0).isEmpty());
    EXPECT_TRUE(recorder.DeviceName(1).isEmpty());
    ASSERT_TRUE(recorder.SelectDevice(0));
    EXPECT_FALSE(recorder.SelectDevice(recorder.DeviceCount()));
    EXPECT_FALSE(recorder.SelectDevice(-1));
    EXPECT_EQ(recorder.SelectedDevice(), 0);
}

TEST(WaveInRecorder, FailedStartsUndoEverything)
{
    const int windows = NotificationWindow::liveCount();
    VirtualDeviceOptions options;
    options.failPrepareAt = 3;
    WaveInRecorder recorder(virtualBackend(options));
    EXPECT_FALSE(recorder.StartRecord(44100, 2));
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_FALSE(recorder.lastStartError().isEmpty());
    EXPECT_EQ(NotificationWindow::liveCount(), windows);

    WaveInRecorder plain(virtualBackend());
    EXPECT_FALSE(plain.StartRecord(44100, 3)); // three channels
    EXPECT_FALSE(plain.StartRecord(0, 2));
    EXPECT_FALSE(plain.IsRecording());
    EXPECT_EQ(NotificationWindow::liveCount(), windows);

    QTemporaryDir dir;
    VirtualDeviceOptions missing;
    missing.inputPath = dir.filePath("absent.wav");
    WaveInRecorder noInput(virtualBackend(missing));
    EXPECT_FALSE(noInput.StartRecord(44100, 2));
    EXPECT_TRUE(noInput.lastStartError().contains("absent.wav"));

    WaveInRecorder nothing(nullptr);
    EXPECT_EQ(nothing.DeviceCount(), 0);
    EXPECT_FALSE(nothing.SelectDevice(0));
    EXPECT_FALSE(nothing.StartRecord(44100, 2));
    EXPECT_EQ(NotificationWindow::liveCount(), windows);
}

TEST(WaveInRecorder, VirtualDeviceKeepsRealTimePace)
{
    WaveInRecorder recorder(virtualBackend()); // speed 1
    BlockCollector blocks(recorder);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(recorder.StartRecord(44100, 2));
    ASSERT_TRUE(waitUntil([&] { return blocks.sizes.size() >= 4; }));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    recorder.StopRecord();
    // Four buffers hold 4 x 58 ms of sound: they cannot all have arrived sooner.
    EXPECT_GE(elapsed, std::chrono::milliseconds(225));
    EXPECT_NEAR(measureFrequency(blocks.samples, 2, 44100), 440.0, 1.0); // the test signal
}
