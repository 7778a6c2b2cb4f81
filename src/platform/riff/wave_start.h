// The start of a WAVE file, in its three forms: "RIFF" with 32-bit sizes, and "RF64" (EBU Tech
// 3306) or "BW64" (ITU-R BS.2088), the same layout with 64-bit sizes. In these two, the RIFF
// size field and the size field of any large chunk say 0xFFFFFFFF, and the real sizes are in
// a "ds64" chunk that comes first after "WAVE":
//
//   12 "ds64", 16 its size (28 + 12 x table length), 20 RIFF size (64-bit), 28 data size
//   (64-bit), 36 sample count (64-bit), 44 table length (32-bit), 48 the table: for each
//   entry a chunk id (4 bytes) and its size (64-bit).
//
// A recorder that may pass 4 GiB starts the file as RIFF with a 28-byte "JUNK" chunk in ds64's
// place, and turns it into ds64 when the file grows past what 32 bits describe.
//
// Readers (through RiffFile) and the repair (through its File) read it with the same rules.
#pragma once

#include "common/result.h"
#include "platform/riff/wave_data_extent.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The 32-bit size field of RF64 that says "see ds64".
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;
// The room of a ds64 chunk without table, its id and size field excluded.
constexpr std::uint32_t kDs64Bytes = 28;
// Where ds64 (or the JUNK reservation that becomes it) lies: right after "WAVE".
constexpr std::uint64_t kDs64Offset = 12;

struct Ds64 {
    std::uint32_t chunkBytes = 0; // its size field
    std::uint64_t riffSize = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t sampleCount = 0;
    struct Entry {
        std::array<std::uint8_t, 4> id{};
        std::uint64_t size = 0;
    };
    std::vector<Entry> table; // the sizes of other chunks than data

    // The real size of the chunk `id` whose size field says 0xFFFFFFFF: the data size for
    // "data", a table entry for any other; nothing when ds64 does not give one.
    std::optional<std::uint64_t> sizeOf(const std::uint8_t *id) const;
};

struct WaveStart {
    enum class Form {
        NotWave, // none of the three forms, or another form type than the one asked
        Riff,
        Rf64,    // RF64 or BW64, with its ds64
    };
    Form form = Form::NotWave;
    std::array<std::uint8_t, 4> id{};   // "RIFF", "RF64" or "BW64"
    std::uint32_t riffSizeField = 0;    // as written
    std::uint64_t riffSize = 0;         // the field, or ds64's when it says 0xFFFFFFFF
    std::optional<Ds64> ds64;           // for Rf64

    // The size of a chunk whose size field says sizeField: the field, unless it is
    // 0xFFFFFFFF in an RF64 file and ds64 gives the chunk's size.
    std::uint64_t chunkSize(const std::uint8_t *id, std::uint32_t sizeField) const;
};

// Reads the first bytes of a file of fileBytes bytes: the form, its size and the form type
// ("WAVE"). A file that shows none of the three forms with that type is Form::NotWave, no
// failure; an RF64 or BW64 file whose ds64 is missing, cut short or whose table runs past it
// is a failure that says so in French (without the file's name).
Result<WaveStart> readWaveStart(const ReadAt &readAt, std::uint64_t fileBytes, const char (&formType)[5] = "WAVE");

// a + b, or the largest value where the sum would not fit: 64-bit sizes that a file may claim
// must never wrap an offset round to the start of the file.
constexpr std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}
