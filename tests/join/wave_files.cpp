#include "wave_files.h"

#include "join/join_engine.h"

#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

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

void appendTag(QByteArray &out, const char (&tag)[5])
{
    out.append(tag, 4);
}

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

QByteArray formatChunk(const Layout &layout, bool withExtraSize)
{
    const int blockAlign = layout.channels * layout.bits / 8;
    QByteArray payload;
    append16(payload, 1);
    append16(payload, static_cast<quint16>(layout.channels));
    append32(payload, static_cast<quint32>(layout.rateHz));
    append32(payload, static_cast<quint32>(blockAlign * layout.rateHz));
    append16(payload, static_cast<quint16>(blockAlign));
    append16(payload, static_cast<quint16>(layout.bits));
    if (withExtraSize)
        append16(payload, 0);
    return chunk("fmt ", payload);
}

QByteArray chunk(const char (&id)[5], const QByteArray &payload)
{
    QByteArray out;
    appendTag(out, id);
    append32(out, static_cast<quint32>(payload.size()));
    out.append(payload);
    if (payload.size() % 2)
        out.append('\0');
    return out;
}

QByteArray riffWave(const QByteArray &chunks)
{
    QByteArray out;
    appendTag(out, "RIFF");
    append32(out, static_cast<quint32>(4 + chunks.size()));
    appendTag(out, "WAVE");
    out.append(chunks);
    return out;
}

QByteArray canonicalWave(const Layout &layout, const QByteArray &data)
{
    return riffWave(formatChunk(layout) + chunk("data", data));
}

QByteArray recorderWave(const Layout &layout, const QByteArray &data)
{
    return riffWave(formatChunk(layout, true) + chunk("data", data));
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

TestFolder::TestFolder()
{
    EXPECT_TRUE(m_dir.isValid());
}

QString TestFolder::path(const QString &name) const
{
    return m_dir.filePath(name);
}

JoinFileInfo readJoinFile(const QString &path)
{
    JoinFileInfo record;
    record.fileName = path;
    ReadWaveHeader(record);
    return record;
}

QByteArray soxRawSamples(const QString &path)
{
    const QString raw = path + QStringLiteral(".raw");
    const ToolResult result = runTool(QStringLiteral("sox"), {path, QStringLiteral("-t"), QStringLiteral("raw"), raw});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    return readFileBytes(raw);
}
