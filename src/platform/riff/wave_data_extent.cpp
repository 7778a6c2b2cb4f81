#include "platform/riff/wave_data_extent.h"

#include "common/wave_format.h"
#include "platform/riff/wave_start.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr std::uint64_t kId3v1Bytes = 128;
constexpr std::uint64_t kId3v2HeaderBytes = 10;

bool isChunkId(const std::uint8_t *id)
{
    return std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

// The end of the chunk at offset (its pad byte may be missing at the end of the file), or
// nothing when no chunk that fits the file starts there.
std::optional<std::uint64_t> chunkEndAt(const ReadAt &readAt, std::uint64_t offset, std::uint64_t fileBytes)
{
    std::uint8_t header[8];
    if (offset + 8 > fileBytes || !readAt(offset, header) || !isChunkId(header))
        return std::nullopt;
    const std::uint32_t size = le::get32(header + 4);
    if (offset + 8 + size > fileBytes)
        return std::nullopt;
    return std::min<std::uint64_t>(offset + 8 + size + (size & 1u), fileBytes);
}

// The end of the ID3v2 tag at offset ("ID3", version 2 to 4, flags, a 28-bit size in four
// 7-bit bytes, a footer of 10 more bytes when flagged), or nothing.
std::optional<std::uint64_t> id3v2EndAt(const ReadAt &readAt, std::uint64_t offset, std::uint64_t fileBytes)
{
    std::uint8_t header[kId3v2HeaderBytes];
    if (offset + kId3v2HeaderBytes > fileBytes || !readAt(offset, header) || std::memcmp(header, "ID3", 3) != 0 ||
        header[3] < 2 || header[3] > 4 || header[4] == 0xFF)
        return std::nullopt;
    std::uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] & 0x80)
            return std::nullopt;
        size = size << 7 | header[i];
    }
    const std::uint64_t end = offset + kId3v2HeaderBytes + size + ((header[5] & 0x10) ? kId3v2HeaderBytes : 0);
    if (end > fileBytes)
        return std::nullopt;
    return end;
}

std::optional<std::uint64_t> metadataEndAt(const ReadAt &readAt, std::uint64_t offset, std::uint64_t fileBytes)
{
    if (const auto end = chunkEndAt(readAt, offset, fileBytes))
        return end;
    return id3v2EndAt(readAt, offset, fileBytes);
}

} // namespace

std::uint64_t soundEndOf(const ReadAt &readAt, std::uint64_t dataStart, std::uint64_t fileBytes)
{
    std::uint8_t tag[3];
    if (fileBytes >= dataStart + kId3v1Bytes && readAt(fileBytes - kId3v1Bytes, tag) && std::memcmp(tag, "TAG", 3) == 0)
        return fileBytes - kId3v1Bytes;
    return fileBytes;
}

FileTail scanFileTail(const ReadAt &readAt, std::uint64_t offset, std::uint64_t fileBytes)
{
    FileTail tail;
    if (offset >= fileBytes)
        return tail;
    const std::uint64_t tagStart = soundEndOf(readAt, offset, fileBytes);
    auto next = metadataEndAt(readAt, offset, fileBytes);
    if (!next && offset < tagStart) {
        tail.kind = FileTail::Kind::Sound;
        tail.soundEnd = tagStart;
        return tail;
    }
    std::uint64_t at = next ? *next : fileBytes;
    while (at < fileBytes && at != tagStart) {
        next = metadataEndAt(readAt, at, fileBytes);
        if (!next) {
            tail.kind = FileTail::Kind::Unclear;
            return tail;
        }
        at = *next;
    }
    tail.kind = FileTail::Kind::Metadata;
    return tail;
}

DataExtent dataExtentOf(const ReadAt &readAt, std::uint64_t dataStart, std::uint64_t declaredBytes,
                        std::uint64_t fileBytes, bool fromDs64)
{
    DataExtent extent{DataExtent::Kind::Declared, declaredBytes};
    const std::uint64_t present = fileBytes > dataStart ? fileBytes - dataStart : 0;
    const bool placeholder = fromDs64 ? declaredBytes == UINT64_MAX : declaredBytes >= kStreamingPlaceholderMin;
    if (placeholder) {
        // A placeholder: the sound runs to the end, be it before the size it gives or past it
        // (a stream of more than 4 GiB), unless chunks or tags follow the data where it says.
        const std::uint64_t declaredEnd = saturatingAdd(dataStart, saturatingAdd(declaredBytes, declaredBytes & 1u));
        if (declaredBytes > present ||
            scanFileTail(readAt, declaredEnd, fileBytes).kind == FileTail::Kind::Sound) {
            extent.kind = DataExtent::Kind::ToTheEnd;
            extent.bytes = soundEndOf(readAt, dataStart, fileBytes) - dataStart;
        }
    } else if (declaredBytes == 0 && present > 0) {
        const FileTail tail = scanFileTail(readAt, dataStart, fileBytes);
        if (tail.kind == FileTail::Kind::Sound) {
            extent.kind = DataExtent::Kind::ToTheEnd;
            extent.bytes = tail.soundEnd - dataStart;
        } else if (tail.kind == FileTail::Kind::Unclear) {
            extent.kind = DataExtent::Kind::Unclear;
        }
    }
    return extent;
}
