// The compressed conversion stream: whole output blocks per call, the rest kept for the next
// call, the tail given up at the flush, and records no codec here writes refused.
#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"
#include "recording/encoder_wav.h"

#include "tone_measure.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr std::size_t kBlockBytes = 10240, kImaBlock = 2048; // 2041 frames per IMA block

TEST(ImaStream, GivesWholeBlocksPerCallPadsTheRestAtTheFlushThenTakesNothing)
{
    QString error;
    const auto stream = valueOr(openConversionStream(WaveFormat::pcm(44100, 2, 16), imaAdpcmFormat(44100, 2)), error);
    ASSERT_TRUE(stream) << error.toStdString();
    const std::vector<std::uint8_t> source = toneBytes(44100, 2, 2560);
    std::vector<std::uint8_t> destination(stream->destinationSize(kBlockBytes));
    std::vector<std::uint8_t> small(destination.size() - 1); // smaller than promised: takes nothing
    const auto takesNothing = [](const ConversionResult &result) { return !result.ok && result.sourceUsed == 0; };
    EXPECT_TRUE(takesNothing(stream->convert(source, small, false)));
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
    EXPECT_TRUE(tail.ok && tail.sourceUsed == 0 && tail.destinationUsed == kImaBlock);
    EXPECT_TRUE(takesNothing(stream->convert(source, destination, false))); // after the flush
}

TEST(CodecStreamRecords, ARecordNoEncoderWritesIsRefusedWithAReasonAndTheEncoderDoesNotOpen)
{
    WaveFormat odd = imaAdpcmFormat(44100, 2);
    odd.blockAlign = 1000; // the samples-per-block field no longer matches
    WaveFormat gsmStereo = gsm610Format();
    gsmStereo.channels = 2;
    QTemporaryDir dir;
    for (const WaveFormat &record : {odd, gsmStereo}) {
        QString error;
        EXPECT_FALSE(valueOr(openConversionStream(WaveFormat::pcm(record.samplesPerSec, record.channels, 16), record), error));
        EXPECT_FALSE(error.isEmpty()) << record.formatTag;
        EncoderWAV encoder;
        encoder.SetFormat(record.toBytes());
        EXPECT_EQ(encoder.Encoder_EncoderInit(static_cast<std::int32_t>(record.samplesPerSec), static_cast<std::int16_t>(record.channels), dir.filePath("x.wav")), 7);
    }
}

} // namespace
