#include "tone_measure.h"

#include "../support/tools.h"

#include <QTemporaryDir>

#include <cmath>
#include <numbers>

std::vector<std::int16_t> makeTones(double hz, int rateHz, int channels, int frames, double amplitude)
{
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const double w = 2 * std::numbers::pi * hz * (1 + c / 2.0) / rateHz;
            samples.push_back(static_cast<std::int16_t>(std::lround(amplitude * std::sin(w * i))));
        }
    return samples;
}

std::vector<std::int16_t> decodeWithFfmpeg(const QString &path)
{
    QTemporaryDir dir;
    const QString raw = dir.filePath(QStringLiteral("decoded.raw"));
    const ToolResult run = runTool(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", path, "-f", "s16le",
                                                               "-acodec", "pcm_s16le", raw});
    if (run.exitCode != 0)
        return {};
    const QByteArray bytes = readFileBytes(raw);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(le16At(bytes, static_cast<int>(2 * i)));
    return samples;
}

ProbedStream probeStream(const QString &path)
{
    ProbedStream stream;
    const ToolResult run = runTool(QStringLiteral("ffprobe"),
                                   {"-v", "error", "-show_entries", "stream=codec_name,sample_rate,channels",
                                    "-of", "default=noprint_wrappers=1", path});
    for (const QString &line : run.out.split('\n')) {
        const QString value = line.section('=', 1);
        if (line.startsWith(QLatin1String("codec_name=")))
            stream.codecName = value;
        else if (line.startsWith(QLatin1String("sample_rate=")))
            stream.rateHz = value.toInt();
        else if (line.startsWith(QLatin1String("channels=")))
            stream.channels = value.toInt();
    }
    return stream;
}

ToneFit fitTone(const std::vector<std::int16_t> &samples, int channels, int channel, int rateHz, double hz,
                std::size_t first, std::size_t last)
{
    // Least squares of x = a sin + b cos + c: the normal equations of the three columns.
    const double w = 2 * std::numbers::pi * hz / rateHz;
    double m[3][3] = {};
    double v[3] = {};
    for (std::size_t i = first; i < last; ++i) {
        const double x = samples[i * channels + channel];
        const double col[3] = {std::sin(w * i), std::cos(w * i), 1.0};
        for (int r = 0; r < 3; ++r) {
            v[r] += col[r] * x;
            for (int c = 0; c < 3; ++c)
                m[r][c] += col[r] * col[c];
        }
    }
    // Gaussian elimination of the 3 x 3 system.
    for (int p = 0; p < 3; ++p)
        for (int r = p + 1; r < 3; ++r) {
            const double f = m[r][p] / m[p][p];
            for (int c = p; c < 3; ++c)
                m[r][c] -= f * m[p][c];
            v[r] -= f * v[p];
        }
    double k[3];
    for (int r = 2; r >= 0; --r) {
        double s = v[r];
        for (int c = r + 1; c < 3; ++c)
            s -= m[r][c] * k[c];
        k[r] = s / m[r][r];
    }
    double signal = 0;
    double noise = 0;
    for (std::size_t i = first; i < last; ++i) {
        const double fitted = k[0] * std::sin(w * i) + k[1] * std::cos(w * i) + k[2];
        const double x = samples[i * channels + channel];
        signal += fitted * fitted;
        noise += (x - fitted) * (x - fitted);
    }
    ToneFit fit;
    fit.amplitude = std::hypot(k[0], k[1]);
    fit.snrDb = 10 * std::log10(signal / std::max(noise, 1e-9));
    return fit;
}

std::uint32_t le32At(const QByteArray &bytes, int offset)
{
    return static_cast<std::uint32_t>(le16At(bytes, offset)) |
           (static_cast<std::uint32_t>(le16At(bytes, offset + 2)) << 16);
}

std::uint16_t le16At(const QByteArray &bytes, int offset)
{
    if (offset < 0 || offset + 2 > bytes.size())
        return 0;
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[offset]) |
                                      (static_cast<std::uint8_t>(bytes[offset + 1]) << 8));
}
