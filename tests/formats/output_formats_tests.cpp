// The list of output formats: what a capture format reaches, and that every listed format
// really opens a conversion from the capture format.
#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"

#include "tone_measure.h"

#include <QTemporaryDir>


#include <gtest/gtest.h>

#include <set>

namespace {

WaveFormat recordOf(const OutputFormatChoice &choice) { return *WaveFormat::fromBytes(choice.record); }

// Every listed format opens a conversion from its capture format. The encoder takes blocks of
// up to one second; the destination it sizes must hold what any codec makes of one, also with
// what the codec held back from the block before.
TEST(OutputFormats, EveryListedFormatOpensAConversionAndCodecsTakeOneSecondBlocks)
{
    for (const std::uint32_t rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000})
        for (const std::uint16_t channels : {1, 2}) {
            const WaveFormat capture = WaveFormat::pcm(rate, channels, 16);
            for (const OutputFormatChoice &choice : reachableOutputFormats(capture)) {
                SCOPED_TRACE(::testing::Message() << rate << " Hz x" << channels << " -> " << choice.tagName.toStdString()
                                                  << " " << choice.description.toStdString());
                QString error;
                EXPECT_TRUE(valueOr(openConversionStream(capture, recordOf(choice)), error)) << error.toStdString();
                if (recordOf(choice).isPcm())
                    continue;
                QTemporaryDir dir;
                recordTone(recordOf(choice), dir.filePath(QStringLiteral("s.wav")), 2 * static_cast<int>(rate),
                           2u * rate * channels);
            }
        }
}

// Codecs come at the capture rate and channels alone; GSM records 8000 Hz mono only; nothing
// is reachable from anything but 16-bit PCM of one or two channels.
TEST(OutputFormats, CodecsAreOfferedOnlyAtTheCaptureRateAndChannels)
{
    for (const WaveFormat &capture : {WaveFormat::pcm(22050, 2, 16), WaveFormat::pcm(8000, 1, 16)}) {
        std::set<std::uint16_t> tags;
        for (const OutputFormatChoice &choice : reachableOutputFormats(capture)) {
            const WaveFormat format = recordOf(choice);
            if (format.isPcm())
                continue;
            tags.insert(format.formatTag);
            EXPECT_TRUE(format.samplesPerSec == capture.samplesPerSec && format.channels == capture.channels)
                << choice.description.toStdString();
        }
        std::set<std::uint16_t> expected = {formattags::kMsAdpcm, formattags::kALaw, formattags::kMuLaw,
                                            formattags::kImaAdpcm, formattags::kMpegLayer3};
        if (capture.samplesPerSec == 8000)
            expected.insert(formattags::kGsm610);
        EXPECT_EQ(tags, expected) << capture.samplesPerSec;
    }
    EXPECT_TRUE(reachableOutputFormats(WaveFormat::pcm(44100, 3, 16)).empty());
    EXPECT_TRUE(reachableOutputFormats(imaAdpcmFormat(44100, 2)).empty());
}

} // namespace
