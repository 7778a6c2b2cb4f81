// The list of output formats: what a capture format reaches, how the formats are described
// and named, and that every listed format really opens a conversion from the capture format.
#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"

#include "tone_measure.h"

#include <QLocale>
#include <QTemporaryDir>

#include "../support/tools.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace {

const std::uint32_t kCaptureRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

WaveFormat recordOf(const OutputFormatChoice &choice)
{
    return *WaveFormat::fromBytes(choice.record);
}

// Every listed format opens a conversion from its capture format. The encoder takes blocks of
// up to one second; the destination it sizes must hold what any codec makes of one, also with
// what the codec held back from the block before.
TEST(OutputFormats, EveryListedFormatOpensAConversionAndCodecsTakeOneSecondBlocks)
{
    for (const std::uint32_t rate : kCaptureRates)
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
    const std::set<std::uint16_t> codecs = {formattags::kMsAdpcm, formattags::kALaw, formattags::kMuLaw,
                                            formattags::kImaAdpcm, formattags::kMpegLayer3};
    std::set<std::uint16_t> withGsm = codecs;
    withGsm.insert(formattags::kGsm610);
    const struct {
        WaveFormat capture;
        std::set<std::uint16_t> tags;
    } cases[] = {{WaveFormat::pcm(22050, 1, 16), codecs},        {WaveFormat::pcm(8000, 1, 16), withGsm},
                 {WaveFormat::pcm(8000, 2, 16), codecs},         {WaveFormat::pcm(11025, 1, 16), codecs},
                 {WaveFormat::pcm(44100, 2, 8), {}},             {WaveFormat::pcm(44100, 3, 16), {}},
                 {imaAdpcmFormat(44100, 2), {}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.capture.samplesPerSec << " Hz x" << c.capture.channels << " "
                                        << c.capture.bitsPerSample << " bit, tag " << c.capture.formatTag);
        const auto choices = reachableOutputFormats(c.capture);
        EXPECT_EQ(choices.empty(), c.tags.empty());
        std::set<std::uint16_t> tags;
        for (const OutputFormatChoice &choice : choices) {
            const WaveFormat format = recordOf(choice);
            if (format.isPcm())
                continue;
            tags.insert(format.formatTag);
            EXPECT_EQ(format.samplesPerSec, c.capture.samplesPerSec) << choice.description.toStdString();
            EXPECT_EQ(format.channels, c.capture.channels) << choice.description.toStdString();
        }
        EXPECT_EQ(tags, c.tags);
    }
}

TEST(OutputFormats, PcmIsOfferedAtEveryRateDepthAndChannelCount)
{
    std::set<std::tuple<std::uint16_t, std::uint32_t, std::uint16_t, std::uint16_t>> pcm;
    for (const OutputFormatChoice &choice : reachableOutputFormats(WaveFormat::pcm(8000, 1, 16))) {
        const WaveFormat format = recordOf(choice);
        if (format.isPcm())
            pcm.insert({format.formatTag, format.samplesPerSec, format.bitsPerSample, format.channels});
    }
    EXPECT_EQ(pcm.size(), 7u * 4 * 2);
    EXPECT_TRUE(pcm.count({formattags::kIeeeFloat, 48000, 32, 2}));
    EXPECT_TRUE(pcm.count({formattags::kPcm, 11025, 24, 1}));
}

TEST(OutputFormats, DescriptionsShowTheRateInKilohertzWithTheUsersSeparatorAndTagsThePlatformsNames)
{
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(formatDescription(imaAdpcmFormat(22050, 1)), QStringLiteral("22,050 kHz; 4 Bit; Mono"));
    EXPECT_EQ(formatDescription(WaveFormat::pcm(44100, 2, 16)), QStringLiteral("44,100 kHz; 16 Bit; Stereo"));
    EXPECT_EQ(formatDescription(gsm610Format()), QStringLiteral("8,000 kHz; Mono"));
    EXPECT_EQ(formatDescription(mpegLayer3Format(44100, 2, 128)), QStringLiteral("44,100 kHz; 128 kBit/s; Stereo"));
    QLocale::setDefault(QLocale::c());
    const std::pair<std::uint16_t, const char *> names[] = {
        {formattags::kPcm, "PCM"},           {formattags::kImaAdpcm, "IMA ADPCM"}, {formattags::kMsAdpcm, "Microsoft ADPCM"},
        {formattags::kALaw, "CCITT A-Law"},  {formattags::kMuLaw, "CCITT u-Law"},  {formattags::kGsm610, "GSM 6.10"},
        {formattags::kMpegLayer3, "MPEG Layer-3"}};
    for (const auto &[tag, name] : names)
        EXPECT_EQ(formatTagName(tag), QLatin1String(name)) << tag;
}

} // namespace
