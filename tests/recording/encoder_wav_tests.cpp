// The WAV files the recorder writes: their exact layout, the result codes, and what other
// programs read in them.
#include "recording/encoder_wav.h"

#include "common/app_error.h"

#include "recording_helpers.h"

#include "../support/small_disk.h"

#include <QFile>
#include <QLocale>

namespace {

class EncoderWavTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }

    // Encodes `blocks` blocks of 10240 bytes of a 1 kHz tone at 44100 Hz stereo, each expecting `result`.
    void encodeBlocks(int blocks, int result = 0)
    {
        for (int i = 0; i < blocks; ++i) {
            std::int32_t used = -1;
            ASSERT_EQ(encoder.Encoder_Encode(tone.data(), 10240, used), result);
            if (result == 0) {
                EXPECT_EQ(used, 10240);
            }
        }
    }
    QByteArray toneBlock() const { return {reinterpret_cast<const char *>(tone.data()), 10240}; }

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

TEST_F(EncoderWavTest, TenStereoBlocksGiveTheExactPcmLayout)
{
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
    EXPECT_EQ(file.mid(46, 10240), toneBlock());

    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    for (const MediaInfo &info : {soxInfo(path("a.wav")), ffprobeInfo(path("a.wav"))}) {
        EXPECT_EQ(info.rateHz, 44100);
        EXPECT_EQ(info.channels, 2);
        EXPECT_NEAR(info.seconds, 25600 / 44100.0, 0.001);
    }
}

TEST_F(EncoderWavTest, ClosingWithNothingEncodedLeavesAHeaderWithNoData)
{
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("empty.wav")), 0);
    const QByteArray whileOpen = readFileBytes(path("empty.wav")); // already a WAV, with no data
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path("empty.wav"));
    EXPECT_EQ(whileOpen, file);
    ASSERT_EQ(file.size(), 46);
    EXPECT_EQ(le32At(file, 4), 38u);
    EXPECT_EQ(le32At(file, 42), 0u);
    EXPECT_EQ(soxInfo(path("empty.wav")).rateHz, 44100);
}

TEST_F(EncoderWavTest, IdleEncoderAndBadArgumentsAreRefused)
{
    expectIdle();
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(1), -1);
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(0), -1);
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(5), 0);

    EXPECT_EQ(encoder.Encoder_EncoderInit(0, 2, path("x.wav")), 7);
    EXPECT_EQ(encoder.Encoder_EncoderInit(44100, 0, path("x.wav")), 7);
    EXPECT_FALSE(QFile::exists(path("x.wav")));
    // An unwritable path leaves no conversion stream behind either.
    EXPECT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("no/such/folder/x.wav")), 2);
    expectIdle();
    // Afterwards the encoder works as new.
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("ok.wav")), 0);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
}

TEST_F(EncoderWavTest, BlockLargerThanOneSecondOfInputIsRefused)
{
    encoder.SetPCMFormat(8000, 1);
    ASSERT_EQ(encoder.Encoder_EncoderInit(8000, 1, path("small.wav")), 0);
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(1), 16000);
    EXPECT_EQ(encoder.Encoder_EncoderMetrics(0), 2);
    std::vector<std::int16_t> second(8001, 100);
    std::int32_t used = 123;
    EXPECT_EQ(encoder.Encoder_Encode(second.data(), 16001, used), 8);
    EXPECT_EQ(used, 123); // nothing happened
    EXPECT_EQ(encoder.Encoder_Encode(second.data(), 16000, used), 0);
    EXPECT_EQ(used, 16000);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(readFileBytes(path("small.wav")).size(), 46 + 16000);
}

TEST_F(EncoderWavTest, SecondInitFinishesTheFirstFileWithItsHeader)
{
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("first.wav")), 0);
    encodeBlocks(2);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("second.wav")), 0);
    const QByteArray first = readFileBytes(path("first.wav"));
    ASSERT_EQ(first.size(), 46 + 20480);
    EXPECT_EQ(first.left(4), "RIFF");
    EXPECT_EQ(le32At(first, 42), 20480u);
    encodeBlocks(1);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(le32At(readFileBytes(path("second.wav")), 42), 10240u);
}

TEST_F(EncoderWavTest, HeaderSwitchGivesRawFilesAndIsLockedWhileOpen)
{
    encoder.setWriteHeader(false);
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path("raw.pcm")), 0);
    try {
        encoder.setWriteHeader(true);
        FAIL() << "no error while a file is open";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 90);
        EXPECT_EQ(error.text(), "Encoder already running!");
    }
    EXPECT_FALSE(encoder.WriteHeader());
    encodeBlocks(3);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray raw = readFileBytes(path("raw.pcm"));
    ASSERT_EQ(raw.size(), 3 * 10240);
    EXPECT_EQ(raw.left(10240), toneBlock());
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
    EXPECT_GT(file.size(), 46 + 2 * 10240);
    EXPECT_LE(file.size(), 24 * 1024);
    EXPECT_EQ((file.size() - 46) % 4, 0); // whole frames only
    expectSizesMatchFile(file);
    EXPECT_TRUE(file.mid(46, 10240) == toneBlock());
}

TEST(EncoderWavFormat, FormatTextsFollowTheLocaleAndSetFormatTakesTheRecordAsGiven)
{
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EncoderWAV encoder;
    EXPECT_EQ(encoder.FormatID(), "44.1 kHz 16 Bit Stereo");
    EXPECT_EQ(encoder.FormatTag(), "PCM");
    EXPECT_EQ(encoder.Encoder_Description(), "Wave ACM Encoder");
    EXPECT_EQ(encoder.Encoder_Extension(), "wav");
    const struct {
        int rate, channels;
        const char *id, *tag, *expectedId, *expectedTag;
    } cases[] = {{44100, 1, "", "", "44,1 16 Bit mono", "PCM"},
                 {8000, 2, "huit", "tag", "huit", "tag"},
                 {11025, 2, "", "", "11 16 Bit stereo", "PCM"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expectedId);
        if (*c.id)
            encoder.SetPCMFormat(c.rate, c.channels, c.id, c.tag);
        else
            encoder.SetPCMFormat(c.rate, c.channels);
        EXPECT_EQ(encoder.FormatID(), c.expectedId);
        EXPECT_EQ(encoder.FormatTag(), c.expectedTag);
    }
    ASSERT_EQ(encoder.outputFormat().size(), 18u);
    EXPECT_EQ(WaveFormat::fromBytes(encoder.outputFormat()), WaveFormat::pcm(11025, 2, 16));
    QLocale::setDefault(QLocale::system());

    const auto mono8 = WaveFormat::pcm(22050, 1, 8).toBytes();
    encoder.SetFormat(mono8, "id");
    EXPECT_EQ(encoder.FormatID(), "id");
    EXPECT_EQ(encoder.FormatTag(), "");
    EXPECT_TRUE(std::equal(mono8.begin(), mono8.end(), encoder.outputFormat().begin()));
    encoder.SetFormat(std::span(mono8).first(10), "short");
    EXPECT_EQ(encoder.FormatID(), "id"); // unchanged
}
