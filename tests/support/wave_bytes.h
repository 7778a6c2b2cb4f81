// WAV files laid out byte by byte: little-endian fields, chunks, the RIFF wrapper, a PCM
// format chunk's fields and sample bytes that differ everywhere. Sizes can be declared
// wrongly on purpose, for the malformed files. The one way the tests make a WAV file by hand,
// and the folder they write test files into.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>

// Appends `bytes` little-endian bytes of value.
void appendLe(QByteArray &out, std::uint64_t value, int bytes);

// id, the payload's size (or `declaredSize` when given), the payload, and its pad byte when
// the size is odd and `pad` is set.
QByteArray chunk(const char (&id)[5], const QByteArray &payload, bool pad = true,
                 qint64 declaredSize = -1);
// "RIFF", the size of what follows (or `declaredSize`), "WAVE", the chunks.
QByteArray riffWave(const QByteArray &chunks, qint64 declaredSize = -1);

// An RF64 file (EBU Tech 3306; "BW64" as form for ITU-R BS.2088): the form, 0xFFFFFFFF,
// "WAVE", a ds64 chunk of the three 64-bit sizes and a table of other chunks' sizes, then the
// chunks (whose large sizes say 0xFFFFFFFF).
struct Ds64Sizes {
    std::uint64_t riffSize = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t sampleCount = 0;
    QList<QPair<QByteArray, std::uint64_t>> table = {};
};
QByteArray rf64Wave(const QByteArray &chunks, const Ds64Sizes &sizes, const char (&form)[5] = "RF64");

// "fmt " payload of the given fields (16 bytes); the byte rate is rateHz * blockAlign.
QByteArray formatFields(std::uint16_t tag, std::uint16_t channels, std::uint32_t rateHz,
                        std::uint16_t blockAlign, std::uint16_t bits);

// Distinct sample bytes for each seed, so a copy from the wrong place shows.
QByteArray patternBytes(qsizetype count, int seed);

// A PCM layout; formatTag other than 1 for a header that only claims a format.
struct WaveLayout {
    int channels = 2;
    int rateHz = 44100;
    int bits = 16;
    int formatTag = 1;
};

// "fmt " chunk of a layout: 16 bytes, or 18 with an extra size of 0 (the recorder's own).
QByteArray formatChunk(const WaveLayout &layout, bool withExtraSize = false);
// The canonical 44-byte header (46 with the extra size) followed by data.
QByteArray waveFile(const WaveLayout &layout, const QByteArray &data, bool withExtraSize = false);
// frames frames of every channel holding value (8-bit values unsigned, 16-bit signed).
QByteArray constantFrames(const WaveLayout &layout, int frames, int value);

// A folder that lives as long as the test.
struct TestFolder : QTemporaryDir {
    using QTemporaryDir::path;
    QString path(const QString &name) const { return filePath(name); }
    // Writes bytes to the named file of the folder (failing the test if it cannot) and returns
    // its path.
    QString write(const QString &name, const QByteArray &bytes) const;
};
