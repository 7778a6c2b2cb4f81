#include "tools.h"

#include "child_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

ToolResult runTool(const QString &program, const QStringList &arguments,
                   std::chrono::milliseconds timeout)
{
    return runTool(program, arguments, QProcessEnvironment::systemEnvironment(), timeout);
}

ToolResult runTool(const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &environment, std::chrono::milliseconds timeout)
{
    ToolResult result;
    QTemporaryDir outputs;
    if (!outputs.isValid()) {
        result.err = QStringLiteral("no temporary folder for the output of ") + program;
        return result;
    }
    ChildProcess process;
    ChildProcess::Setup setup;
    setup.environment = environment.toStringList();
    setup.outputFile = outputs.filePath("out");
    setup.errorFile = outputs.filePath("err");
    if (!process.start(program, arguments, setup)) {
        result.err = process.errorText();
        return result;
    }
    if (!process.waitForEnd(timeout)) {
        process.stop(std::chrono::milliseconds(0));
        result.err = program + QStringLiteral(" did not finish");
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(readFileBytes(setup.outputFile));
    result.err = QString::fromUtf8(readFileBytes(setup.errorFile));
    return result;
}

ToolResult runShell(const QString &line)
{
    return runTool(QStringLiteral("sh"), {QStringLiteral("-c"), line});
}

bool haveTool(const QString &program)
{
    if (!QStandardPaths::findExecutable(program).isEmpty())
        return true;
    ADD_FAILURE() << "reference tool not found: " << program.toStdString()
                  << " (./test.sh installs it)";
    return false;
}

MediaInfo soxInfo(const QString &path)
{
    MediaInfo info;
    info.rateHz = runTool("sox", {"--i", "-r", path}).out.trimmed().toInt();
    info.channels = runTool("sox", {"--i", "-c", path}).out.trimmed().toInt();
    info.seconds = runTool("sox", {"--i", "-D", path}).out.trimmed().toDouble();
    return info;
}

MediaInfo ffprobeInfo(const QString &path)
{
    MediaInfo info;
    const ToolResult probe = runTool("ffprobe", {"-v", "error", "-show_streams", "-show_format",
                                                 "-of", "json", path});
    const QJsonObject root = QJsonDocument::fromJson(probe.out.toUtf8()).object();
    const QJsonArray streams = root.value("streams").toArray();
    if (streams.isEmpty())
        return info;
    const QJsonObject stream = streams.first().toObject();
    info.rateHz = stream.value("sample_rate").toString().toInt();
    info.channels = stream.value("channels").toInt();
    const QString duration = stream.value("duration").toString();
    info.seconds = duration.isEmpty() ? root.value("format").toObject().value("duration").toString().toDouble()
                                      : duration.toDouble();
    return info;
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray readFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
