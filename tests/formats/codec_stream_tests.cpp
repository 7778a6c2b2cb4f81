// The compressed conversion stream on its own and inside the encoder: whole output blocks per
// call, the rest of the input kept for the next call, the tail given up at the flush, and
// records that no codec here writes refused with a reason.
#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"
#include "recording/encoder_wav.h"

#include "../support/tools.h"
#include "tone_measure.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBlockBytes = 10240;
// 2041 samples per channel in each 2048-byte block of IMA ADPCM at 44100 Hz stereo.
constexpr std::size_t kImaBlock = 2048;

TEST(ImaStream, GivesWholeBlocksPerCallPadsTheRestAtTheFlushThenTakesNothing)
{
    QString error;
    const auto stream = valueOr(openConversionStream(WaveFormat::pcm(44100, 2, 16), imaAdpcmFormat(44100, 2)), error);
    ASSERT_TRUE(stream) << error.toStdString();
    const std::vector<std::uint8_t> source = toneBytes(44100, 2, 2560);
    std::vector<std::uint8_t> destination(stream->destinationSize(kBlockBytes));
    // A destination smaller than promised takes nothing, so the next call converts the source as the first.
    std::vector<std::uint8_t> small(destination.size() - 1);
    const ConversionResult refused = stream->convert(source, small, false);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.sourceUsed, 0u);
    std::size_t blocks = 0;
    for (std::size_t call = 1; call <= 8; ++call) {
        const ConversionResult result = stream->convert(source, destination, false);
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.sourceUsed, kBlockBytes);
        EXPECT_EQ(result.destinationUsed % kImaBlock, 0u);
        blocks += result.destinationUsed / kImaBlock;
        // Every whole block of what came in so far is out; the rest waits in the stream.
        EXPECT_EQ(blocks, call * 2560 / 2041) << "after call " << call;
    }
    const ConversionResult tail = stream->convert({}, destination, true);
    ASSERT_TRUE(tail.ok);
    EXPECT_EQ(tail.sourceUsed, 0u);
    EXPECT_EQ(tail.destinationUsed, kImaBlock);
    const ConversionResult late = stream->convert(source, destination, false);
    EXPECT_FALSE(late.ok);
    EXPECT_EQ(late.sourceUsed, 0u);
}

TEST(CodecStreamRecords, ARecordNoEncoderWritesIsRefusedWithAReason)
{
    WaveFormat odd = imaAdpcmFormat(44100, 2);
    odd.blockAlign = 1000; // the samples-per-block field no longer matches
    WaveFormat gsmStereo = gsm610Format();
    gsmStereo.channels = 2;
    for (const WaveFormat &record : {odd, gsmStereo}) {
        QString error;
        EXPECT_FALSE(valueOr(openConversionStream(WaveFormat::pcm(record.samplesPerSec, 2, 16), record), error));
        EXPECT_FALSE(error.isEmpty()) << record.formatTag;
    }
    // The encoder refuses to open one with error 7.
    WaveFormat msOdd = msAdpcmFormat(22050, 1);
    msOdd.extra[0] = 0x10; // samples per block that the block cannot hold
    QTemporaryDir dir;
    EncoderWAV encoder;
    encoder.SetFormat(msOdd.toBytes());
    EXPECT_EQ(encoder.Encoder_EncoderInit(22050, 1, dir.filePath(QStringLiteral("x.wav"))), 7);
    EXPECT_FALSE(encoder.isOpen());
}

} // namespace

TEST(ConversionStream, AFailedConversionSaysWhyInFrenchAndFfmpegPrintsNothing)
{
    // stderr goes to a file while the resampler refuses a rate it cannot take.
    QTemporaryDir dir;
    const QByteArray log = QFile::encodeName(dir.filePath("stderr.txt"));
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int file = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDERR_FILENO);
    QString error;
    const auto stream = valueOr(openConversionStream(WaveFormat::pcm(2147483647, 2, 16), WaveFormat::pcm(44100, 2, 16)), error);
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(file);
    EXPECT_FALSE(stream);
    EXPECT_EQ(error, QStringLiteral("Le convertisseur PCM n'a pas pu être ouvert."));
    EXPECT_EQ(readFileBytes(dir.filePath("stderr.txt")), QByteArray());
}
