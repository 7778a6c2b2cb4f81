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
