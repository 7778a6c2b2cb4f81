// What keeps a recording whole: the header on disk follows the sound second by second while the
// file is open, and a recording whose file reaches the largest size a WAV header can describe
// stops with a complete file and says why.
#include "recording/encoder_wav.h"

#include "effects/cls_dsp.h"
#include "platform/acm/output_formats.h"
#include "recording/recording_session.h"
#include "recording/wave_in_recorder.h"

#include "recording_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kBlockBytes = 10240;
constexpr std::uint32_t kStereoSecond = 176400;

// The RIFF and data sizes of a file whose header is `headerBytes` long.
struct HeaderSizes {
    std::uint32_t riff = 0;
    std::uint32_t data = 0;
};
HeaderSizes sizesOf(const QByteArray &file, int headerBytes)
{
    return {le32At(file, 4), le32At(file, headerBytes - 4)};
}

} // namespace

TEST(EncoderWavWhileOpen, HeaderOnDiskHoldsEveryBlockUpToTheLastWholeSecondWithOneUpdatePerSecond)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("open.wav");
    const std::vector<std::int16_t> tone = makeTone(1000, 44100, 2, kBlockBytes / 4);
    EncoderWAV encoder;
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path), 0);

    std::uint32_t expected = 0; // the data the header should describe
    int updates = 0;
    QByteArray snapshot;
    for (int block = 1; block <= 60; ++block) {
        std::int32_t used = 0;
        ASSERT_EQ(encoder.Encoder_Encode(tone.data(), kBlockBytes, used), 0);
        const std::uint32_t written = block * kBlockBytes;
        // The block that completes a whole second of sound brings the header up to date.
        if (written / kStereoSecond != (written - kBlockBytes) / kStereoSecond) {
            expected = written;
            ++updates;
        }
        const QByteArray onDisk = readFileBytes(path);
        ASSERT_EQ(onDisk.size(), 46 + static_cast<qsizetype>(written));
        const HeaderSizes sizes = sizesOf(onDisk, 46);
        ASSERT_EQ(sizes.data, expected) << "after block " << block;
        ASSERT_EQ(sizes.riff, expected + 38) << "after block " << block;
        if (block == 40)
            snapshot = onDisk;
    }
    EXPECT_EQ(updates, 3); // 614400 bytes of sound: three whole seconds, three header writes

    // What sox and ffprobe read of the file as it stood after 40 blocks is the 35 blocks that
    // completed its second second.
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    const QString copy = dir.filePath("copy.wav");
    QFile out(copy);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(snapshot) == snapshot.size());
    out.close();
    EXPECT_NEAR(soxInfo(copy).seconds, 35 * kBlockBytes / double(kStereoSecond), 1e-4);
    EXPECT_NEAR(ffprobeInfo(copy).seconds, 35 * kBlockBytes / double(kStereoSecond), 1e-3);

    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path);
    ASSERT_EQ(file.size(), 46 + 60 * kBlockBytes);
    expectSizesMatchFile(file);
    // The updates rewrote the header only: the sound written by then is the same at close.
    EXPECT_TRUE(file.mid(46, snapshot.size() - 46) == snapshot.mid(46));
    EXPECT_TRUE(file.mid(8, 34) == snapshot.mid(8, 34));
}

TEST(EncoderWavWhileOpen, CompressedRecordingIsReadableBeforeCloseAndUnchangedInItsSoundAtClose)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ima.wav");
    const std::vector<std::uint8_t> record = imaAdpcmFormat(44100, 2).toBytes();
    const int header = 28 + static_cast<int>(record.size());
    const std::vector<std::int16_t> tone = makeTone(440, 44100, 2, kBlockBytes / 4);
    EncoderWAV encoder;
    encoder.SetFormat(record, "IMA ADPCM", "IMA ADPCM");
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path), 0);
    for (int block = 0; block < 40; ++block) {
        std::int32_t used = 0;
        ASSERT_EQ(encoder.Encoder_Encode(tone.data(), kBlockBytes, used), 0);
    }
    const QByteArray open = readFileBytes(path);
    const HeaderSizes sizes = sizesOf(open, header);
    const std::uint16_t blockAlign = le16At(open, 32);
    ASSERT_GT(sizes.data, 0u);
    EXPECT_EQ(sizes.data % blockAlign, 0u); // whole codec blocks only
    EXPECT_LE(sizes.data, static_cast<std::uint32_t>(open.size() - header));
    EXPECT_EQ(sizes.riff, sizes.data + header - 8);

    const QString copy = dir.filePath("copy.wav");
    ASSERT_TRUE(QFile::copy(path, copy));
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    // The update at the block that completed the second second (35 blocks, 2.03 s of input),
    // less what the codec still held then.
    const double described = 35 * kBlockBytes / double(kStereoSecond);
    EXPECT_NEAR(soxInfo(copy).seconds, described, 0.06);
    EXPECT_NEAR(ffprobeInfo(copy).seconds, described, 0.06);

    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path);
    EXPECT_EQ(sizesOf(file, header).data, static_cast<std::uint32_t>(file.size() - header));
    EXPECT_EQ(sizesOf(file, header).riff, static_cast<std::uint32_t>(file.size() - 8));
    EXPECT_TRUE(file.mid(header, open.size() - header) == open.mid(header));
}

TEST(EncoderWavSizeLimit, BlockThatWouldPassTheLimitIsRefusedAndTheFileClosesComplete)
{
    EncoderWAV encoder;
    encoder.setMaxFileBytes(~0ull);
    EXPECT_EQ(encoder.maxFileBytes(), 0xFFFFFFFFull); // never above what the sizes can hold
    const std::uint64_t limit = 1'000'000;
    encoder.setMaxFileBytes(limit);

    QTemporaryDir dir;
    const QString path = dir.filePath("limit.wav");
    const std::vector<std::int16_t> tone = makeTone(1000, 44100, 2, kBlockBytes / 4);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path), 0);
    int accepted = 0;
    std::int32_t result = 0;
    while (accepted < 200 && (result = [&] {
               std::int32_t used = 0;
               return encoder.Encoder_Encode(tone.data(), kBlockBytes, used);
           }()) == 0)
        ++accepted;
    ASSERT_EQ(result, EncoderWAV::kFileFull);
    const qint64 atLimit = QFileInfo(path).size();
    EXPECT_EQ(atLimit, 46 + accepted * kBlockBytes); // the refused block wrote nothing
    std::int32_t used = -1;
    EXPECT_EQ(encoder.Encoder_Encode(tone.data(), kBlockBytes, used), EncoderWAV::kFileFull);
    EXPECT_EQ(used, 0);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);

    const QByteArray file = readFileBytes(path);
    EXPECT_LE(file.size(), static_cast<qsizetype>(limit));
    // Room is kept for one block and the flush at close, no more than a few seconds' worth.
    EXPECT_GT(file.size(), static_cast<qsizetype>(limit) - 3 * static_cast<qsizetype>(kStereoSecond));
    expectSizesMatchFile(file);
    EXPECT_NEAR(soxInfo(path).seconds, accepted * kBlockBytes / double(kStereoSecond), 1e-4);
}

TEST(RecordingSessionSizeLimit, ALimitNoFileCanHoldABlockUnderStopsTheTakeAndSaysSo)
{
    // Past the limit a take goes on in parts; a limit below one block would make parts forever.
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.filePath("Wav")));
    EncoderWAV encoder;
    encoder.setMaxFileBytes(kBlockBytes / 2);
    clsDSP effects;
    WaveInRecorder recorder(createVirtualBackend(virtualOptions()));
    RecordingSession session(recorder, encoder, effects, home.path());
    ASSERT_TRUE(recorder.SelectDevice(0));
    std::vector<std::pair<StopCause, QString>> stops;
    QObject::connect(&session, &RecordingSession::stopped,
                     [&](StopCause cause, const RecordingFailure &failure) { stops.emplace_back(cause, failure.message); });

    ASSERT_FALSE(session.start({home.filePath("Wav/long.wav"), false, true, 44100, 2, {}}));
    ASSERT_TRUE(waitUntil([&] { return !session.isRecording(); }, std::chrono::seconds(30)));
    EXPECT_EQ(stops, (std::vector<std::pair<StopCause, QString>>{{StopCause::FileFull, RecordingSession::kFileFullMessage}}));
    EXPECT_FALSE(encoder.isOpen());
    EXPECT_FALSE(QFileInfo::exists(home.filePath("Wav/long-001.wav")));
    const QByteArray file = readFileBytes(home.filePath("Wav/long.wav"));
    EXPECT_EQ(file.size(), 46);
    expectSizesMatchFile(file);
}
