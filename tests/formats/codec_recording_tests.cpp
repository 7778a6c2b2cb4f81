// Recordings in every compressed format, made through the encoder and checked with ffprobe
// and ffmpeg: the "fmt " chunk other programs read, the sizes in the header, the codec, the
// duration and how much of the tone survives.
#include "recording/encoder_wav.h"

#include "platform/acm/output_formats.h"

#include "../support/tools.h"
#include "tone_measure.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kToneHz = 440;
constexpr double kToneAmplitude = 12000;
constexpr int kBlockBytes = 10240;

struct CodecCase {
    const char *name;
    WaveFormat format;
    const char *ffmpegCodec;
    // Floor of the tone's signal-to-noise ratio after the round trip, in dB.
    double snrFloorDb;
    // Samples per channel that the decoded file may hold beyond the source: the padding of
    // the last block; for MPEG Layer-3 also the codec delay its record announces (1393) and
    // the one frame LAME may add when it empties its look-ahead.
    int lengthSlackFrames;
};

// Floors, from what each codec does with a steady 440 Hz tone at 12000 of 32767 (measured here
// 2 s at a time: A-law/u-law 37.7-38.0 dB, IMA ADPCM 30.2 at 8000 Hz to 45.9 at 44100 Hz, MS
// ADPCM 32.2-44.7, GSM 6.10 32.5, MPEG Layer-3 71-80), each set a few dB under the codec's
// worst case so that a wrong block layout, a lost block or a shifted channel fails it:
// - A-law and u-law quantise logarithmically to 8 bits, about 38 dB at any level; floor 33.
// - IMA and Microsoft ADPCM code each step in 4 bits; the error grows as the tone's steps
//   between samples grow, so 8000 Hz is their worst case; floor 25.
// - GSM 6.10 is a speech vocoder; its long-term predictor locks onto a steady tone, but the
//   residual is coarse; floor 25.
// - MPEG Layer-3 spends its bits on the one tone it hears, even at 16 kbit/s; floor 50.
const CodecCase kCases[] = {
    {"ImaAdpcm44100Stereo", imaAdpcmFormat(44100, 2), "adpcm_ima_wav", 25, 2041},
    {"ImaAdpcm8000Mono", imaAdpcmFormat(8000, 1), "adpcm_ima_wav", 25, 505},
    {"ImaAdpcm22050Mono", imaAdpcmFormat(22050, 1), "adpcm_ima_wav", 25, 1017},
    {"MsAdpcm44100Stereo", msAdpcmFormat(44100, 2), "adpcm_ms", 25, 2036},
    {"MsAdpcm11025Mono", msAdpcmFormat(11025, 1), "adpcm_ms", 25, 500},
    {"ALaw44100Stereo", g711Format(formattags::kALaw, 44100, 2), "pcm_alaw", 33, 0},
    {"ALaw8000Mono", g711Format(formattags::kALaw, 8000, 1), "pcm_alaw", 33, 0},
    {"MuLaw22050Stereo", g711Format(formattags::kMuLaw, 22050, 2), "pcm_mulaw", 33, 0},
    {"Gsm8000Mono", gsm610Format(), "gsm_ms", 25, 320},
    {"MpegLayer3At44100Stereo128", mpegLayer3Format(44100, 2, 128), "mp3", 50, 1152 + 1393 + 1152},
    {"MpegLayer3At22050Mono64", mpegLayer3Format(22050, 1, 64), "mp3", 50, 576 + 1393 + 1152},
    {"MpegLayer3At8000Mono16", mpegLayer3Format(8000, 1, 16), "mp3", 50, 576 + 1393 + 1152},
};

class CodecRecording : public ::testing::TestWithParam<CodecCase> {
protected:
    // Records two seconds of the tone in capture blocks of 10240 bytes (the last one shorter).
    QString record(const WaveFormat &format)
    {
        const QString path = dir.filePath(QStringLiteral("tone.wav"));
        EncoderWAV encoder;
        encoder.SetFormat(format.toBytes(), formatDescription(format), formatTagName(format.formatTag));
        const int rate = static_cast<int>(format.samplesPerSec);
        sourceFrames = 2 * rate;
        const auto tone = makeTones(kToneHz, rate, format.channels, sourceFrames, kToneAmplitude);
        EXPECT_EQ(encoder.Encoder_EncoderInit(rate, static_cast<std::int16_t>(format.channels), path), 0);
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(tone.data());
        const std::size_t total = tone.size() * 2;
        for (std::size_t at = 0; at < total; at += kBlockBytes) {
            const auto length = static_cast<std::int32_t>(std::min<std::size_t>(kBlockBytes, total - at));
            std::int32_t used = -1;
            EXPECT_EQ(encoder.Encoder_Encode(bytes + at, length, used), 0);
            EXPECT_EQ(used, length);
        }
        EXPECT_EQ(encoder.Encoder_EncoderClose(), 0);
        return path;
    }

    QTemporaryDir dir;
    int sourceFrames = 0;
};

TEST_P(CodecRecording, FormatChunkIsTheRecordWithItsExtraBytes)
{
    const WaveFormat &format = GetParam().format;
    const QByteArray file = readFileBytes(record(format));
    const auto F = static_cast<int>(format.byteSize());
    ASSERT_GE(file.size(), 28 + F);
    EXPECT_EQ(le32At(file, 16), 18 + format.extra.size());
    const std::vector<std::uint8_t> expected = format.toBytes();
    EXPECT_EQ(file.mid(20, F), QByteArray(reinterpret_cast<const char *>(expected.data()), F));
    EXPECT_EQ(file.mid(20 + F, 4), QByteArray("data"));
}

TEST_P(CodecRecording, HeaderSizesMatchTheClosedFile)
{
    const WaveFormat &format = GetParam().format;
    const QByteArray file = readFileBytes(record(format));
    const auto F = static_cast<int>(format.byteSize());
    ASSERT_GE(file.size(), 28 + F);
    EXPECT_EQ(file.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32At(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    const std::uint32_t data = le32At(file, 24 + F);
    EXPECT_EQ(data, static_cast<std::uint32_t>(file.size() - 28 - F));
    // The codec writes whole blocks only.
    if (format.blockAlign > 1) {
        EXPECT_EQ(data % format.blockAlign, 0u);
    }
}

TEST_P(CodecRecording, FfprobeSeesTheCodecRateAndChannels)
{
    const WaveFormat &format = GetParam().format;
    ASSERT_TRUE(haveTool(QStringLiteral("ffprobe")));
    const ProbedStream stream = probeStream(record(format));
    EXPECT_EQ(stream.codecName, QLatin1String(GetParam().ffmpegCodec));
    EXPECT_EQ(stream.rateHz, static_cast<int>(format.samplesPerSec));
    EXPECT_EQ(stream.channels, format.channels);
}

TEST_P(CodecRecording, FfmpegDecodesTheWholeToneWithItsLevel)
{
    const CodecCase &codec = GetParam();
    const WaveFormat &format = codec.format;
    ASSERT_TRUE(haveTool(QStringLiteral("ffmpeg")));
    const auto decoded = decodeWithFfmpeg(record(format));
    const int channels = format.channels;
    const auto frames = static_cast<int>(decoded.size() / channels);
    EXPECT_GE(frames, sourceFrames);
    EXPECT_LE(frames, sourceFrames + codec.lengthSlackFrames);
    ASSERT_GE(frames, sourceFrames);

    const auto rate = static_cast<int>(format.samplesPerSec);
    for (int c = 0; c < channels; ++c) {
        const ToneFit fit = fitTone(decoded, channels, c, rate, kToneHz * (1 + c / 2.0),
                                    static_cast<std::size_t>(sourceFrames / 10),
                                    static_cast<std::size_t>(sourceFrames * 9 / 10));
        EXPECT_GT(fit.snrDb, codec.snrFloorDb) << "channel " << c;
        // Within 1.5 dB of the recorded level.
        EXPECT_NEAR(20 * std::log10(fit.amplitude / kToneAmplitude), 0.0, 1.5) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCodec, CodecRecording, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CodecCase> &info) { return std::string(info.param.name); });

TEST(CodecRecordingLayout, MicrosoftAdpcmHasA50ByteFormatChunkAndDataAt78)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ms.wav"));
    EncoderWAV encoder;
    const WaveFormat format = msAdpcmFormat(22050, 2);
    encoder.SetFormat(format.toBytes());
    ASSERT_EQ(encoder.Encoder_EncoderInit(22050, 2, path), 0);
    const auto tone = makeTones(kToneHz, 22050, 2, 2560, kToneAmplitude);
    std::int32_t used = 0;
    ASSERT_EQ(encoder.Encoder_Encode(tone.data(), kBlockBytes, used), 0);
    ASSERT_EQ(encoder.Encoder_EncoderClose(), 0);

    const QByteArray file = readFileBytes(path);
    EXPECT_EQ(le32At(file, 16), 50u);
    EXPECT_EQ(le16At(file, 36), 32u); // extra size
    EXPECT_EQ(le16At(file, 40), 7u);  // coefficient pairs
    // The seven pairs, as decoders index them.
    const std::int16_t pairs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(static_cast<std::int16_t>(le16At(file, 42 + 4 * i)), pairs[i][0]) << i;
        EXPECT_EQ(static_cast<std::int16_t>(le16At(file, 44 + 4 * i)), pairs[i][1]) << i;
    }
    EXPECT_EQ(file.mid(70, 4), QByteArray("data"));
    EXPECT_EQ(le32At(file, 74), static_cast<std::uint32_t>(file.size() - 78));
}

} // namespace
