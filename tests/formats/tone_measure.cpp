#include "tone_measure.h"

#include "platform/acm/output_formats.h"
#include "recording/encoder_wav.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <numbers>

std::vector<std::uint8_t> toneBytes(int rateHz, int channels, int frames)
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            le::put16(bytes, static_cast<std::uint16_t>(std::lround(12000 * std::sin(2 * std::numbers::pi * 440 * (1 + c / 2.0) / rateHz * i))));
    return bytes;
}

void recordTone(const WaveFormat &format, const QString &path, int frames, std::size_t blockBytes, int sourceRateHz)
{
    EncoderWAV encoder;
    encoder.SetFormat(format.toBytes(), formatDescription(format), formatTagName(format.formatTag));
    const int rate = sourceRateHz > 0 ? sourceRateHz : static_cast<int>(format.samplesPerSec);
    const auto bytes = toneBytes(rate, format.channels, frames);
    EXPECT_EQ(encoder.Encoder_EncoderInit(rate, static_cast<std::int16_t>(format.channels), path), 0);
    for (std::size_t at = 0; at < bytes.size(); at += blockBytes) {
        const auto length = static_cast<std::int32_t>(std::min(blockBytes, bytes.size() - at));
        std::int32_t used = -1;
        EXPECT_TRUE(encoder.Encoder_Encode(bytes.data() + at, length, used) == 0 && used == length);
    }
    EXPECT_EQ(encoder.Encoder_EncoderClose(), 0);
}

std::vector<std::int16_t> decodeWithFfmpeg(const QString &path)
{
    QTemporaryDir dir;
    const QString raw = dir.filePath(QStringLiteral("decoded.raw"));
    runTool(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", raw});
    const QByteArray bytes = readFileBytes(raw);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2); // s16le on a little-endian host
    return samples;
}

ToneFit fitTone(const std::vector<std::int16_t> &samples, int channels, int channel, int rateHz, double hz,
                std::size_t first, std::size_t last)
{
    // Least squares of x = a sin + b cos: the normal equations of the two columns.
    const double w = 2 * std::numbers::pi * hz / rateHz;
    double ss = 0, sc = 0, cc = 0, xs = 0, xc = 0;
    for (std::size_t i = first; i < last; ++i) {
        const double x = samples[i * channels + channel], s = std::sin(w * i), c = std::cos(w * i);
        ss += s * s, sc += s * c, cc += c * c, xs += x * s, xc += x * c;
    }
    const double det = ss * cc - sc * sc, a = (xs * cc - xc * sc) / det, b = (xc * ss - xs * sc) / det;
    double signal = 0, noise = 0;
    for (std::size_t i = first; i < last; ++i) {
        const double fitted = a * std::sin(w * i) + b * std::cos(w * i), x = samples[i * channels + channel];
        signal += fitted * fitted;
        noise += (x - fitted) * (x - fitted);
    }
    return {std::hypot(a, b), 10 * std::log10(signal / std::max(noise, 1e-9))};
}
