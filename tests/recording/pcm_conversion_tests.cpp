// Recording into other PCM formats: the conversion keeps the duration and the pitch of what was
// recorded, and the files say what they hold to other programs.
#include "recording/encoder_wav.h"

#include "../support/tools.h"
#include "../support/signal_helpers.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Target {
    const char *name;
    WaveFormat format;
    bool exact; // a lossless widening: decoding back to 16 bits gives the input again
};

// One second of a 1 kHz tone at 44100 Hz stereo, encoded in capture-sized blocks.
QString encodeSecond(const QTemporaryDir &dir, const Target &target, const std::vector<std::int16_t> &tone)
{
    EncoderWAV encoder;
    encoder.SetFormat(target.format.toBytes(), target.name, "PCM");
    const QString path = dir.filePath(QString::fromLatin1(target.name) + ".wav");
    if (encoder.Encoder_EncoderInit(44100, 2, path) != 0)
        return {};
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(tone.data());
    const std::size_t total = tone.size() * 2;
    for (std::size_t offset = 0; offset < total; offset += 10240) {
        const auto len = static_cast<std::int32_t>(std::min<std::size_t>(10240, total - offset));
        std::int32_t used = 0;
        if (encoder.Encoder_Encode(bytes + offset, len, used) != 0 || used != len)
            return {};
    }
    return encoder.Encoder_EncoderClose() == 0 ? path : QString();
}

} // namespace

TEST(PcmConversion, KeepsDurationAndPitchInEveryPcmFormat)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    QTemporaryDir dir;
    const auto tone = makeTone(1000, 44100, 2, 44100);
    const Target targets[] = {
        {"mono22050", WaveFormat::pcm(22050, 1, 16), false},
        {"stereo8bit", WaveFormat::pcm(44100, 2, 8), false},
        {"stereo24bit", WaveFormat::pcm(44100, 2, 24), true},
        {"stereoFloat", WaveFormat::pcm(44100, 2, 32, true), true},
        {"mono8000_8bit", WaveFormat::pcm(8000, 1, 8), false},
        {"stereo48000", WaveFormat::pcm(48000, 2, 16), false},
    };
    for (const Target &target : targets) {
        SCOPED_TRACE(target.name);
        const QString path = encodeSecond(dir, target, tone);
        ASSERT_FALSE(path.isEmpty());
        const QByteArray file = readFileBytes(path);
        EXPECT_EQ(le16At(file, 20), target.format.formatTag);
        EXPECT_EQ(le16At(file, 34), target.format.bitsPerSample);
        const std::uint32_t dataBytes = le32At(file, 42);
        EXPECT_EQ(dataBytes, static_cast<std::uint32_t>(file.size() - 46));
        EXPECT_EQ(dataBytes % target.format.blockAlign, 0u);
        // Every frame of the second is there, flushed out of the resampler at the close.
        EXPECT_NEAR(dataBytes / static_cast<double>(target.format.avgBytesPerSec), 1.0, 0.002);

        for (const MediaInfo &info : {soxInfo(path), ffprobeInfo(path)}) {
            EXPECT_EQ(info.rateHz, static_cast<int>(target.format.samplesPerSec));
            EXPECT_EQ(info.channels, target.format.channels);
            EXPECT_NEAR(info.seconds, 1.0, 0.002);
        }
        const auto decoded = decodeWithSox(path);
        EXPECT_NEAR(measureFrequency(decoded, target.format.channels, static_cast<int>(target.format.samplesPerSec)),
                    1000.0, 1.0);
        if (target.exact) {
            EXPECT_EQ(decoded, tone);
        }
    }
}

TEST(PcmConversion, ChannelConversionCopiesValuesAndMonoIsTheMeanOfLeftAndRight)
{
    QTemporaryDir dir;
    const auto encode = [&](const char *name, int channels, WaveFormat output, const std::vector<std::int16_t> &input) {
        EncoderWAV encoder;
        encoder.SetFormat(output.toBytes(), name, "PCM");
        const QString path = dir.filePath(QString::fromLatin1(name) + ".wav");
        std::int32_t used = 0;
        EXPECT_EQ(encoder.Encoder_EncoderInit(44100, static_cast<std::int16_t>(channels), path), 0);
        EXPECT_EQ(encoder.Encoder_Encode(input.data(), static_cast<std::int32_t>(input.size() * 2), used), 0);
        EXPECT_EQ(encoder.Encoder_EncoderClose(), 0);
        return decodeWithSox(path);
    };
    // Values well apart from each other, some odd, some at full scale.
    std::vector<std::int16_t> mono;
    for (int i = 0; i < 2048; ++i)
        mono.push_back(static_cast<std::int16_t>(i % 3 == 0 ? 12000 : i % 3 == 1 ? -32768 : 32767 - i));
    const auto stereo = encode("toStereo", 1, WaveFormat::pcm(44100, 2, 16), mono);
    ASSERT_EQ(stereo.size(), 2 * mono.size());
    for (std::size_t i = 0; i < mono.size(); ++i) {
        ASSERT_EQ(stereo[2 * i], mono[i]) << "frame " << i;
        ASSERT_EQ(stereo[2 * i + 1], mono[i]) << "frame " << i;
    }

    std::vector<std::int16_t> leftRight;
    for (int i = 0; i < 2048; ++i) {
        leftRight.push_back(static_cast<std::int16_t>(12000 + 2 * i));
        leftRight.push_back(static_cast<std::int16_t>(-8000 + 4 * i));
    }
    const auto down = encode("toMono", 2, WaveFormat::pcm(44100, 1, 16), leftRight);
    ASSERT_EQ(down.size(), leftRight.size() / 2);
    for (std::size_t i = 0; i < down.size(); ++i)
        ASSERT_EQ(down[i], (leftRight[2 * i] + leftRight[2 * i + 1]) / 2) << "frame " << i;
}
