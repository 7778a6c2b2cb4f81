// Test files for the join: WAV files laid out byte by byte as the recorder, other programs
// and hand-made edge cases write them, files made by sox and ffmpeg, and a log that keeps the
// lines it receives.
#pragma once

#include "join/join_file_info.h"
#include "join/join_log.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct Layout {
    int channels = 2;
    int rateHz = 44100;
    int bits = 16;
};

// Distinct sample bytes for each seed, so a copy from the wrong place shows.
QByteArray patternBytes(qsizetype count, int seed);

// Header pieces, little-endian, field by field.
void appendTag(QByteArray &out, const char (&tag)[5]);
void append16(QByteArray &out, quint16 value);
void append32(QByteArray &out, quint32 value);
// "fmt " chunk of a PCM layout: 16 bytes, or 18 with an extra size of 0 when `withExtraSize`.
QByteArray formatChunk(const Layout &layout, bool withExtraSize = false);
QByteArray chunk(const char (&id)[5], const QByteArray &payload);
// "RIFF", size, "WAVE", then the chunks.
QByteArray riffWave(const QByteArray &chunks);

// The canonical 44-byte header followed by data.
QByteArray canonicalWave(const Layout &layout, const QByteArray &data);
// The recorder's own layout: an 18-byte format chunk whose extra size is 0, a 46-byte header.
QByteArray recorderWave(const Layout &layout, const QByteArray &data);

bool writeBytes(const QString &path, const QByteArray &bytes);

// A folder that lives as long as the test.
class TestFolder {
public:
    TestFolder();
    QString path(const QString &name) const;

private:
    QTemporaryDir m_dir;
};

// Reads the header of path into a new record (raises what ReadWaveHeader raises).
JoinFileInfo readJoinFile(const QString &path);

// The samples of a file as sox decodes them (raw, in the file's own encoding).
QByteArray soxRawSamples(const QString &path);

class LineLog : public JoinLog {
public:
    void addLine(const QString &line) override { lines.append(line); }
    QStringList lines;
};
