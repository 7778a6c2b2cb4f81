#include "wave_files.h"

#include "join/join_engine.h"

#include "common/app_error.h"

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

void appendField(QByteArray &out, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(static_cast<char>(value >> (8 * i)));
}

quint32 field(const QByteArray &bytes, int offset, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    return value;
}

QByteArray formatChunk(const Layout &layout, bool withExtraSize)
{
    const int blockAlign = layout.channels * layout.bits / 8;
    QByteArray payload;
    for (const auto &[value, size] : {std::pair{1, 2}, {layout.channels, 2}, {layout.rateHz, 4},
                                      {blockAlign * layout.rateHz, 4}, {blockAlign, 2}, {layout.bits, 2}})
        appendField(payload, static_cast<quint32>(value), size);
    if (withExtraSize)
        appendField(payload, 0, 2);
    return chunk("fmt ", payload);
}

QByteArray chunk(const char (&id)[5], const QByteArray &payload)
{
    QByteArray out(id, 4);
    appendField(out, static_cast<quint32>(payload.size()), 4);
    out.append(payload);
    if (payload.size() % 2)
        out.append('\0');
    return out;
}

QByteArray riffWave(const QByteArray &chunks)
{
    QByteArray out("RIFF");
    appendField(out, static_cast<quint32>(4 + chunks.size()), 4);
    return out + "WAVE" + chunks;
}

QString TestFolder::write(const QString &name, const QByteArray &bytes) const
{
    const QString file = path(name);
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size() &&
                out.flush())
        << file.toStdString();
    return file;
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
    runOrFail(QStringLiteral("sox"), {path, QStringLiteral("-t"), QStringLiteral("raw"), path + ".raw"});
    return readFileBytes(path + ".raw");
}

void runOrFail(const QString &tool, const QStringList &arguments)
{
    ASSERT_TRUE(haveTool(tool));
    const QStringList quiet = tool == QStringLiteral("ffmpeg") ? QStringList{"-v", "error"} : QStringList{};
    const ToolResult result = runTool(tool, quiet + arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
}

int errorNumberOf(const std::function<void()> &action, QString *text)
{
    try {
        action();
    } catch (const AppError &error) {
        if (text)
            *text = error.text();
        return error.number();
    }
    return 0;
}
