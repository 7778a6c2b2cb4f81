#include "mp3_fixtures.h"

#include "../support/tools.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdlib>

QByteArray formatPayload(const WaveLayout &layout, int extraBytes)
{
    const int blockAlign = layout.channels * layout.bits / 8;
    QByteArray out = formatFields(layout.formatTag, layout.channels, layout.rateHz, blockAlign, layout.bits);
    if (extraBytes >= 2) {
        appendLe(out, extraBytes - 2, 2);
        out += QByteArray(extraBytes - 2, '\x7f');
    }
    return out;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool writeToneFile(const QString &path, int rateHz, double seconds, int leftHz, int rightHz)
{
    // Repeatable (-R): sox dithers the 16-bit samples with noise that would otherwise differ
    // from run to run, and so would the size of a variable-rate MP3 made of them.
    return runTool(QStringLiteral("sox"),
                   {"-R", "-n", "-r", QString::number(rateHz), "-c", "2", "-b", "16", "-e", "signed-integer", path,
                    "synth", QString::number(seconds), "sine", QString::number(leftHz), "sine",
                    QString::number(rightHz), "vol", "0.5"})
               .exitCode == 0;
}

ScopedEnvironment::ScopedEnvironment(const char *name, const QString &value) : m_name(name)
{
    if (const char *old = std::getenv(name))
        m_previous = QByteArray(old);
    qputenv(name, value.toLocal8Bit());
}

ScopedEnvironment::~ScopedEnvironment()
{
    m_previous ? qputenv(m_name.constData(), *m_previous) : qunsetenv(m_name.constData());
}

QString realShimPath() { return QStringLiteral(SONORIEL_LAME_SHIM_PATH); }
QString faultShimPath() { return QStringLiteral(SONORIEL_FAULT_SHIM_PATH); }

namespace {

QJsonObject firstStream(const QString &path)
{
    const ToolResult probe = runTool("ffprobe", {"-v", "error", "-show_streams", "-of", "json", path});
    const QJsonArray streams = QJsonDocument::fromJson(probe.out.toUtf8()).object().value("streams").toArray();
    return streams.isEmpty() ? QJsonObject() : streams.first().toObject();
}

// Runs a tool that writes raw 16-bit little-endian samples to `raw`, and reads them back.
std::vector<std::int16_t> rawSamples(const QString &program, const QStringList &arguments, const QString &raw)
{
    if (runTool(program, arguments).exitCode != 0)
        return {};
    const QByteArray bytes = readFileBytes(raw);
    QFile::remove(raw);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<quint8>(bytes[static_cast<qsizetype>(2 * i)]) |
                                               (static_cast<quint8>(bytes[static_cast<qsizetype>(2 * i + 1)]) << 8));
    return samples;
}

} // namespace

DecodedSound decodeWithFfmpeg(const QString &mp3Path)
{
    const QJsonObject stream = firstStream(mp3Path);
    if (stream.isEmpty())
        return {};
    const QString raw = mp3Path + QStringLiteral(".ffmpeg.raw");
    return {stream.value("sample_rate").toString().toInt(), stream.value("channels").toInt(),
            rawSamples("ffmpeg", {"-v", "error", "-y", "-i", mp3Path, "-f", "s16le", "-acodec", "pcm_s16le", raw}, raw)};
}

DecodedSound decodeWithLame(const QString &mp3Path, const QString &wavPath)
{
    if (runTool("lame", {"--quiet", "--decode", mp3Path, wavPath}).exitCode != 0)
        return {};
    const MediaInfo info = soxInfo(wavPath);
    const QString raw = wavPath + QStringLiteral(".raw");
    return {info.rateHz, info.channels,
            rawSamples("sox", {wavPath, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", raw}, raw)};
}

double toneFrequencyHz(const DecodedSound &sound, int channel)
{
    const qint64 frames = sound.frames();
    if (frames < 4 || sound.rateHz <= 0 || channel >= sound.channels)
        return 0;
    qint64 firstCrossing = -1, lastCrossing = -1, crossings = 0;
    for (qint64 i = frames / 4 + 1; i < frames * 3 / 4; ++i) {
        const int before = sound.samples[static_cast<std::size_t>((i - 1) * sound.channels + channel)];
        const int now = sound.samples[static_cast<std::size_t>(i * sound.channels + channel)];
        if (before < 0 && now >= 0) { // upward crossings only: one per period
            if (firstCrossing < 0)
                firstCrossing = i;
            else
                ++crossings;
            lastCrossing = i;
        }
    }
    if (crossings == 0)
        return 0;
    return crossings * static_cast<double>(sound.rateHz) / static_cast<double>(lastCrossing - firstCrossing);
}

int ffprobeBitRate(const QString &path) { return firstStream(path).value("bit_rate").toString().toInt(); }

void expectError(const AppError &error, int number, const char *text, const char *sourceEnd)
{
    EXPECT_EQ(error.number(), number);
    if (text) {
        EXPECT_EQ(error.text(), text);
    }
    if (sourceEnd) {
        EXPECT_TRUE(error.source().endsWith(sourceEnd)) << error.source().toStdString();
    }
}
