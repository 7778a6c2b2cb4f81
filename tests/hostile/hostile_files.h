// Malformed WAV files laid out byte by byte, the snapshot that proves a reader left the disk
// as it found it, and each reader's verdict on a file in one comparable form.
#pragma once

#include "../support/wave_bytes.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>

inline QByteArray stereo16Fields() { return formatFields(1, 2, 44100, 4, 16); }
// Sample bytes that differ from frame to frame.
QByteArray sampleBytes(int count);

// Every file below a folder (recursively), name -> bytes; what "nothing changed" compares.
QMap<QString, QByteArray> snapshot(const QString &folder);
// Writes bytes as a new file; fails the test when it cannot.
void writeFile(const QString &path, const QByteArray &bytes);

// What a reader made of a file: the error it refused it with, or the data it would use.
struct Verdict {
    bool accepted = false;
    QString refusal;     // "29676 No Wave File Open", or the French text of the refusal
    QByteArray data;     // accepted: the sample bytes the reader delivered (or located)
};
Verdict mp3SourceVerdict(const QString &path);   // cWavReader, read through in small blocks
Verdict joinHeaderVerdict(const QString &path);  // ReadWaveHeader, data bytes it points at
// The virtual device's input in the file's own format (44100 Hz stereo): what it captures
// before the silence that follows the file.
Verdict virtualInputVerdict(const QString &path);
