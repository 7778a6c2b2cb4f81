// Recordings in every compressed format, made through the encoder and checked with ffprobe
// and ffmpeg: the "fmt " chunk other programs read, the sizes in the header, the codec, the
// duration and how much of the tone survives.
#include "platform/acm/output_formats.h"

#include "../support/tools.h"
#include "tone_measure.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

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

class CodecRecording : public ::testing::TestWithParam<CodecCase> {};

// Two seconds of the tone: the header, then what ffprobe and ffmpeg make of the file.
TEST_P(CodecRecording, WritesTheRecordAndAToneOtherProgramsDecode)
{
    const CodecCase &codec = GetParam();
    const WaveFormat &format = codec.format;
    const auto rate = static_cast<int>(format.samplesPerSec);
    const int sourceFrames = 2 * rate;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    recordTone(format, path, sourceFrames);

    // The "fmt " chunk is the record with its extra bytes; the sizes match the closed file.
    const QByteArray file = readFileBytes(path);
    const auto F = static_cast<int>(format.byteSize());
    ASSERT_GE(file.size(), 28 + F);
    EXPECT_EQ(file.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32At(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    EXPECT_EQ(le32At(file, 16), 18 + format.extra.size());
    const std::vector<std::uint8_t> expected = format.toBytes();
    EXPECT_EQ(file.mid(20, F), QByteArray(reinterpret_cast<const char *>(expected.data()), F));
    EXPECT_EQ(file.mid(20 + F, 4), QByteArray("data"));
    const std::uint32_t data = le32At(file, 24 + F);
    EXPECT_EQ(data, static_cast<std::uint32_t>(file.size() - 28 - F));
    EXPECT_EQ(data % format.blockAlign, 0u); // the codec writes whole blocks only

    ASSERT_TRUE(haveTool(QStringLiteral("ffprobe")));
    EXPECT_EQ(ffprobeCodec(path), QLatin1String(codec.ffmpegCodec));
    const MediaInfo info = ffprobeInfo(path);
    EXPECT_EQ(info.rateHz, rate);
    EXPECT_EQ(info.channels, format.channels);

    ASSERT_TRUE(haveTool(QStringLiteral("ffmpeg")));
    const auto decoded = decodeWithFfmpeg(path);
    const int channels = format.channels;
    const auto frames = static_cast<int>(decoded.size() / channels);
    EXPECT_LE(frames, sourceFrames + codec.lengthSlackFrames);
    ASSERT_GE(frames, sourceFrames);
    for (int c = 0; c < channels; ++c) {
        const ToneFit fit = fitTone(decoded, channels, c, rate, 440 * (1 + c / 2.0),
                                    static_cast<std::size_t>(sourceFrames / 10),
                                    static_cast<std::size_t>(sourceFrames * 9 / 10));
        EXPECT_GT(fit.snrDb, codec.snrFloorDb) << "channel " << c;
        // Within 1.5 dB of the recorded level.
        EXPECT_NEAR(20 * std::log10(fit.amplitude / 12000), 0.0, 1.5) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCodec, CodecRecording, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CodecCase> &run) { return std::string(run.param.name); });

} // namespace
