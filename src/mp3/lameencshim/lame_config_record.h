// The LAME configuration record that the converter hands to the encoder library: 331 bytes,
// little-endian, its fields at fixed offsets and the rest reserved (zero). Both sides use this
// one description: the converter writes the record (cLameEncoder), the shim library reads it.
// The list of fields in forEachField() is the layout; reading and writing both walk it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

constexpr std::size_t kLameConfigRecordBytes = 331;
constexpr std::uint32_t kLameConfigKind = 256; // the record's first field: a LAME configuration

struct LameConfigRecord {
    std::uint32_t config = 0;         // kLameConfigKind
    std::uint32_t structVersion = 0;  // 1
    std::uint32_t structSize = 0;     // kLameConfigRecordBytes
    std::uint32_t sampleRate = 0;     // input rate, Hz
    std::uint32_t reSampleRate = 0;   // output rate, 0 = the library decides
    std::int32_t mode = 0;            // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::uint32_t bitrate = 0;        // kbit/s (minimum for VBR)
    std::uint32_t maxBitrate = 0;
    std::int32_t preset = 0;          // the encoding preset, -1 for none
    std::uint32_t mpegVersion = 0;
    std::uint32_t psyModel = 0;
    std::uint32_t emphasis = 0;
    std::uint32_t privateBit = 0;
    std::uint32_t crc = 0;
    std::uint32_t copyright = 0;
    std::uint32_t original = 0;
    std::uint32_t writeVbrHeader = 0;
    std::uint32_t enableVbr = 0;
    std::int32_t vbrQuality = 0;
    std::uint32_t vbrAbrBps = 0;
    std::int32_t vbrMethod = 0;
    std::uint32_t noReservoir = 0;
    std::uint32_t strictIso = 0;
    std::uint16_t quality = 0;        // low byte the level, high byte its complement
};

namespace lame_config_detail {

// Calls visit(offset, field) for every field of the record, in the record's order.
template <typename Record, typename Visit>
void forEachField(Record &r, Visit visit)
{
    visit(0, r.config);
    visit(4, r.structVersion);
    visit(8, r.structSize);
    visit(12, r.sampleRate);
    visit(16, r.reSampleRate);
    visit(20, r.mode);
    visit(24, r.bitrate);
    visit(28, r.maxBitrate);
    visit(32, r.preset);
    visit(36, r.mpegVersion);
    visit(40, r.psyModel);
    visit(44, r.emphasis);
    visit(48, r.privateBit);
    visit(52, r.crc);
    visit(56, r.copyright);
    visit(60, r.original);
    visit(64, r.writeVbrHeader);
    visit(68, r.enableVbr);
    visit(72, r.vbrQuality);
    visit(76, r.vbrAbrBps);
    visit(80, r.vbrMethod);
    visit(84, r.noReservoir);
    visit(88, r.strictIso);
    visit(92, r.quality);
}

} // namespace lame_config_detail

inline LameConfigRecord readLameConfigRecord(std::span<const std::uint8_t, kLameConfigRecordBytes> bytes)
{
    LameConfigRecord record;
    lame_config_detail::forEachField(record, [&bytes](std::size_t offset, auto &field) {
        using Field = std::remove_reference_t<decltype(field)>;
        std::make_unsigned_t<Field> value = 0;
        for (std::size_t i = 0; i < sizeof(Field); ++i)
            value |= static_cast<std::make_unsigned_t<Field>>(bytes[offset + i]) << (8 * i);
        field = static_cast<Field>(value);
    });
    return record;
}

inline std::array<std::uint8_t, kLameConfigRecordBytes> writeLameConfigRecord(const LameConfigRecord &record)
{
    std::array<std::uint8_t, kLameConfigRecordBytes> bytes{};
    lame_config_detail::forEachField(record, [&bytes](std::size_t offset, const auto &field) {
        using Field = std::remove_cvref_t<decltype(field)>;
        const auto value = static_cast<std::make_unsigned_t<Field>>(field);
        for (std::size_t i = 0; i < sizeof(Field); ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    });
    return bytes;
}
