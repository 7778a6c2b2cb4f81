#include "wave_files.h"

#include "join/join_engine.h"

#include "common/app_error.h"

#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

quint32 field(const QByteArray &bytes, int offset, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    return value;
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
