#include "wave_bytes.h"

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
