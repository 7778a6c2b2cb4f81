#include "wave_bytes.h"

#include <QFile>

#include <gtest/gtest.h>

void appendLe(QByteArray &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

QByteArray chunk(const char (&id)[5], const QByteArray &payload, bool pad, qint64 declaredSize)
{
    QByteArray out(id, 4);
    appendLe(out, declaredSize >= 0 ? std::uint64_t(declaredSize) : std::uint64_t(payload.size()), 4);
    out += payload;
    if (pad && payload.size() % 2)
        out.append('\0');
    return out;
}

QByteArray riffWave(const QByteArray &chunks, qint64 declaredSize)
{
    QByteArray out("RIFF");
    appendLe(out, declaredSize >= 0 ? std::uint64_t(declaredSize) : std::uint64_t(4 + chunks.size()), 4);
    return out + "WAVE" + chunks;
}

QByteArray rf64Wave(const QByteArray &chunks, const Ds64Sizes &sizes, const char (&form)[5])
{
    QByteArray ds64;
    appendLe(ds64, sizes.riffSize, 8);
    appendLe(ds64, sizes.dataSize, 8);
    appendLe(ds64, sizes.sampleCount, 8);
    appendLe(ds64, static_cast<std::uint64_t>(sizes.table.size()), 4);
    for (const auto &[id, size] : sizes.table) {
        ds64 += id.left(4);
        appendLe(ds64, size, 8);
    }
    QByteArray out(form, 4);
    appendLe(out, 0xFFFFFFFF, 4);
    return out + "WAVE" + chunk("ds64", ds64) + chunks;
}

QByteArray formatFields(std::uint16_t tag, std::uint16_t channels, std::uint32_t rateHz,
                        std::uint16_t blockAlign, std::uint16_t bits)
{
    QByteArray out;
    appendLe(out, tag, 2);
    appendLe(out, channels, 2);
    appendLe(out, rateHz, 4);
    appendLe(out, std::uint64_t(rateHz) * blockAlign, 4);
    appendLe(out, blockAlign, 2);
    appendLe(out, bits, 2);
    return out;
}

QByteArray patternBytes(qsizetype count, int seed)
{
    QByteArray bytes(count, Qt::Uninitialized);
    quint32 state = 2166136261u ^ static_cast<quint32>(seed);
    for (qsizetype i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

QByteArray formatChunk(const WaveLayout &layout, bool withExtraSize)
{
    const auto blockAlign = static_cast<std::uint16_t>(layout.bits / 8 * layout.channels);
    QByteArray payload = formatFields(static_cast<std::uint16_t>(layout.formatTag), static_cast<std::uint16_t>(layout.channels),
                                      static_cast<std::uint32_t>(layout.rateHz), blockAlign,
                                      static_cast<std::uint16_t>(layout.bits));
    if (withExtraSize)
        appendLe(payload, 0, 2);
    return chunk("fmt ", payload);
}

QByteArray waveFile(const WaveLayout &layout, const QByteArray &data, bool withExtraSize)
{
    return riffWave(formatChunk(layout, withExtraSize) + chunk("data", data));
}

QByteArray constantFrames(const WaveLayout &layout, int frames, int value)
{
    QByteArray bytes;
    for (int i = 0; i < frames * layout.channels; ++i)
        appendLe(bytes, static_cast<std::uint64_t>(value), layout.bits / 8);
    return bytes;
}

QString TestFolder::write(const QString &name, const QByteArray &bytes) const
{
    const QString path = filePath(name);
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    EXPECT_TRUE(written) << "cannot write " << path.toStdString();
    return path;
}
