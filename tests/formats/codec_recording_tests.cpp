// Recordings in every compressed format, made through the encoder and checked with ffprobe and
// ffmpeg: the sizes in the header, the codec, the duration and how much of the tone survives.
#include "platform/acm/output_formats.h"

#include "tone_measure.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct CodecCase {
    const char *name;
    WaveFormat format;
    const char *ffmpegCodec;
    double snrFloorDb; // of the tone's signal-to-noise ratio after the round trip
    // Frames the decoded file may hold beyond the source: the last block's padding; for MPEG
    // Layer-3 also the announced codec delay (1393) and the frame LAME adds at its flush.
    int lengthSlackFrames;
};

// Floors a few dB under what each codec makes of a steady 440 Hz tone at 12000 (A-law/u-law
// about 38 dB, ADPCM 30-46, GSM 32, MPEG Layer-3 71-80): a wrong block layout, a lost block or a
// shifted channel fails them.
const CodecCase kCases[] = {
    {"ImaAdpcm44100Stereo", imaAdpcmFormat(44100, 2), "adpcm_ima_wav", 25, 2041},
    {"ImaAdpcm8000Mono", imaAdpcmFormat(8000, 1), "adpcm_ima_wav", 25, 505},
    {"MsAdpcm44100Stereo", msAdpcmFormat(44100, 2), "adpcm_ms", 25, 2036},
    {"ALaw8000Mono", g711Format(formattags::kALaw, 8000, 1), "pcm_alaw", 33, 0},
    {"MuLaw22050Stereo", g711Format(formattags::kMuLaw, 22050, 2), "pcm_mulaw", 33, 0},
    {"Gsm8000Mono", gsm610Format(), "gsm_ms", 25, 320},
    {"MpegLayer3At44100Stereo128", mpegLayer3Format(44100, 2, 128), "mp3", 50, 1152 + 1393 + 1152},
    {"MpegLayer3At8000Mono16", mpegLayer3Format(8000, 1, 16), "mp3", 50, 576 + 1393 + 1152},
};

class CodecRecording : public ::testing::TestWithParam<CodecCase> {};

TEST_P(CodecRecording, WritesTheRecordAndAToneOtherProgramsDecode)
{
    const CodecCase &codec = GetParam();
    const WaveFormat &format = codec.format;
    const auto rate = static_cast<int>(format.samplesPerSec);
    const int sourceFrames = 2 * rate;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    recordTone(format, path, sourceFrames);

    const QByteArray file = readFileBytes(path);
    const auto F = static_cast<int>(format.byteSize());
    ASSERT_GE(file.size(), 28 + F);
    EXPECT_EQ(le32At(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    const std::uint32_t data = le32At(file, 24 + F);
    EXPECT_EQ(data, static_cast<std::uint32_t>(file.size() - 28 - F));
    EXPECT_EQ(data % format.blockAlign, 0u); // the codec writes whole blocks only

    ASSERT_TRUE(haveTool(QStringLiteral("ffprobe")) && haveTool(QStringLiteral("ffmpeg")));
    EXPECT_EQ(runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "stream=codec_name", "-of",
                                  "default=nw=1:nk=1", path}).out.trimmed(), QLatin1String(codec.ffmpegCodec));
    const MediaInfo info = ffprobeInfo(path);
    EXPECT_EQ(std::pair(info.rateHz, info.channels), std::pair(rate, int(format.channels)));
    const auto decoded = decodeWithFfmpeg(path);
    const int channels = format.channels, frames = static_cast<int>(decoded.size() / channels);
    EXPECT_LE(frames, sourceFrames + codec.lengthSlackFrames);
    ASSERT_GE(frames, sourceFrames);
    for (int c = 0; c < channels; ++c) {
        const ToneFit fit = fitTone(decoded, channels, c, rate, 440 * (1 + c / 2.0), std::size_t(sourceFrames / 10),
                                    std::size_t(sourceFrames * 9 / 10));
        EXPECT_GT(fit.snrDb, codec.snrFloorDb) << "channel " << c;
        // Within 1.5 dB of the recorded level.
        EXPECT_NEAR(20 * std::log10(fit.amplitude / 12000), 0.0, 1.5) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCodec, CodecRecording, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CodecCase> &run) { return std::string(run.param.name); });

// Captured at 44100 Hz into IMA ADPCM at 8000 Hz: the resampler's delay comes out once, at the
// end, and the tone keeps its length and pitch across the blocks.
TEST(CodecRecordingFromAnotherRate, KeepsTheLengthAndTheTone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    recordTone(imaAdpcmFormat(8000, 1), path, 2 * 44100, 10240, 44100);
    const auto decoded = decodeWithFfmpeg(path);
    EXPECT_GE(decoded.size(), 16000u);
    EXPECT_LE(decoded.size(), 16000u + 505u); // the last block's padding
    const ToneFit fit = fitTone(decoded, 1, 0, 8000, 440, 1600, 14400);
    EXPECT_GT(fit.snrDb, 25);
}

} // namespace
