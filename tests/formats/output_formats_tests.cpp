// The list of output formats: what a capture format reaches, how the formats are described
// and named, and that every listed format really opens a conversion from the capture format.
#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <set>

namespace {

const std::uint32_t kCaptureRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

WaveFormat recordOf(const OutputFormatChoice &choice)
{
    return *WaveFormat::fromBytes(choice.record);
}

class FrenchLocale : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST(OutputFormats, EveryListedFormatOpensAConversionFromItsCaptureFormat)
{
    for (const std::uint32_t rate : kCaptureRates)
        for (const std::uint16_t channels : {1, 2}) {
            const WaveFormat capture = WaveFormat::pcm(rate, channels, 16);
            for (const OutputFormatChoice &choice : reachableOutputFormats(capture)) {
                QString error;
                EXPECT_TRUE(openConversionStream(capture, recordOf(choice), &error))
                    << rate << " Hz x" << channels << " -> " << choice.tagName.toStdString() << " "
                    << choice.description.toStdString() << ": " << error.toStdString();
            }
        }
}

TEST(OutputFormats, CodecsAreOfferedOnlyAtTheCaptureRateAndChannels)
{
    const WaveFormat capture = WaveFormat::pcm(22050, 1, 16);
    std::set<std::uint16_t> codecTags;
    for (const OutputFormatChoice &choice : reachableOutputFormats(capture)) {
        const WaveFormat format = recordOf(choice);
        if (format.isPcm())
            continue;
        codecTags.insert(format.formatTag);
        EXPECT_EQ(format.samplesPerSec, 22050u) << choice.description.toStdString();
        EXPECT_EQ(format.channels, 1) << choice.description.toStdString();
    }
    const std::set<std::uint16_t> expected = {formattags::kMsAdpcm, formattags::kALaw, formattags::kMuLaw,
                                              formattags::kImaAdpcm, formattags::kMpegLayer3};
    EXPECT_EQ(codecTags, expected); // no GSM: it records 8000 Hz mono only
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

TEST(OutputFormats, GsmIsOfferedForEightKilohertzMonoAlone)
{
    const auto hasGsm = [](const WaveFormat &capture) {
        for (const OutputFormatChoice &choice : reachableOutputFormats(capture))
            if (choice.formatTag() == formattags::kGsm610)
                return true;
        return false;
    };
    EXPECT_TRUE(hasGsm(WaveFormat::pcm(8000, 1, 16)));
    EXPECT_FALSE(hasGsm(WaveFormat::pcm(8000, 2, 16)));
    EXPECT_FALSE(hasGsm(WaveFormat::pcm(11025, 1, 16)));
}

TEST(OutputFormats, NothingIsReachableFromAFormatOtherThanSixteenBitPcm)
{
    EXPECT_TRUE(reachableOutputFormats(WaveFormat::pcm(44100, 2, 8)).empty());
    EXPECT_TRUE(reachableOutputFormats(WaveFormat::pcm(44100, 3, 16)).empty());
    EXPECT_TRUE(reachableOutputFormats(imaAdpcmFormat(44100, 2)).empty());
}

TEST_F(FrenchLocale, DescriptionsShowTheRateInKilohertzWithTheUsersSeparator)
{
    EXPECT_EQ(formatDescription(imaAdpcmFormat(22050, 1)), QStringLiteral("22,050 kHz; 4 Bit; Mono"));
    EXPECT_EQ(formatDescription(WaveFormat::pcm(44100, 2, 16)), QStringLiteral("44,100 kHz; 16 Bit; Stereo"));
    EXPECT_EQ(formatDescription(gsm610Format()), QStringLiteral("8,000 kHz; Mono"));
    EXPECT_EQ(formatDescription(mpegLayer3Format(44100, 2, 128)), QStringLiteral("44,100 kHz; 128 kBit/s; Stereo"));
}

TEST(OutputFormats, TagsCarryThePlatformsNames)
{
    EXPECT_EQ(formatTagName(formattags::kPcm), QStringLiteral("PCM"));
    EXPECT_EQ(formatTagName(formattags::kImaAdpcm), QStringLiteral("IMA ADPCM"));
    EXPECT_EQ(formatTagName(formattags::kMsAdpcm), QStringLiteral("Microsoft ADPCM"));
    EXPECT_EQ(formatTagName(formattags::kALaw), QStringLiteral("CCITT A-Law"));
    EXPECT_EQ(formatTagName(formattags::kMuLaw), QStringLiteral("CCITT u-Law"));
    EXPECT_EQ(formatTagName(formattags::kGsm610), QStringLiteral("GSM 6.10"));
    EXPECT_EQ(formatTagName(formattags::kMpegLayer3), QStringLiteral("MPEG Layer-3"));
}

TEST(OutputFormatRecords, AdpcmBlocksGrowWithTheRateAsThePlatformsCodecsDo)
{
    EXPECT_EQ(imaAdpcmFormat(11025, 1).blockAlign, 256);
    EXPECT_EQ(imaAdpcmFormat(22050, 1).blockAlign, 512);
    EXPECT_EQ(imaAdpcmFormat(44100, 2).blockAlign, 2048);
    const WaveFormat ima = imaAdpcmFormat(22050, 1);
    ASSERT_EQ(ima.extra.size(), 2u);
    EXPECT_EQ(le::get16(ima.extra.data()), 1017); // 4 header bytes, then 1016 nibbles, + 1
    EXPECT_EQ(ima.avgBytesPerSec, 22050u * 512 / 1017);
    const WaveFormat ms = msAdpcmFormat(8000, 1);
    ASSERT_EQ(ms.extra.size(), 32u);
    EXPECT_EQ(le::get16(ms.extra.data()), 500);
}

TEST(OutputFormatRecords, MpegLayer3RecordCarriesItsFrameLayout)
{
    const WaveFormat mp3 = mpegLayer3Format(48000, 2, 128);
    ASSERT_EQ(mp3.extra.size(), 12u);
    EXPECT_EQ(mp3.avgBytesPerSec, 16000u);
    EXPECT_EQ(mp3.blockAlign, 1);
    EXPECT_EQ(le::get16(mp3.extra.data()), 1);      // MPEG
    EXPECT_EQ(le::get32(mp3.extra.data() + 2), 2u); // 384-byte frames: no padding
    EXPECT_EQ(le::get16(mp3.extra.data() + 6), 384);
    EXPECT_EQ(le::get16(mp3.extra.data() + 8), 1);
    EXPECT_EQ(le::get16(mp3.extra.data() + 10), 1393);
    // 44100 Hz frames are 417 or 418 bytes: padding as the standard has it.
    const WaveFormat padded = mpegLayer3Format(44100, 2, 128);
    EXPECT_EQ(le::get32(padded.extra.data() + 2), 0u);
    EXPECT_EQ(le::get16(padded.extra.data() + 6), 417);
}

TEST(OutputFormatRecords, G711IsOneByteASampleWithNoExtraBytes)
{
    const WaveFormat alaw = g711Format(formattags::kALaw, 16000, 2);
    EXPECT_EQ(alaw.blockAlign, 2);
    EXPECT_EQ(alaw.bitsPerSample, 8);
    EXPECT_EQ(alaw.avgBytesPerSec, 32000u);
    EXPECT_EQ(alaw.byteSize(), 18u);
}

} // namespace
