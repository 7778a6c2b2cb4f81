// The WAV files the recorder writes: their exact layout and result codes, the conversion into
// other PCM formats, the header on disk that follows the sound second by second while the file
// is open, the largest size a header can describe and a full disk; checked with sox and ffprobe.
#include "recording/encoder_wav.h"

#include "common/app_error.h"
#include "platform/acm/output_formats.h"

#include "recording_helpers.h"

#include "../support/scoped_locale.h"
#include "../support/small_disk.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kBlockBytes = 10240;
constexpr std::uint32_t kStereoSecond = 176400;

class EncoderWavTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }

    // Encodes `blocks` blocks of 10240 bytes of a 1 kHz tone at 44100 Hz stereo, each expecting `result`.
    void encodeBlocks(int blocks, int result = 0)
    {
        for (int i = 0; i < blocks; ++i) {
            std::int32_t used = -1;
            ASSERT_EQ(encoder.Encoder_Encode(tone.data(), kBlockBytes, used), result);
            if (result == 0) {
                EXPECT_EQ(used, kBlockBytes);
            }
        }
    }
    QByteArray toneBlock() const { return {reinterpret_cast<const char *>(tone.data()), kBlockBytes}; }

    // The encoder holds nothing open: encode and close are refused.
    void expectIdle()
    {
        EXPECT_FALSE(encoder.isOpen());
        EXPECT_EQ(encoder.Encoder_EncoderClose(), 2);
        std::int32_t used = -1;
        const std::int16_t block[2] = {1, 2};
        EXPECT_NE(encoder.Encoder_Encode(block, 4, used), 0);
    }

    QTemporaryDir dir;
    EncoderWAV encoder;
    const std::vector<std::int16_t> tone = makeTone(1000, 44100, 2, 2560);
};

} // namespace

TEST_F(EncoderWavTest, StereoBlocksGiveTheExactPcmLayoutAndAnEmptyFileIsAHeaderAlone)
{
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("empty.wav")), 0);
    const QByteArray whileOpen = readFileBytes(path("empty.wav")); // already a WAV, with no data
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(readFileBytes(path("empty.wav")), whileOpen);
    ASSERT_EQ(whileOpen.size(), 46);
    EXPECT_EQ(le32At(whileOpen, 4), 38u);
    EXPECT_EQ(le32At(whileOpen, 42), 0u);

    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("a.wav")), 0);
    encodeBlocks(10);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path("a.wav"));
    ASSERT_EQ(file.size(), 102446);
    EXPECT_EQ(file.left(4), "RIFF");
    EXPECT_EQ(le32At(file, 4), 102438u);
    EXPECT_EQ(file.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(file.mid(38, 4), "data");
    EXPECT_EQ(le32At(file, 42), 102400u);
    // fmt size, PCM, channels, rate, bytes per second, block align, bits, extra size
    const std::uint32_t fmt[] = {le32At(file, 16), le16At(file, 20), le16At(file, 22), le32At(file, 24),
                                 le32At(file, 28), le16At(file, 32), le16At(file, 34), le16At(file, 36)};
    EXPECT_EQ(std::vector<std::uint32_t>(std::begin(fmt), std::end(fmt)),
              (std::vector<std::uint32_t>{18, 1, 2, 44100, 176400, 4, 16, 0}));
    EXPECT_EQ(file.mid(46, kBlockBytes), toneBlock());

    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    EXPECT_EQ(soxInfo(path("empty.wav")).rateHz, 44100);
    for (const MediaInfo &info : {soxInfo(path("a.wav")), ffprobeInfo(path("a.wav"))}) {
        EXPECT_EQ(info.rateHz, 44100);
        EXPECT_EQ(info.channels, 2);
        EXPECT_NEAR(info.seconds, 25600 / 44100.0, 0.001);
    }
}

TEST_F(EncoderWavTest, RefusesBadArgumentsOversizedBlocksAndHeaderChangesWhileOpen)
{
    expectIdle();
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(1), -1);
    EXPECT_EQ(encoder.Encoder_EncoderInit(0, 2, path("x.wav")), 7);
    EXPECT_EQ(encoder.Encoder_EncoderInit(44100, 0, path("x.wav")), 7);
    EXPECT_FALSE(QFile::exists(path("x.wav")));
    EXPECT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("no/such/folder/x.wav")), 2);
    expectIdle();

    // A block larger than one second of input is refused and changes nothing.
    encoder.SetPCMFormat(8000, 1);
    ASSERT_EQ(encoder.Encoder_EncoderInit(8000, 1, path("small.wav")), 0);
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(1), 16000);
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(0), 2);
    std::vector<std::int16_t> second(8001, 100);
    std::int32_t used = 123;
    EXPECT_EQ(encoder.Encoder_Encode(second.data(), 16001, used), 8);
    EXPECT_EQ(used, 123);
    EXPECT_EQ(encoder.Encoder_Encode(second.data(), 16000, used), 0);
    EXPECT_EQ(used, 16000);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(readFileBytes(path("small.wav")).size(), 46 + 16000);

    // Without a header the file is the raw sound; the switch is locked while a file is open.
    encoder.SetPCMFormat(44100, 2);
    encoder.setWriteHeader(false);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("raw.pcm")), 0);
    try {
        encoder.setWriteHeader(true);
        FAIL() << "no error while a file is open";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 90);
        EXPECT_EQ(error.text(), "Encoder already running!");
    }
    encodeBlocks(3);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray raw = readFileBytes(path("raw.pcm"));
    ASSERT_EQ(raw.size(), 3 * kBlockBytes);
    EXPECT_EQ(raw.left(kBlockBytes), toneBlock());

    // A second init finishes the first file with its header.
    encoder.setWriteHeader(true);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("first.wav")), 0);
    encodeBlocks(2);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("second.wav")), 0);
    const QByteArray first = readFileBytes(path("first.wav"));
    ASSERT_EQ(first.size(), 46 + 2 * kBlockBytes);
    EXPECT_EQ(le32At(first, 42), 2u * kBlockBytes);
    encodeBlocks(1);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(le32At(readFileBytes(path("second.wav")), 42), 10240u);
}

TEST(EncoderWavFormat, FormatTextsFollowTheLocaleAndSetFormatTakesTheRecordAsGiven)
{
    const ScopedLocale french;
    EncoderWAV encoder;
    EXPECT_EQ(encoder.FormatID(), "44.1 kHz 16 Bit Stereo");
    EXPECT_EQ(encoder.FormatTag(), "PCM");
    encoder.SetPCMFormat(44100, 1);
    EXPECT_EQ(encoder.FormatID(), "44,1 16 Bit mono");
    encoder.SetPCMFormat(11025, 2);
    EXPECT_EQ(encoder.FormatID(), "11 16 Bit stereo");
    EXPECT_EQ(WaveFormat::fromBytes(encoder.outputFormat()), WaveFormat::pcm(11025, 2, 16));

    const auto mono8 = WaveFormat::pcm(22050, 1, 8).toBytes();
    encoder.SetFormat(mono8, "id");
    EXPECT_EQ(encoder.FormatID(), "id");
    EXPECT_EQ(encoder.FormatTag(), "");
    EXPECT_TRUE(std::equal(mono8.begin(), mono8.end(), encoder.outputFormat().begin()));
    encoder.SetFormat(std::span(mono8).first(10), "short");
    EXPECT_EQ(encoder.FormatID(), "id"); // unchanged
}

TEST(PcmConversion, KeepsDurationAndPitchInEveryPcmFormat)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    QTemporaryDir dir;
    const auto tone = makeTone(1000, 44100, 2, 44100);
    const struct {
        const char *name;
        WaveFormat format;
        bool exact; // a lossless widening: decoding back to 16 bits gives the input again
    } targets[] = {
        {"mono22050", WaveFormat::pcm(22050, 1, 16), false}, {"stereo8bit", WaveFormat::pcm(44100, 2, 8), false},
        {"stereo24bit", WaveFormat::pcm(44100, 2, 24), true}, {"stereoFloat", WaveFormat::pcm(44100, 2, 32, true), true},
        {"mono8000_8bit", WaveFormat::pcm(8000, 1, 8), false}, {"stereo48000", WaveFormat::pcm(48000, 2, 16), false},
    };
    for (const auto &target : targets) {
        SCOPED_TRACE(target.name);
        EncoderWAV encoder;
        encoder.SetFormat(target.format.toBytes(), target.name, "PCM");
        const QString path = dir.filePath(QString::fromLatin1(target.name) + ".wav");
        ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path), 0);
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(tone.data());
        for (std::size_t offset = 0; offset < tone.size() * 2; offset += kBlockBytes) {
            const auto len = static_cast<std::int32_t>(std::min<std::size_t>(kBlockBytes, tone.size() * 2 - offset));
            std::int32_t used = 0;
            ASSERT_EQ(encoder.Encoder_Encode(bytes + offset, len, used), 0);
            ASSERT_EQ(used, len);
        }
        ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);

        const QByteArray file = readFileBytes(path);
        EXPECT_EQ(le16At(file, 20), target.format.formatTag);
        EXPECT_EQ(le16At(file, 34), target.format.bitsPerSample);
        const std::uint32_t dataBytes = le32At(file, 42);
        EXPECT_EQ(dataBytes, static_cast<std::uint32_t>(file.size() - 46));
        EXPECT_EQ(dataBytes % target.format.blockAlign, 0u);
        // Every frame of the second is there, flushed out of the resampler at the close.
        EXPECT_NEAR(dataBytes / static_cast<double>(target.format.avgBytesPerSec), 1.0, 0.002);
        for (const MediaInfo &info : {soxInfo(path), ffprobeInfo(path)}) {
            EXPECT_EQ(info.rateHz, static_cast<int>(target.format.samplesPerSec));
            EXPECT_EQ(info.channels, target.format.channels);
            EXPECT_NEAR(info.seconds, 1.0, 0.002);
        }
        const auto decoded = decodeWithSox(path);
        EXPECT_NEAR(measureFrequency(decoded, target.format.channels, static_cast<int>(target.format.samplesPerSec)),
                    1000.0, 1.0);
        if (target.exact) {
            EXPECT_EQ(decoded, tone);
        }
    }
}

TEST(PcmConversion, ChannelConversionCopiesValuesAndMonoIsTheMeanOfLeftAndRight)
{
    QTemporaryDir dir;
    const auto encode = [&](const char *name, int channels, WaveFormat output, const std::vector<std::int16_t> &input) {
        EncoderWAV encoder;
        encoder.SetFormat(output.toBytes(), name, "PCM");
        const QString path = dir.filePath(QString::fromLatin1(name) + ".wav");
        std::int32_t used = 0;
        EXPECT_EQ(encoder.Encoder_EncoderInit(44100, static_cast<std::int16_t>(channels), path), 0);
        EXPECT_EQ(encoder.Encoder_Encode(input.data(), static_cast<std::int32_t>(input.size() * 2), used), 0);
        EXPECT_EQ(encoder.Encoder_EncoderClose(), 0);
        return decodeWithSox(path);
    };
    // Values well apart from each other, some odd, some at full scale.
    std::vector<std::int16_t> mono, leftRight;
    for (int i = 0; i < 2048; ++i) {
        mono.push_back(static_cast<std::int16_t>(i % 3 == 0 ? 12000 : i % 3 == 1 ? -32768 : 32767 - i));
        leftRight.push_back(static_cast<std::int16_t>(12000 + 2 * i));
        leftRight.push_back(static_cast<std::int16_t>(-8000 + 4 * i));
    }
    const auto stereo = encode("toStereo", 1, WaveFormat::pcm(44100, 2, 16), mono);
    ASSERT_EQ(stereo.size(), 2 * mono.size());
    for (std::size_t i = 0; i < mono.size(); ++i) {
        ASSERT_EQ(stereo[2 * i], mono[i]) << "frame " << i;
        ASSERT_EQ(stereo[2 * i + 1], mono[i]) << "frame " << i;
    }
    const auto down = encode("toMono", 2, WaveFormat::pcm(44100, 1, 16), leftRight);
    ASSERT_EQ(down.size(), leftRight.size() / 2);
    for (std::size_t i = 0; i < down.size(); ++i)
        ASSERT_EQ(down[i], (leftRight[2 * i] + leftRight[2 * i + 1]) / 2) << "frame " << i;
}

TEST(EncoderWavWhileOpen, HeaderOnDiskHoldsEveryBlockUpToTheLastWholeSecond)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("open.wav");
    const std::vector<std::int16_t> tone = makeTone(1000, 44100, 2, kBlockBytes / 4);
    EncoderWAV encoder;
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path), 0);
    std::uint32_t expected = 0; // the data the header should describe
    QByteArray snapshot;
    for (int block = 1; block <= 60; ++block) {
        std::int32_t used = 0;
        ASSERT_EQ(encoder.Encoder_Encode(tone.data(), kBlockBytes, used), 0);
        const std::uint32_t written = block * kBlockBytes;
        // The block that completes a whole second of sound brings the header up to date.
        if (written / kStereoSecond != (written - kBlockBytes) / kStereoSecond)
            expected = written;
        const QByteArray onDisk = readFileBytes(path);
        ASSERT_EQ(onDisk.size(), 46 + static_cast<qsizetype>(written));
        ASSERT_EQ(le32At(onDisk, 42), expected) << "after block " << block;
        ASSERT_EQ(le32At(onDisk, 4), expected + 38) << "after block " << block;
        if (block == 40)
            snapshot = onDisk;
    }
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
    const std::uint32_t data = le32At(open, header - 4);
    ASSERT_GT(data, 0u);
    EXPECT_EQ(data % le16At(open, 32), 0u); // whole codec blocks only
    EXPECT_LE(data, static_cast<std::uint32_t>(open.size() - header));
    EXPECT_EQ(le32At(open, 4), data + header - 8);
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
    EXPECT_EQ(le32At(file, header - 4), static_cast<std::uint32_t>(file.size() - header));
    EXPECT_EQ(le32At(file, 4), static_cast<std::uint32_t>(file.size() - 8));
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
    std::int32_t result = 0, used = 0;
    while (accepted < 200 && (result = encoder.Encoder_Encode(tone.data(), kBlockBytes, used)) == 0)
        ++accepted;
    ASSERT_EQ(result, EncoderWAV::kFileFull);
    EXPECT_EQ(QFileInfo(path).size(), 46 + accepted * kBlockBytes); // the refused block wrote nothing
    used = -1;
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

TEST_F(EncoderWavTest, WriteErrorIsReportedAndTheHeaderDescribesWhatIsOnDisk)
{
    QByteArray file;
    {
        // Room for the header, two blocks and part of a third, cut in the middle of a frame.
        SmallDisk disk(path("small"), 24 * 1024);
        ASSERT_TRUE(disk.ready()) << disk.why().toStdString();
        const QString full = disk.path() + "/full.wav";
        ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, full), 0);
        encodeBlocks(2);
        encodeBlocks(2, 10); // later blocks are still tried
        EXPECT_EQ(encoder.lastError(), QStringLiteral("« %1 » : %2.").arg(full, disk.fullReason()));
        encoder.Encoder_EncoderClose();
        file = readFileBytes(full);
    }
    EXPECT_GT(file.size(), 46 + 2 * kBlockBytes);
    EXPECT_LE(file.size(), 24 * 1024);
    EXPECT_EQ((file.size() - 46) % 4, 0); // whole frames only
    expectSizesMatchFile(file);
    EXPECT_TRUE(file.mid(46, kBlockBytes) == toneBlock());
}
