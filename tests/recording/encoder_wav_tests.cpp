// The WAV files the recorder writes, checked with sox and ffprobe: refusals, PCM conversions, the
// header that follows the sound while the file is open, and the largest size a header describes.
#include "recording/encoder_wav.h"

#include "common/app_error.h"
#include "platform/acm/output_formats.h"

#include "recording_helpers.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kBlockBytes = 10240;
constexpr std::uint32_t kStereoSecond = 176400;

class EncoderWavTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }

    // Encodes `blocks` blocks of 10240 bytes of a 1 kHz tone at 44100 Hz stereo.
    void encodeBlocks(int blocks)
    {
        for (int i = 0; i < blocks; ++i) {
            std::int32_t used = -1;
            ASSERT_TRUE(encoder.Encoder_Encode(tone.data(), kBlockBytes, used) == 0 && used == kBlockBytes);
        }
    }
    QByteArray toneBlock() const { return {reinterpret_cast<const char *>(tone.data()), kBlockBytes}; }

    QTemporaryDir dir;
    EncoderWAV encoder;
    const std::vector<std::int16_t> tone = makeTone(1000, 44100, 2, 2560);
};

// Encodes `input` of `channels` at 44100 Hz into `path` as `output`, in blocks of 10240 bytes;
// the file decoded by sox.
std::vector<std::int16_t> encodePcm(const QString &path, int channels, const WaveFormat &output,
                                    const std::vector<std::int16_t> &input)
{
    EncoderWAV encoder;
    encoder.SetFormat(output.toBytes(), "PCM", "PCM");
    EXPECT_EQ(encoder.Encoder_EncoderInit(44100, static_cast<std::int16_t>(channels), path), 0);
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(input.data());
    for (std::size_t offset = 0; offset < input.size() * 2; offset += kBlockBytes) {
        const auto len = static_cast<std::int32_t>(std::min<std::size_t>(kBlockBytes, input.size() * 2 - offset));
        std::int32_t used = 0;
        EXPECT_TRUE(encoder.Encoder_Encode(bytes + offset, len, used) == 0 && used == len);
    }
    EXPECT_EQ(encoder.Encoder_EncoderClose(), 0);
    return decodeWithSox(path);
}

} // namespace

TEST_F(EncoderWavTest, AnEmptyFileIsAHeaderAlone)
{
    ASSERT_TRUE(encoder.Encoder_EncoderInit(44100, 2, path("empty.wav")) == 0 && encoder.Encoder_EncoderClose() == 0);
    expectSizesMatchFile(readFileBytes(path("empty.wav")));
    ASSERT_TRUE(haveTool("sox"));
    EXPECT_EQ(soxInfo(path("empty.wav")).rateHz, 44100);
}

TEST_F(EncoderWavTest, RefusesBadArgumentsOversizedBlocksAndHeaderChangesWhileOpen)
{
    EXPECT_EQ(std::pair(encoder.Encoder_EncoderInit(0, 2, path("x.wav")), encoder.Encoder_EncoderInit(44100, 0, path("x.wav"))), std::pair(7, 7));
    EXPECT_FALSE(QFile::exists(path("x.wav")));
    EXPECT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("no/such/folder/x.wav")), 2);
    std::int32_t used = 0;
    EXPECT_NE(encoder.Encoder_Encode(tone.data(), 4, used), 0); // nothing open
    EXPECT_EQ(encoder.Encoder_EncoderClose(), 2);

    // A block larger than one second of input is refused and changes nothing.
    encoder.SetPCMFormat(8000, 1);
    ASSERT_EQ(encoder.Encoder_EncoderInit(8000, 1, path("small.wav")), 0);
    std::vector<std::int16_t> second(8001, 100);
    EXPECT_EQ(encoder.Encoder_Encode(second.data(), 16001, used), 8);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(encoder.Encoder_Encode(second.data(), 16000, used), 0);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(readFileBytes(path("small.wav")).size(), 46 + 16000);

    // Without a header the file is the raw sound; the switch is locked while a file is open.
    encoder.SetPCMFormat(44100, 2);
    encoder.setWriteHeader(false);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("raw.pcm")), 0);
    EXPECT_THROW(encoder.setWriteHeader(true), AppError);
    encodeBlocks(3);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(readFileBytes(path("raw.pcm")), toneBlock().repeated(3));

    // A second init finishes the first file with its header.
    encoder.setWriteHeader(true);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("first.wav")), 0);
    encodeBlocks(2);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("second.wav")), 0);
    const QByteArray first = readFileBytes(path("first.wav"));
    ASSERT_EQ(first.size(), 46 + 2 * kBlockBytes);
    expectSizesMatchFile(first);
}

TEST_F(EncoderWavTest, SetFormatTakesARecordOfSixteenBytesOrMoreAsGiven)
{
    const auto mono8 = WaveFormat::pcm(22050, 1, 8).toBytes();
    encoder.SetFormat(std::span(mono8).first(16), "short record");
    EXPECT_EQ(encoder.FormatID(), "short record");
    EXPECT_TRUE(std::equal(mono8.begin(), mono8.begin() + 16, encoder.outputFormat().begin()));
    encoder.SetFormat(std::span(mono8).first(15), "cut");
    EXPECT_EQ(encoder.FormatID(), "short record"); // unchanged
}

TEST_F(EncoderWavTest, PcmConversionKeepsDurationAndPitchInEveryPcmFormat)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    const auto input = makeTone(1000, 44100, 2, 44100);
    const struct {
        const char *name;
        WaveFormat format;
        bool exact; // a lossless widening: decoding back to 16 bits gives the input again
    } targets[] = {{"stereo24bit", WaveFormat::pcm(44100, 2, 24), true}, {"stereoFloat", WaveFormat::pcm(44100, 2, 32, true), true},
                   {"mono8000_8bit", WaveFormat::pcm(8000, 1, 8), false}, {"stereo48000", WaveFormat::pcm(48000, 2, 16), false}};
    for (const auto &target : targets) {
        SCOPED_TRACE(target.name);
        const QString wav = path(QString::fromLatin1(target.name) + ".wav");
        const auto decoded = encodePcm(wav, 2, target.format, input);
        expectSizesMatchFile(readFileBytes(wav));
        EXPECT_EQ((QFileInfo(wav).size() - 46) % target.format.blockAlign, 0);
        for (const MediaInfo &info : {soxInfo(wav), ffprobeInfo(wav)}) {
            EXPECT_EQ(std::pair(info.rateHz, info.channels), std::pair(int(target.format.samplesPerSec), int(target.format.channels)));
            EXPECT_NEAR(info.seconds, 1.0, 0.002); // every frame, flushed out of the resampler at the close
        }
        EXPECT_NEAR(measureFrequency(decoded, target.format.channels, int(target.format.samplesPerSec)), 1000.0, 1.0);
        EXPECT_TRUE(!target.exact || decoded == input) << "a lossless widening changed the sound";
    }
}

TEST_F(EncoderWavTest, PcmChannelConversionCopiesValuesAndMonoIsTheMeanOfLeftAndRight)
{
    std::vector<std::int16_t> mono, leftRight, expectedStereo, expectedMono;
    for (int i = 0; i < 2048; ++i) {
        mono.push_back(static_cast<std::int16_t>(i % 3 == 0 ? 12000 : i % 3 == 1 ? -32768 : 32767 - i));
        expectedStereo.insert(expectedStereo.end(), 2, mono.back());
        leftRight.insert(leftRight.end(), {static_cast<std::int16_t>(12000 + 2 * i), static_cast<std::int16_t>(-8000 + 4 * i)});
        expectedMono.push_back(static_cast<std::int16_t>((leftRight[2 * i] + leftRight[2 * i + 1]) / 2));
    }
    EXPECT_EQ(encodePcm(path("toStereo.wav"), 1, WaveFormat::pcm(44100, 2, 16), mono), expectedStereo);
    EXPECT_EQ(encodePcm(path("toMono.wav"), 2, WaveFormat::pcm(44100, 1, 16), leftRight), expectedMono);
}

TEST_F(EncoderWavTest, StereoBlocksAreWrittenAsGivenAndTheHeaderHoldsEveryOneUpToTheLastWholeSecondWhileOpen)
{
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("open.wav")), 0);
    std::uint32_t expected = 0; // the data the header should describe
    QByteArray snapshot;
    for (int block = 1; block <= 60; ++block) {
        encodeBlocks(1);
        const std::uint32_t written = block * kBlockBytes;
        // The block that completes a whole second of sound brings the header up to date.
        if (written / kStereoSecond != (written - kBlockBytes) / kStereoSecond)
            expected = written;
        const QByteArray onDisk = readFileBytes(path("open.wav"));
        ASSERT_EQ(onDisk.size(), 46 + static_cast<qsizetype>(written));
        ASSERT_EQ(le32At(onDisk, 42), expected) << "after block " << block;
        snapshot = block == 40 ? onDisk : snapshot;
    }
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path("open.wav"));
    expectSizesMatchFile(file);
    // The updates rewrote the header only: the sound written by then is the same at close.
    EXPECT_TRUE(file.mid(46, snapshot.size() - 46) == snapshot.mid(46));
    EXPECT_EQ(file.mid(46, kBlockBytes), toneBlock());
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    for (const MediaInfo &info : {soxInfo(path("open.wav")), ffprobeInfo(path("open.wav"))}) {
        EXPECT_EQ(std::pair(info.rateHz, info.channels), std::pair(44100, 2));
        EXPECT_NEAR(info.seconds, 60 * 2560 / 44100.0, 0.001);
    }
}

TEST_F(EncoderWavTest, CompressedRecordingIsReadableBeforeCloseAndUnchangedInItsSoundAtClose)
{
    const std::vector<std::uint8_t> record = imaAdpcmFormat(44100, 2).toBytes();
    const int header = 28 + static_cast<int>(record.size());
    encoder.SetFormat(record, "IMA ADPCM", "IMA ADPCM");
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("ima.wav")), 0);
    encodeBlocks(40);
    const QByteArray open = readFileBytes(path("ima.wav"));
    const std::uint32_t data = le32At(open, header - 4);
    ASSERT_TRUE(data > 0 && data % le16At(open, 32) == 0) << data; // whole codec blocks only
    ASSERT_TRUE(QFile::copy(path("ima.wav"), path("copy.wav")));
    // The update at the block that completed the second second (35 blocks), less what the codec held.
    EXPECT_NEAR(ffprobeInfo(path("copy.wav")).seconds, 35 * kBlockBytes / double(kStereoSecond), 0.06);

    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path("ima.wav"));
    EXPECT_EQ(le32At(file, header - 4), static_cast<std::uint32_t>(file.size() - header));
    EXPECT_TRUE(file.mid(header, open.size() - header) == open.mid(header));
}

TEST_F(EncoderWavTest, BlockThatWouldPassTheSizeLimitIsRefusedAndTheFileClosesComplete)
{
    const qsizetype limit = 1'000'000;
    encoder.setMaxFileBytes(limit);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("limit.wav")), 0);
    int accepted = 0;
    std::int32_t result = 0, used = 0;
    while (accepted < 200 && (result = encoder.Encoder_Encode(tone.data(), kBlockBytes, used)) == 0)
        ++accepted;
    ASSERT_EQ(result, EncoderWAV::kFileFull);
    EXPECT_EQ(QFileInfo(path("limit.wav")).size(), 46 + accepted * kBlockBytes); // the refused block wrote nothing
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path("limit.wav"));
    // Room is kept for one block and the flush at close, no more than a few seconds' worth.
    EXPECT_TRUE(file.size() <= limit && file.size() > limit - 3 * qsizetype(kStereoSecond)) << file.size();
    expectSizesMatchFile(file);
    EXPECT_NEAR(soxInfo(path("limit.wav")).seconds, accepted * kBlockBytes / double(kStereoSecond), 1e-4);
}
