// Helpers shared by the tests: running the independent reference tools (sox, ffprobe, lame),
// and letting the event loop run until something happened.
#pragma once

#include "common/result.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

struct ToolResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs program with arguments and waits at most timeout. exitCode -1 when it could not start,
// did not finish in time or crashed; err then says which.
ToolResult runTool(const QString &program, const QStringList &arguments,
                   std::chrono::milliseconds timeout = std::chrono::seconds(120));
// The same in the given environment instead of the test process's own.
ToolResult runTool(const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &environment,
                   std::chrono::milliseconds timeout = std::chrono::seconds(120));

// Runs a shell command line (sh -c), for what goes through pipes:
// `ffmpeg ... -f wav - | cat > f`.
ToolResult runShell(const QString &line);

// Fails the current test (with a clear message) when a reference tool is missing; under
// SONORIEL_TEST_TOOLS_REQUIRED (set by CTest) a missing tool is an error, never a skip.
bool haveTool(const QString &program);

// `sox --i -r/-c/-D` and ffprobe's view of a file.
struct MediaInfo {
    int rateHz = 0;
    int channels = 0;
    double seconds = 0;
};
MediaInfo soxInfo(const QString &path);
MediaInfo ffprobeInfo(const QString &path);

// Processes events until done() is true or the timeout passes; returns done().
bool waitUntil(const std::function<bool()> &done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Every name in folder, hidden ones included, sorted.
QStringList folderEntries(const QString &folder);

// Reads a whole file; empty when it cannot be read.
QByteArray readFileBytes(const QString &path);

// The value of a result, or an empty one with the failure's reason kept in reason.
template <typename T>
T valueOr(Result<T> result, QString &reason)
{
    if (!result) {
        reason = result.reason();
        return T{};
    }
    return std::move(result).value();
}
