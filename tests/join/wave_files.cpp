#include "wave_files.h"

#include "join/join_engine.h"

#include "common/app_error.h"

#include "../support/tools.h"

#include <gtest/gtest.h>

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
