// Test files for the join: WAV files laid out byte by byte as the recorder, other programs
// and hand-made edge cases write them, files made by sox and ffmpeg, and a log that keeps the
// lines it receives.
#pragma once

#include "join/join_file_info.h"
#include "join/join_log.h"

#include "../support/wave_bytes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

struct Layout { int channels = 2, rateHz = 44100, bits = 16; };

// A little-endian field of `size` bytes read back at offset.
quint32 field(const QByteArray &bytes, int offset, int size);
// "fmt " chunk of a PCM layout: 16 bytes, or 18 with an extra size of 0 when `withExtraSize`.
QByteArray formatChunk(const Layout &layout, bool withExtraSize = false);

// The canonical 44-byte header followed by data.
inline QByteArray canonicalWave(const Layout &layout, const QByteArray &data)
{
    return riffWave(formatChunk(layout) + chunk("data", data));
}
// The recorder's own layout: an 18-byte format chunk whose extra size is 0, a 46-byte header.
inline QByteArray recorderWave(const Layout &layout, const QByteArray &data)
{
    return riffWave(formatChunk(layout, true) + chunk("data", data));
}

// A folder that lives as long as the test.
struct TestFolder : QTemporaryDir {
    QString path(const QString &name) const { return filePath(name); }
    // Writes bytes to the file name of the folder (failing the test if it cannot) and
    // returns its path.
    QString write(const QString &name, const QByteArray &bytes) const;
};

// Reads the header of path into a new record (raises what ReadWaveHeader raises).
JoinFileInfo readJoinFile(const QString &path);

// The samples of a file as sox decodes them (raw, in the file's own encoding).
QByteArray soxRawSamples(const QString &path);

// Runs sox or ffmpeg (quietly); fails the test when the tool is missing or fails.
void runOrFail(const QString &tool, const QStringList &arguments);

// The number of the AppError that action raises (0 when it raises none), and its text.
int errorNumberOf(const std::function<void()> &action, QString *text = nullptr);

class LineLog : public JoinLog {
public:
    void addLine(const QString &line) override { lines.append(line); }
    QStringList lines;
};
