// The compressed conversion stream on its own and inside the encoder: whole output blocks per
// call, the rest of the input kept for the next call, the tail given up at the flush, and
// records that no codec here writes refused with a reason.
#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"
#include "recording/encoder_wav.h"

#include "../support/tools.h"
#include "tone_measure.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr std::size_t kBlockBytes = 10240;

std::vector<std::uint8_t> toneBytes(int rateHz, int channels, int frames)
{
    const auto tone = makeTones(440, rateHz, channels, frames, 12000);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(tone.size() * 2);
    for (const std::int16_t s : tone)
        le::put16(bytes, static_cast<std::uint16_t>(s));
    return bytes;
}

class ImaStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        stream = openConversionStream(WaveFormat::pcm(44100, 2, 16), imaAdpcmFormat(44100, 2), &error);
        ASSERT_TRUE(stream) << error.toStdString();
        destination.resize(stream->destinationSize(kBlockBytes));
    }

    // 2041 samples per channel in each 2048-byte block.
    static constexpr std::size_t kImaBlock = 2048;
    static constexpr std::size_t kImaFrames = 2041;
    std::unique_ptr<ConversionStream> stream;
    std::vector<std::uint8_t> source = toneBytes(44100, 2, 2560);
    std::vector<std::uint8_t> destination;
};

TEST_F(ImaStream, EachCallTakesTheWholeSourceAndGivesOnlyWholeBlocks)
{
    std::size_t blocks = 0;
    for (int call = 1; call <= 8; ++call) {
        const ConversionResult result = stream->convert(source, destination, false);
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.sourceUsed, kBlockBytes);
        EXPECT_EQ(result.destinationUsed % kImaBlock, 0u);
        blocks += result.destinationUsed / kImaBlock;
        // Every whole block of what came in so far is out; the rest waits in the stream.
        EXPECT_EQ(blocks, call * 2560u / kImaFrames) << "after call " << call;
    }
}

TEST_F(ImaStream, FlushPadsTheHeldSamplesIntoOneLastBlock)
{
    std::size_t produced = 0;
    for (int call = 0; call < 3; ++call)
        produced += stream->convert(source, destination, false).destinationUsed;
    EXPECT_EQ(produced, 3 * kImaBlock); // 7680 frames: three blocks, 1557 frames held
    const ConversionResult tail = stream->convert({}, destination, true);
    ASSERT_TRUE(tail.ok);
    EXPECT_EQ(tail.sourceUsed, 0u);
    EXPECT_EQ(tail.destinationUsed, kImaBlock);
}

TEST_F(ImaStream, NothingIsTakenAfterTheFlush)
{
    ASSERT_TRUE(stream->convert(source, destination, true).ok);
    const ConversionResult late = stream->convert(source, destination, false);
    EXPECT_FALSE(late.ok);
    EXPECT_EQ(late.sourceUsed, 0u);
}

TEST_F(ImaStream, ADestinationSmallerThanPromisedTakesNothing)
{
    std::vector<std::uint8_t> small(stream->destinationSize(kBlockBytes) - 1);
    const ConversionResult refused = stream->convert(source, small, false);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.sourceUsed, 0u);
    // The source was not taken, so the next call converts it as the first.
    const ConversionResult next = stream->convert(source, destination, false);
    ASSERT_TRUE(next.ok);
    EXPECT_EQ(next.destinationUsed, kImaBlock);
}

TEST(CodecStreamRecords, ARecordNoEncoderWritesIsRefusedWithAReason)
{
    WaveFormat odd = imaAdpcmFormat(44100, 2);
    odd.blockAlign = 1000; // the samples-per-block field no longer matches
    QString error;
    EXPECT_FALSE(openConversionStream(WaveFormat::pcm(44100, 2, 16), odd, &error));
    EXPECT_FALSE(error.isEmpty());

    WaveFormat gsmStereo = gsm610Format();
    gsmStereo.channels = 2;
    error.clear();
    EXPECT_FALSE(openConversionStream(WaveFormat::pcm(8000, 2, 16), gsmStereo, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(CodecStreamRecords, TheEncoderRefusesToOpenARecordNoEncoderWrites)
{
    QTemporaryDir dir;
    WaveFormat odd = msAdpcmFormat(22050, 1);
    odd.extra[0] = 0x10; // samples per block that the block cannot hold
    EncoderWAV encoder;
    encoder.SetFormat(odd.toBytes());
    EXPECT_EQ(encoder.Encoder_EncoderInit(22050, 1, dir.filePath(QStringLiteral("x.wav"))), 7);
    EXPECT_FALSE(encoder.isOpen());
}

TEST(EncoderFlush, CloseWritesTheBlockTheConverterHeld)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ima.wav"));
    const WaveFormat format = imaAdpcmFormat(44100, 2);
    EncoderWAV encoder;
    encoder.SetFormat(format.toBytes());
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path), 0);
    const auto source = toneBytes(44100, 2, 2560);
    for (int i = 0; i < 3; ++i) {
        std::int32_t used = 0;
        ASSERT_EQ(encoder.Encoder_Encode(source.data(), static_cast<std::int32_t>(source.size()), used), 0);
    }
    const qint64 header = 28 + static_cast<qint64>(format.byteSize());
    EXPECT_EQ(QFileInfo(path).size(), header + 3 * 2048);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    const QByteArray file = readFileBytes(path);
    EXPECT_EQ(file.size(), header + 4 * 2048);
    EXPECT_EQ(le32At(file, 24 + static_cast<int>(format.byteSize())), 4u * 2048);
}

TEST(EncoderFlush, CloseGivesUpWhatTheMp3EncoderStillHolds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mp3.wav"));
    EncoderWAV encoder;
    encoder.SetFormat(mpegLayer3Format(44100, 2, 128).toBytes());
    ASSERT_EQ(encoder.Encoder_EncoderInit(44100, 2, path), 0);
    const auto source = toneBytes(44100, 2, 2560);
    std::int32_t used = 0;
    ASSERT_EQ(encoder.Encoder_Encode(source.data(), static_cast<std::int32_t>(source.size()), used), 0);
    const qint64 whileOpen = QFileInfo(path).size();
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_GT(QFileInfo(path).size(), whileOpen);
    ASSERT_TRUE(haveTool(QStringLiteral("ffmpeg")));
    // All 2560 frames come back, behind the codec's delay.
    EXPECT_GE(decodeWithFfmpeg(path).size() / 2, 2560u);
}

} // namespace

namespace {

// The encoder takes blocks of up to one second; the destination it sizes must hold what any
// codec makes of one, also with what the codec held back from the block before.
TEST(EncoderWithCodecs, OneSecondBlocksFitEveryListedCodec)
{
    for (const std::uint32_t rate : {8000u, 22050u, 44100u, 48000u})
        for (const std::uint16_t channels : {1, 2}) {
            const WaveFormat capture = WaveFormat::pcm(rate, channels, 16);
            const auto second = toneBytes(static_cast<int>(rate), channels, static_cast<int>(rate));
            for (const OutputFormatChoice &choice : reachableOutputFormats(capture)) {
                if (WaveFormat::fromBytes(choice.record)->isPcm())
                    continue;
                QTemporaryDir dir;
                EncoderWAV encoder;
                encoder.SetFormat(choice.record);
                const std::string what = choice.tagName.toStdString() + " " + choice.description.toStdString();
                ASSERT_EQ(encoder.Encoder_EncoderInit(static_cast<std::int32_t>(rate), static_cast<std::int16_t>(channels),
                                                      dir.filePath(QStringLiteral("s.wav"))), 0) << what;
                for (int i = 0; i < 2; ++i) {
                    std::int32_t used = 0;
                    EXPECT_EQ(encoder.Encoder_Encode(second.data(), static_cast<std::int32_t>(second.size()), used), 0)
                        << what;
                    EXPECT_EQ(used, static_cast<std::int32_t>(second.size())) << what;
                }
                EXPECT_EQ(encoder.Encoder_EncoderClose(), 0) << what;
            }
        }
}

} // namespace
