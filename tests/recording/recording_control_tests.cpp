// The record button sequence and the block handler over the virtual device: numbering, the
// start checks and their messages, the recorded duration, effects before the encoder, and a
// full disk.
#include "recording/recording_control.h"

#include "effects/cls_dsp.h"
#include "recording/encoder_wav.h"
#include "recording/recording_numbering.h"
#include "recording/wave_in_recorder.h"

#include "recording_helpers.h"

#include "../support/small_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

// One window's worth of recording objects over a virtual device, with the program folder in a
// temporary folder.
struct Recording {
    explicit Recording(VirtualDeviceOptions options = virtualOptions())
        : recorder(createVirtualBackend(options)),
          control(recorder, encoder, effects, messages, home.path())
    {
        QDir().mkpath(home.filePath("Wav"));
        recorder.SelectDevice(0);
        control.setDeviceChosen(true);
        control.setRateText("44100");
        control.setStereo(true);
        control.setOutputPath(home.filePath("Wav/take.wav"));
    }
    // Records until `blocks` blocks reached the encoder, then clicks stop. Returns the
    // recorded duration as it stood after the last block.
    std::int32_t recordBlocks(int blocks)
    {
        int seen = 0;
        std::int32_t recordedMs = -1;
        const auto connection = QObject::connect(&control, &RecordingControl::blockRecorded, [&] {
            if (++seen == blocks) {
                recordedMs = control.lngRecordedMs();
                control.cmdDo_Click();
            }
        });
        control.cmdDo_Click();
        EXPECT_TRUE(waitUntil([&] { return !control.isRecording(); }, std::chrono::seconds(30)));
        QObject::disconnect(connection);
        return recordedMs;
    }
    QString wav(const QString &name) const { return home.filePath("Wav/" + name); }

    QTemporaryDir home;
    EncoderWAV encoder;
    clsDSP effects;
    CollectedMessages messages;
    WaveInRecorder recorder;
    RecordingControl control;
};

} // namespace

TEST(RecordingNumbering, FillsGapsFirstAndDropsTheLeadingZeroFromTen)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.filePath("Wav")));
    const auto next = [&] { return nextNumberedRecordingPath(home.path()); };
    EXPECT_EQ(next(), home.filePath("Wav/Enreg_01.wav"));
    touch(home.filePath("Wav/Enreg_02.wav"));
    EXPECT_EQ(next(), home.filePath("Wav/Enreg_01.wav"));
    for (int n = 1; n <= 9; ++n)
        touch(numberedRecordingPath(home.path(), n));
    EXPECT_EQ(next(), home.filePath("Wav/Enreg_10.wav"));
    for (int n = 10; n <= 99; ++n)
        touch(numberedRecordingPath(home.path(), n));
    EXPECT_EQ(next(), home.filePath("Wav/Enreg_100.wav"));
    // A folder of that name is not a recording.
    ASSERT_TRUE(QDir().mkpath(home.filePath("Wav/Enreg_100.wav")));
    EXPECT_EQ(next(), home.filePath("Wav/Enreg_100.wav"));
}

TEST(RecordingControl, NumberedClicksRecordIntoTheNextFreeNameAndMoveOn)
{
    Recording r;
    touch(r.wav("Enreg_01.wav"));
    touch(r.wav("Enreg_02.wav"));
    r.control.setNumbering(true);
    std::vector<QString> shown;
    QObject::connect(&r.control, &RecordingControl::outputPathChanged, [&](const QString &p) { shown.push_back(p); });
    r.recordBlocks(3);
    EXPECT_EQ(r.control.recordingPath(), r.wav("Enreg_03.wav"));
    EXPECT_EQ(r.control.outputPath(), r.wav("Enreg_04.wav")); // the stopping click moved on
    EXPECT_EQ(shown, (std::vector<QString>{r.wav("Enreg_03.wav"), r.wav("Enreg_04.wav")}));
    EXPECT_EQ(le32At(readFileBytes(r.wav("Enreg_03.wav")), 42), 3u * 10240u);
    EXPECT_TRUE(r.messages.texts.empty());
}

TEST(RecordingControl, RecordedDurationAddsEachBlockRoundedToAMillisecond)
{
    const struct {
        const char *rate;
        bool stereo;
        std::int32_t expectedMs;
    } cases[] = {{"44100", true, 5800}, {"22050", false, 23200}, {"8000", false, 64000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        Recording r;
        r.control.setRateText(c.rate);
        r.control.setStereo(c.stereo);
        r.encoder.SetPCMFormat(QString(c.rate).toInt(), c.stereo ? 2 : 1); // written as captured
        EXPECT_EQ(r.recordBlocks(100), c.expectedMs);
        EXPECT_EQ(r.control.lngRecordedMs(), 0); // idle again
        EXPECT_EQ(r.control.lngBytesPerSec(), 0);
        EXPECT_EQ(le32At(readFileBytes(r.control.recordingPath()), 42), 100u * 10240u);
    }
}

TEST(RecordingControl, ARefusedStartSaysWhyAndLeavesTheTakeAlreadyThereAsItWas)
{
    const struct {
        std::function<void(Recording &)> spoil;
        const char *message;
        const char *reason = "";
        int failPrepareAt = -1;
    } cases[] = {
        {[](Recording &r) { r.control.setOutputPath(""); }, "Erreur ! Pas de nom de fichier pour l'enregistrement!"},
        {[](Recording &r) { r.control.setDeviceChosen(false); }, "Pas de dispositif sélectionné !"},
        {[](Recording &r) { r.control.setRateText(""); }, "Fréquence d'échantillonnage invalide !"},
        {[](Recording &r) { r.control.setOutputPath(r.home.filePath("missing/folder/take.wav")); },
         "Ne peut pas initialiser l'encodeur !", "Aucun fichier ou dossier de ce type"},
        {[](Recording &r) { r.control.setRateText("192000"); }, "Effets : erreur 32000 ("},
        {[](Recording &) {}, "Ne peut pas démarrer l'enregistrement !", "préparé", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        Recording r(virtualOptions(0, {}, c.failPrepareAt));
        const QByteArray take = QByteArray("a three-second take, kept byte for byte");
        QFile existing(r.wav("take.wav"));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly) && existing.write(take) == take.size());
        existing.close();
        c.spoil(r);
        bool changed = false;
        QObject::connect(&r.control, &RecordingControl::recordingChanged, [&](bool) { changed = true; });
        r.control.cmdDo_Click();
        ASSERT_EQ(r.messages.texts.size(), 1u);
        EXPECT_TRUE(r.messages.texts.front().startsWith(QString::fromUtf8(c.message))) << r.messages.texts.front().toStdString();
        EXPECT_TRUE(r.messages.reasons.front().contains(QString::fromUtf8(c.reason)))
            << r.messages.reasons.front().toStdString();
        EXPECT_FALSE(r.control.isRecording());
        EXPECT_FALSE(r.encoder.isOpen());
        EXPECT_FALSE(changed);
        EXPECT_EQ(readFileBytes(r.wav("take.wav")), take);
        EXPECT_FALSE(QFile::exists(r.home.filePath("missing")));
    }
}

TEST(RecordingControl, ATakeIsReplacedOnlyWhenTheUserSaysSoAndANumberedNameIsNeverShared)
{
    Recording r;
    touch(r.wav("take.wav"));
    r.messages.replace = false;
    r.control.cmdDo_Click();
    EXPECT_FALSE(r.control.isRecording());
    EXPECT_EQ(r.messages.askedToReplace, std::vector<QString>{r.wav("take.wav")});
    EXPECT_EQ(QFileInfo(r.wav("take.wav")).size(), 0);

    r.messages.replace = true;
    EXPECT_GT(r.recordBlocks(3), 0);
    EXPECT_EQ(QFileInfo(r.wav("take.wav")).size(), 46 + 3 * 10240);

    // Another recording takes Enreg_01.wav between the numbering and the start: this one
    // goes on to the next name instead of sharing it, and asks nothing.
    const std::size_t questions = r.messages.askedToReplace.size();
    r.control.setNumbering(true);
    QObject::connect(&r.control, &RecordingControl::outputPathChanged, [&](const QString &path) {
        if (path.endsWith("Enreg_01.wav"))
            touch(path);
    });
    r.control.cmdDo_Click();
    ASSERT_TRUE(r.control.isRecording());
    EXPECT_EQ(r.control.recordingPath(), r.wav("Enreg_02.wav"));
    EXPECT_EQ(QFileInfo(r.wav("Enreg_01.wav")).size(), 0) << "the other recording's file was replaced";
    r.control.cmdDo_Click();
    EXPECT_EQ(r.messages.askedToReplace.size(), questions);
}

TEST(RecordingControl, EffectsRunBeforeTheEncoder)
{
    QTemporaryDir dir;
    const auto tone = makeTone(1000, 44100, 2, 44100, 8000);
    Recording r(virtualOptions(0, writeInput(dir, tone)));
    r.effects.setEffectsUsed(clsDSP::kAmplifier);
    r.effects.setAmplifyDB(6);
    r.recordBlocks(5);
    const QByteArray file = readFileBytes(r.control.recordingPath());
    ASSERT_EQ(file.size(), 46 + 5 * 10240);
    const auto *written = reinterpret_cast<const std::int16_t *>(file.constData() + 46);
    for (int i = 0; i < 5 * 5120; i += 97)
        EXPECT_NEAR(written[i], tone[static_cast<std::size_t>(i)] * 1.9953, 1.0) << i; // +6 dB
    EXPECT_EQ(r.control.intLastBlock().size(), 5120u);
    EXPECT_EQ(r.control.intLastBlock()[100], written[4 * 5120 + 100]);
}

TEST(RecordingControl, FullDiskStopsTheRecordingWithACompleteFile)
{
    Recording r(VirtualDeviceOptions{}); // real-time pace, so the stop happens mid-recording
    QByteArray file;
    QString path;
    {
        SmallDisk disk(r.home.filePath("small"), 96 * 1024);
        ASSERT_TRUE(disk.ready()) << disk.why().toStdString();
        path = disk.path() + "/take.wav";
        r.control.setOutputPath(path);
        r.control.cmdDo_Click();
        ASSERT_TRUE(r.control.isRecording());
        EXPECT_TRUE(waitUntil([&] { return !r.control.isRecording(); }, std::chrono::seconds(20)));
        EXPECT_EQ(r.messages.texts, std::vector<QString>{"Write error (no disk space left?)!"});
        EXPECT_EQ(r.messages.reasons.front(), QStringLiteral("« %1 » : %2.").arg(path, disk.fullReason()));
        EXPECT_FALSE(r.encoder.isOpen());
        file = readFileBytes(path);
    }
    ASSERT_GT(file.size(), 46 + 10240);
    EXPECT_LE(file.size(), 96 * 1024);
    expectSizesMatchFile(file);
    // The disk fills at a page boundary, in the middle of a frame: the data keeps whole ones.
    EXPECT_EQ((file.size() - 46) % 4, 0);
}

TEST(WaveInRecorderMixer, VirtualLinesSelectAndTheirVolumeScalesWhatIsCaptured)
{
    QTemporaryDir dir;
    WaveInRecorder recorder(createVirtualBackend(virtualOptions(0, writeInput(dir, std::vector<std::int16_t>(44100 * 2, 20000)))));
    EXPECT_EQ(recorder.MixerLineCount(), 0);
    EXPECT_EQ(recorder.MixerLineName(0), "");
    EXPECT_FALSE(recorder.SelectMixerLine(0));
    EXPECT_EQ(recorder.SelectedMixerLine(), -1);

    ASSERT_TRUE(recorder.SelectDevice(0));
    ASSERT_EQ(recorder.MixerLineCount(), 3);
    EXPECT_EQ(recorder.MixerLineName(0), "Microphone");
    EXPECT_EQ(recorder.MixerLineName(1), "Entrée ligne");
    EXPECT_EQ(recorder.MixerLineName(2), "CD audio");
    EXPECT_TRUE(recorder.SelectMixerLine(2));
    EXPECT_EQ(recorder.SelectedMixerLine(), 2);
    EXPECT_EQ(recorder.MixerLineType(), 0x1005);
    EXPECT_TRUE(recorder.SelectMixerLine(0));
    EXPECT_EQ(recorder.MixerLineType(-1), 0x1003);
    EXPECT_FALSE(recorder.SelectMixerLine(3));
    EXPECT_EQ(recorder.SelectedMixerLine(), 0);
    recorder.setMixerLineVolume(30000);
    EXPECT_EQ(recorder.MixerLineVolume(), 30000);

    // Half volume halves what is captured.
    recorder.setMixerLineVolume(32767);
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
