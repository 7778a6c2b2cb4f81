#include "platform/riff/wave_start.h"

#include "common/wave_format.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint64_t kTableEntryBytes = 12;
// More table entries than any file has: a table that says more is read in its first ones.
constexpr std::uint32_t kLargestTableRead = 1024;

std::uint64_t get64(const std::uint8_t *p)
{
    return static_cast<std::uint64_t>(le::get32(p)) | static_cast<std::uint64_t>(le::get32(p + 4)) << 32;
}

QString formName(const std::array<std::uint8_t, 4> &id)
{
    return QString::fromLatin1(reinterpret_cast<const char *>(id.data()), 4);
}

} // namespace

std::optional<std::uint64_t> Ds64::sizeOf(const std::uint8_t *id) const
{
    if (std::memcmp(id, "data", 4) == 0)
        return dataSize;
    for (const Entry &entry : table)
        if (std::memcmp(entry.id.data(), id, 4) == 0)
            return entry.size;
    return std::nullopt;
}

std::uint64_t WaveStart::chunkSize(const std::uint8_t *chunkId, std::uint32_t sizeField) const
{
    if (sizeField != kSizeInDs64 || !ds64)
        return sizeField;
    return ds64->sizeOf(chunkId).value_or(sizeField);
}

Result<WaveStart> readWaveStart(const ReadAt &readAt, std::uint64_t fileBytes, const char (&formType)[5])
{
    WaveStart start;
    std::uint8_t header[12];
    if (fileBytes < sizeof header || !readAt(0, header) || std::memcmp(header + 8, formType, 4) != 0)
        return start;
    std::memcpy(start.id.data(), header, 4);
    start.riffSizeField = le::get32(header + 4);
    start.riffSize = start.riffSizeField;
    if (std::memcmp(header, "RIFF", 4) == 0) {
        start.form = WaveStart::Form::Riff;
        return start;
    }
    if (std::memcmp(header, "RF64", 4) != 0 && std::memcmp(header, "BW64", 4) != 0)
        return start;

    const QString form = formName(start.id);
    std::uint8_t ds64[8 + kDs64Bytes];
    if (fileBytes < kDs64Offset + 8 || !readAt(kDs64Offset, std::span(ds64, 8)) || std::memcmp(ds64, "ds64", 4) != 0)
        return Failure{QStringLiteral("fichier %1 sans bloc « ds64 » après « WAVE » : ses tailles sur 64 bits "
                                      "manquent.")
                           .arg(form)};
    Ds64 sizes;
    sizes.chunkBytes = le::get32(ds64 + 4);
    if (sizes.chunkBytes < kDs64Bytes)
        return Failure{QStringLiteral("bloc « ds64 » tronqué : %1 octets au lieu d'au moins %2.")
                           .arg(sizes.chunkBytes)
                           .arg(kDs64Bytes)};
    const std::uint64_t chunkEnd = kDs64Offset + 8 + sizes.chunkBytes;
    if (chunkEnd > fileBytes || !readAt(kDs64Offset + 8, std::span(ds64 + 8, kDs64Bytes)))
        return Failure{QStringLiteral("bloc « ds64 » tronqué : le fichier (%1 octets) s'arrête avant sa fin.")
                           .arg(fileBytes)};
    sizes.riffSize = get64(ds64 + 8);
    sizes.dataSize = get64(ds64 + 16);
    sizes.sampleCount = get64(ds64 + 24);
    const std::uint32_t entries = le::get32(ds64 + 32);
    if (kDs64Bytes + entries * kTableEntryBytes > sizes.chunkBytes)
        return Failure{QStringLiteral("la table du bloc « ds64 » (%1 entrées) déborde du bloc (%2 octets).")
                           .arg(entries)
                           .arg(sizes.chunkBytes)};
    std::vector<std::uint8_t> table(std::min(entries, kLargestTableRead) * kTableEntryBytes);
    if (!table.empty() && !readAt(kDs64Offset + 8 + kDs64Bytes, table))
        return Failure{QStringLiteral("bloc « ds64 » illisible.")};
    for (std::size_t at = 0; at < table.size(); at += kTableEntryBytes) {
        Ds64::Entry entry;
        std::memcpy(entry.id.data(), &table[at], 4);
        entry.size = get64(&table[at + 4]);
        sizes.table.push_back(entry);
    }
    start.form = WaveStart::Form::Rf64;
    if (start.riffSizeField == kSizeInDs64)
        start.riffSize = sizes.riffSize;
    start.ds64 = std::move(sizes);
    return start;
}
