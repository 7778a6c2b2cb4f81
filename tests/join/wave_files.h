// Test files for the join and a log that keeps the lines it receives.
#pragma once

#include "join/join_file_info.h"
#include "join/join_log.h"

#include "../support/wave_bytes.h"

#include <QStringList>

#include <functional>

using Layout = WaveLayout;

// The recorder's own layout: an 18-byte format chunk whose extra size is 0, a 46-byte header.
inline QByteArray recorderWave(const Layout &layout, const QByteArray &data)
{
    return waveFile(layout, data, true);
}

// Reads the header of path into a new record.
JoinFileInfo readJoinFile(const QString &path);

// The samples of a file as sox decodes them (raw, in the file's own encoding).
QByteArray soxRawSamples(const QString &path);

// Runs sox or ffmpeg quietly; fails the test when the tool is missing or fails.
void runOrFail(const QString &tool, const QStringList &arguments);

// The number of the AppError that action raises (0 when it raises none), and its text.
int errorNumberOf(const std::function<void()> &action, QString *text = nullptr);

class LineLog : public JoinLog {
public:
    void addLine(const QString &line) override { lines.append(line); }
    QStringList lines;
};
