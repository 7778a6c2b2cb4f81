#include "mp3_fixtures.h"

#include "../support/tools.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>

void append16(QByteArray &out, quint16 value)
{
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>(value >> 8));
}

void append32(QByteArray &out, quint32 value)
{
    append16(out, static_cast<quint16>(value & 0xffff));
    append16(out, static_cast<quint16>(value >> 16));
}

QByteArray chunk(const char (&id)[5], const QByteArray &payload)
{
    QByteArray out(id, 4);
    append32(out, static_cast<quint32>(payload.size()));
    out += payload;
    if (payload.size() % 2)
        out.append('\0');
    return out;
}

QByteArray formatPayload(const WaveLayout &layout, int extraBytes)
{
    QByteArray out;
    const int blockAlign = layout.channels * layout.bits / 8;
    append16(out, static_cast<quint16>(layout.formatTag));
    append16(out, static_cast<quint16>(layout.channels));
    append32(out, static_cast<quint32>(layout.rateHz));
    append32(out, static_cast<quint32>(blockAlign * layout.rateHz));
    append16(out, static_cast<quint16>(blockAlign));
    append16(out, static_cast<quint16>(layout.bits));
    if (extraBytes >= 2) {
        append16(out, static_cast<quint16>(extraBytes - 2));
        out.append(QByteArray(extraBytes - 2, '\x7f'));
    }
    return out;
}

QByteArray riffWave(const QByteArray &chunks)
{
    QByteArray out("RIFF", 4);
    append32(out, static_cast<quint32>(4 + chunks.size()));
    out += "WAVE";
    out += chunks;
    return out;
}

QByteArray waveFile(const WaveLayout &layout, const QByteArray &data)
{
    return riffWave(chunk("fmt ", formatPayload(layout)) + chunk("data", data));
}

QByteArray patternBytes(qsizetype count, int seed)
{
    QByteArray bytes(count, Qt::Uninitialized);
    quint32 state = 2166136261u ^ static_cast<quint32>(seed);
    for (qsizetype i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

TestFolder::TestFolder() = default;

QString TestFolder::path(const QString &name) const
{
    return m_dir.filePath(name);
}

bool writeToneFile(const QString &path, int rateHz, double seconds, int leftHz, int rightHz)
{
    const ToolResult result = runTool(
        QStringLiteral("sox"),
        {"-n", "-r", QString::number(rateHz), "-c", "2", "-b", "16", "-e", "signed-integer", path,
         "synth", QString::number(seconds), "sine", QString::number(leftHz), "sine",
         QString::number(rightHz), "vol", "0.5"});
    return result.exitCode == 0;
}

ScopedEnvironment::ScopedEnvironment(const char *name, const QString &value) : m_name(name)
{
    if (const char *old = std::getenv(name))
        m_previous = QByteArray(old);
    qputenv(name, value.toLocal8Bit());
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous)
        qputenv(m_name.constData(), *m_previous);
    else
        qunsetenv(m_name.constData());
}

QString realShimPath()
{
    return QStringLiteral(SONORIEL_LAME_SHIM_PATH);
}

QString faultShimPath()
{
    return QStringLiteral(SONORIEL_FAULT_SHIM_PATH);
}

namespace {

std::vector<std::int16_t> samplesOf(const QByteArray &raw)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(raw.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto lo = static_cast<quint8>(raw[static_cast<qsizetype>(2 * i)]);
        const auto hi = static_cast<quint8>(raw[static_cast<qsizetype>(2 * i + 1)]);
        samples[i] = static_cast<std::int16_t>(lo | (hi << 8));
    }
    return samples;
}

} // namespace

DecodedSound decodeWithFfmpeg(const QString &mp3Path)
{
    DecodedSound sound;
    const ToolResult probe = runTool("ffprobe", {"-v", "error", "-show_streams", "-of", "json", mp3Path});
    const QJsonArray streams = QJsonDocument::fromJson(probe.out.toUtf8()).object().value("streams").toArray();
    if (streams.isEmpty())
        return sound;
    sound.rateHz = streams.first().toObject().value("sample_rate").toString().toInt();
    sound.channels = streams.first().toObject().value("channels").toInt();
    const QString raw = mp3Path + QStringLiteral(".ffmpeg.raw");
    if (runTool("ffmpeg", {"-v", "error", "-y", "-i", mp3Path, "-f", "s16le", "-acodec", "pcm_s16le", raw}).exitCode != 0)
        return sound;
    sound.samples = samplesOf(readFileBytes(raw));
    QFile::remove(raw);
    return sound;
}

DecodedSound decodeWithLame(const QString &mp3Path, const QString &wavPath)
{
    DecodedSound sound;
    if (runTool("lame", {"--quiet", "--decode", mp3Path, wavPath}).exitCode != 0)
        return sound;
    const MediaInfo info = soxInfo(wavPath);
    sound.rateHz = info.rateHz;
    sound.channels = info.channels;
    const QString raw = wavPath + QStringLiteral(".raw");
    if (runTool("sox", {wavPath, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", raw}).exitCode != 0)
        return sound;
    sound.samples = samplesOf(readFileBytes(raw));
    QFile::remove(raw);
    return sound;
}

double toneFrequencyHz(const DecodedSound &sound, int channel)
{
    const qint64 frames = sound.frames();
    if (frames < 4 || sound.rateHz <= 0 || channel >= sound.channels)
        return 0;
    const qint64 first = frames / 4, last = frames * 3 / 4;
    qint64 firstCrossing = -1, lastCrossing = -1, crossings = 0;
    for (qint64 i = first + 1; i < last; ++i) {
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

int ffprobeBitRate(const QString &path)
{
    const ToolResult probe = runTool("ffprobe", {"-v", "error", "-show_streams", "-of", "json", path});
    const QJsonArray streams = QJsonDocument::fromJson(probe.out.toUtf8()).object().value("streams").toArray();
    if (streams.isEmpty())
        return 0;
    return streams.first().toObject().value("bit_rate").toString().toInt();
}
