// WAV files laid out byte by byte: little-endian fields, chunks, the RIFF wrapper, a PCM
// format chunk's fields and sample bytes that differ everywhere. Sizes can be declared
// wrongly on purpose, for the malformed files.
#pragma once

#include <QByteArray>

#include <cstdint>

// Appends `bytes` little-endian bytes of value.
void appendLe(QByteArray &out, std::uint64_t value, int bytes);

// id, the payload's size (or `declaredSize` when given), the payload, and its pad byte when
// the size is odd and `pad` is set.
QByteArray chunk(const char (&id)[5], const QByteArray &payload, bool pad = true,
                 qint64 declaredSize = -1);
// "RIFF", the size of what follows (or `declaredSize`), "WAVE", the chunks.
QByteArray riffWave(const QByteArray &chunks, qint64 declaredSize = -1);

// "fmt " payload of the given fields (16 bytes); the byte rate is rateHz * blockAlign.
QByteArray formatFields(std::uint16_t tag, std::uint16_t channels, std::uint32_t rateHz,
                        std::uint16_t blockAlign, std::uint16_t bits);

// Distinct sample bytes for each seed, so a copy from the wrong place shows.
QByteArray patternBytes(qsizetype count, int seed);
