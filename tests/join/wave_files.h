// Test files for the join, its errors and a log that keeps the lines it receives.
#pragma once

#include "join/join_engine.h"
#include "join/join_errors.h"
#include "join/join_file_info.h"
#include "join/join_log.h"

#include "common/app_error.h"

#include "../support/tools.h"
#include "../support/wave_bytes.h"

#include <gtest/gtest.h>

#include <functional>

using Layout = WaveLayout;

// The recorder's own layout: an 18-byte format chunk whose extra size is 0, a 46-byte header.
inline QByteArray recorderWave(const Layout &layout, const QByteArray &data) { return waveFile(layout, data, true); }

// Reads the header of path into a new record.
inline JoinFileInfo readJoinFile(const QString &path)
{
    JoinFileInfo record;
    record.fileName = path;
    ReadWaveHeader(record);
    return record;
}

// Runs sox or ffmpeg quietly; fails the test when the tool is missing or fails.
inline void runOrFail(const QString &tool, const QStringList &arguments)
{
    ASSERT_TRUE(haveTool(tool));
    const ToolResult result = runTool(tool, (tool == "ffmpeg" ? QStringList{"-v", "error"} : QStringList{}) + arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
}

// The samples of a file as sox decodes them (raw, in the file's own encoding).
inline QByteArray soxRawSamples(const QString &path)
{
    runOrFail("sox", {path, "-t", "raw", path + ".raw"});
    return readFileBytes(path + ".raw");
}

// The number of the AppError that action raises (0 when it raises none), and its text.
inline int errorNumberOf(const std::function<void()> &action, QString *text = nullptr)
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

class LineLog : public JoinLog {
public:
    void addLine(const QString &line) override { lines.append(line); }
    QStringList lines;
};
