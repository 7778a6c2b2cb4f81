#include "signal_helpers.h"

#include "common/wave_format.h"

#include "tools.h"
#include "wave_bytes.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>

std::vector<std::int16_t> makeTone(double hz, int rateHz, int channels, int frames, double amplitude)
{
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(frames * channels));
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rateHz)));
        for (int c = 0; c < channels; ++c)
            samples.push_back(v);
    }
    return samples;
}

bool writePcmWav(const QString &path, int rateHz, int channels, const std::vector<std::int16_t> &samples)
{
    const QByteArray data(reinterpret_cast<const char *>(samples.data()), static_cast<qsizetype>(samples.size() * 2));
    QFile file(path);
    const QByteArray bytes = waveFile({.channels = channels, .rateHz = rateHz}, data);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double measureFrequency(const std::vector<std::int16_t> &samples, int channels, int rateHz)
{
    int first = -1;
    int last = -1;
    int crossings = 0;
    const int frames = static_cast<int>(samples.size()) / channels;
    for (int i = 1; i < frames; ++i) {
        if (samples[static_cast<std::size_t>((i - 1) * channels)] < 0 && samples[static_cast<std::size_t>(i * channels)] >= 0) {
            if (first < 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return (crossings - 1) * static_cast<double>(rateHz) / (last - first);
}

std::vector<std::int16_t> makeCountingSignal(std::uint32_t firstFrame, int frames)
{
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(frames) * 2);
    for (std::uint32_t k = firstFrame; k < firstFrame + static_cast<std::uint32_t>(frames); ++k) {
        samples.push_back(static_cast<std::int16_t>(k & 0xFFFF));
        samples.push_back(static_cast<std::int16_t>(k >> 16));
    }
    return samples;
}

CountingCheck checkCounting(const std::vector<std::int16_t> &stereo, std::uint32_t firstCount)
{
    const auto countAt = [&stereo](std::size_t frame) {
        return static_cast<std::uint32_t>(static_cast<std::uint16_t>(stereo[2 * frame])) |
               static_cast<std::uint32_t>(static_cast<std::uint16_t>(stereo[2 * frame + 1])) << 16;
    };
    CountingCheck check;
    const std::size_t frames = stereo.size() / 2;
    while (check.leadingFrames < frames && countAt(check.leadingFrames) < firstCount)
        ++check.leadingFrames;
    if (check.leadingFrames == frames)
        return check;
    check.firstCount = countAt(check.leadingFrames);
    check.countedFrames = frames - check.leadingFrames;
    for (std::size_t frame = check.leadingFrames + 1; frame < frames; ++frame) {
        if (countAt(frame) == countAt(frame - 1) + 1)
            continue;
        check.breaks.push_back(frame);
        check.missingFrames += static_cast<std::int64_t>(countAt(frame)) - countAt(frame - 1) - 1;
    }
    return check;
}

std::vector<std::int16_t> decodeWithSox(const QString &path)
{
    QTemporaryDir dir;
    const QString raw = dir.filePath("decoded.raw");
    const ToolResult result = runTool("sox", {"-D", path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", raw});
    if (result.exitCode != 0)
        return {};
    const QByteArray bytes = readFileBytes(raw);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size() / 2));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

std::uint32_t le32At(const QByteArray &bytes, int offset)
{
    return le::get32(reinterpret_cast<const std::uint8_t *>(bytes.constData()) + offset);
}

std::uint16_t le16At(const QByteArray &bytes, int offset)
{
    return le::get16(reinterpret_cast<const std::uint8_t *>(bytes.constData()) + offset);
}
