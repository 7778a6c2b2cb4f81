#include "repair/wave_repair.h"

#include "common/wave_format.h"
#include "platform/files/file.h"
#include "platform/riff/wave_data_extent.h"
#include "platform/riff/wave_start.h"

#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr std::uint64_t kLargestSize = 0xFFFFFFFFull;

// Reads exactly bytes.size() bytes at offset; false on an error or the end of the file.
bool readAt(const File &file, std::uint64_t offset, std::span<std::uint8_t> bytes)
{
    const Result<std::size_t> got = file.readAt(offset, bytes);
    return got && *got == bytes.size();
}

Status write32At(File &file, std::uint64_t offset, std::uint32_t value)
{
    std::vector<std::uint8_t> bytes;
    le::put32(bytes, value);
    return file.writeAt(offset, bytes);
}

bool isChunkId(const std::uint8_t *id)
{
    for (int i = 0; i < 4; ++i)
        if (id[i] < 0x20 || id[i] > 0x7E)
            return false;
    return true;
}

struct Chunk {
    std::uint64_t offset = 0; // of its identifier
    std::uint32_t sizeField = 0;
    std::uint64_t size = 0;   // the field, or in an RF64 file ds64's
    std::array<std::uint8_t, 4> id{};
    bool is(const char (&name)[5]) const { return std::memcmp(id.data(), name, 4) == 0; }
    std::uint64_t dataOffset() const { return offset + 8; }
    std::uint64_t end() const { return saturatingAdd(dataOffset(), saturatingAdd(size, size & 1u)); }
};

std::optional<Chunk> chunkAt(const File &file, const WaveStart &start, std::uint64_t offset, std::uint64_t fileBytes)
{
    std::uint8_t header[8];
    if (offset + 8 > fileBytes || !readAt(file, offset, header) || !isChunkId(header))
        return std::nullopt;
    Chunk chunk;
    chunk.offset = offset;
    std::memcpy(chunk.id.data(), header, 4);
    chunk.sizeField = le::get32(header + 4);
    chunk.size = start.chunkSize(header, chunk.sizeField);
    return chunk;
}

struct Layout {
    std::uint16_t formatTag = 0;
    std::uint16_t blockAlign = 0;
    std::uint32_t samplesPerBlock = 0; // per channel; 0 when the data size does not tell the count
    std::optional<Chunk> fact;
    std::uint32_t factCount = 0;
    bool ds64Reserved = false; // a RIFF file whose first chunk is the 28-byte JUNK room of ds64
    Chunk data;
};

// Samples per channel in one block, for the formats where that is fixed by the format chunk.
std::uint32_t samplesPerBlockOf(std::uint16_t tag, std::span<const std::uint8_t> format)
{
    constexpr std::uint16_t kPcm = 1, kFloat = 3, kALaw = 6, kMuLaw = 7;
    constexpr std::uint16_t kMsAdpcm = 2, kImaAdpcm = 0x11, kGsm610 = 0x31;
    if (tag == kPcm || tag == kFloat || tag == kALaw || tag == kMuLaw)
        return 1;
    // These codecs give the count after the extra-size field.
    if ((tag == kMsAdpcm || tag == kImaAdpcm || tag == kGsm610) && format.size() >= 20 &&
        le::get16(format.data() + 16) >= 2)
        return le::get16(format.data() + 18);
    return 0;
}

// Walks the chunks before the data: they must lie within the file, with the format among them.
std::optional<Layout> readLayout(const File &file, const WaveStart &start, std::uint64_t fileBytes,
                                 WaveRepairOutcome &why)
{
    Layout layout;
    bool haveFormat = false;
    std::uint64_t offset = kDs64Offset;
    for (;;) {
        if (offset + 8 > fileBytes) {
            why = WaveRepairOutcome::NoData;
            return std::nullopt;
        }
        const std::optional<Chunk> chunk = chunkAt(file, start, offset, fileBytes);
        if (!chunk) {
            why = WaveRepairOutcome::NotWave;
            return std::nullopt;
        }
        if (chunk->is("data")) {
            layout.data = *chunk;
            break;
        }
        if (chunk->end() > fileBytes) {
            why = WaveRepairOutcome::NotWave;
            return std::nullopt;
        }
        if (offset == kDs64Offset && chunk->is("JUNK") && chunk->size == kDs64Bytes &&
            start.form == WaveStart::Form::Riff)
            layout.ds64Reserved = true;
        if (chunk->is("fmt ") && chunk->size >= 16) {
            std::vector<std::uint8_t> format(static_cast<std::size_t>(std::min<std::uint64_t>(chunk->size, 64)));
            if (!readAt(file, chunk->dataOffset(), format)) {
                why = WaveRepairOutcome::NotWave;
                return std::nullopt;
            }
            layout.formatTag = le::get16(format.data());
            layout.blockAlign = le::get16(format.data() + 12);
            layout.samplesPerBlock = samplesPerBlockOf(layout.formatTag, format);
            haveFormat = true;
        } else if (chunk->is("fact") && chunk->size >= 4) {
            std::uint8_t count[4];
            if (!readAt(file, chunk->dataOffset(), count)) {
                why = WaveRepairOutcome::NotWave;
                return std::nullopt;
            }
            layout.fact = *chunk;
            layout.factCount = le::get32(count);
        }
        offset = chunk->end();
    }
    if (!haveFormat || layout.blockAlign == 0) {
        why = WaveRepairOutcome::NoFormat;
        return std::nullopt;
    }
    return layout;
}

// The sizes a repaired header gives.
struct Sizes {
    std::uint64_t riffEnd = 0; // where the RIFF chunk ends: its size is this minus 8
    std::uint64_t dataBytes = 0;
};

// Where the sound ends and what the RIFF chunk covers, as the file is; the data size stops at
// largestData.
Sizes measure(const File &file, const Layout &layout, std::uint64_t riffSize, std::uint64_t fileBytes,
              std::uint64_t largestData)
{
    const ReadAt readBytes = [&file](std::uint64_t offset, std::span<std::uint8_t> bytes) {
        return readAt(file, offset, bytes);
    };
    const Chunk &data = layout.data;
    const std::uint64_t dataStart = data.dataOffset();
    const std::uint64_t present = fileBytes - dataStart;
    const std::uint64_t declaredEnd = std::min(data.end(), fileBytes);
    // What follows the data as its size has it decides. Chunks and tags that another program
    // put there (LIST, id3, ID3v1...) mean the size is right; sound means the recording went on
    // after the header's last update, and is taken in; bytes that begin like a chunk or a tag
    // but are none are not taken for sound either.
    const FileTail tail = data.size <= present
                              ? scanFileTail(readBytes, declaredEnd, fileBytes)
                              : FileTail{FileTail::Kind::Sound, soundEndOf(readBytes, dataStart, fileBytes)};
    Sizes sizes{saturatingAdd(riffSize, 8), data.size};
    if (tail.kind == FileTail::Kind::Sound) {
        // Whole blocks only, and no more than the sizes can describe.
        const std::uint64_t largest = std::min(tail.soundEnd - dataStart, largestData);
        sizes.dataBytes = largest / layout.blockAlign * layout.blockAlign;
        const bool padPresent = (sizes.dataBytes & 1u) && dataStart + sizes.dataBytes < fileBytes;
        sizes.riffEnd = dataStart + sizes.dataBytes + (padPresent ? 1 : 0);
        // Left-over bytes that read as chunks are taken in as a second repair would take them,
        // so that a repaired file needs no further repair; a closing ID3v1 tag stays outside.
        const std::uint64_t tagStart = soundEndOf(readBytes, sizes.riffEnd, fileBytes);
        if (sizes.riffEnd < tagStart &&
            scanFileTail(readBytes, sizes.riffEnd, tagStart).kind == FileTail::Kind::Metadata)
            sizes.riffEnd = tagStart;
    } else if (sizes.riffEnd < declaredEnd || sizes.riffEnd > fileBytes + 1) {
        // The data size holds. A RIFF size that ends anywhere from the data's end to the file's
        // end (a last pad byte may be missing) is left alone: programs put their chunks and tags
        // inside or after it. One that does not even cover the data, or runs past the file, is
        // made to cover the chunks that follow.
        sizes.riffEnd =
            tail.kind == FileTail::Kind::Unclear ? declaredEnd : soundEndOf(readBytes, declaredEnd, fileBytes);
    }
    return sizes;
}

// The samples per channel that dataBytes hold, when the format fixes them per block: the count
// given is kept when it lies within the last block (it may leave out that block's padding).
std::optional<std::uint64_t> sampleCountFor(const Layout &layout, std::uint64_t dataBytes, std::uint64_t given)
{
    if (!layout.samplesPerBlock)
        return std::nullopt;
    const std::uint64_t covered = dataBytes / layout.blockAlign * layout.samplesPerBlock;
    if (given <= covered && given + layout.samplesPerBlock > covered && given != 0)
        return given;
    return covered;
}

std::vector<std::uint8_t> ds64Sizes(std::uint64_t riffSize, std::uint64_t dataBytes, std::uint64_t sampleCount)
{
    std::vector<std::uint8_t> bytes;
    for (const std::uint64_t value : {riffSize, dataBytes, sampleCount}) {
        le::put32(bytes, static_cast<std::uint32_t>(value));
        le::put32(bytes, static_cast<std::uint32_t>(value >> 32));
    }
    return bytes;
}

Status writeTag(File &file, std::uint64_t offset, const char (&tag)[5])
{
    return file.writeAt(offset, std::span(reinterpret_cast<const std::uint8_t *>(tag), 4));
}

// The new sizes of an RF64 file go to ds64; its 32-bit fields say to look there.
Status writeRf64Sizes(File &file, const WaveStart &start, const Layout &layout, const Sizes &sizes,
                      std::uint64_t sampleCount)
{
    constexpr std::uint64_t kDs64SizesOffset = kDs64Offset + 8;
    Status written = file.writeAt(kDs64SizesOffset, ds64Sizes(sizes.riffEnd - 8, sizes.dataBytes, sampleCount));
    if (written && layout.data.sizeField != kSizeInDs64)
        written = write32At(file, layout.data.offset + 4, kSizeInDs64);
    if (written && start.riffSizeField != kSizeInDs64)
        written = write32At(file, 4, kSizeInDs64);
    return written;
}

// A RIFF file past 4 GiB becomes RF64 where its JUNK chunk kept the room. Each step leaves a
// file that readers take right, should the repair itself be cut off: ds64's sizes go into the
// JUNK chunk first, then the data size says to look in ds64 (until the last step, a
// placeholder: the sound runs to the end), then the JUNK chunk becomes ds64 and last the
// header RF64.
Status turnIntoRf64(File &file, const Layout &layout, const Sizes &sizes, std::uint64_t sampleCount)
{
    std::vector<std::uint8_t> body = ds64Sizes(sizes.riffEnd - 8, sizes.dataBytes, sampleCount);
    le::put32(body, 0); // no table
    Status written = file.writeAt(kDs64Offset + 8, body);
    if (written)
        written = write32At(file, layout.data.offset + 4, kSizeInDs64);
    if (written)
        written = writeTag(file, kDs64Offset, "ds64");
    if (written) {
        std::vector<std::uint8_t> form{'R', 'F', '6', '4'};
        le::put32(form, kSizeInDs64);
        written = file.writeAt(0, form);
    }
    return written;
}

// Writes the sizes of a file that is or becomes RF64; nothing when they are right already.
std::optional<Status> repairRf64(File &file, const WaveStart &start, const Layout &layout, const Sizes &sizes,
                                 bool becomeRf64)
{
    const bool rf64 = start.form == WaveStart::Form::Rf64;
    const std::uint64_t givenCount = rf64 ? start.ds64->sampleCount : 0;
    const bool sizesHold = rf64 && sizes.riffEnd - 8 == start.riffSize && sizes.dataBytes == layout.data.size;
    if (sizesHold)
        return std::nullopt; // the count is the writer's: it may leave out a last block's padding
    const std::uint64_t sampleCount = sampleCountFor(layout, sizes.dataBytes, givenCount).value_or(givenCount);
    return becomeRf64 ? turnIntoRf64(file, layout, sizes, sampleCount)
                      : writeRf64Sizes(file, start, layout, sizes, sampleCount);
}

// Writes the 32-bit sizes of a RIFF file; nothing when they are right already.
std::optional<Status> repairRiff(File &file, const WaveStart &start, const Layout &layout, const Sizes &sizes)
{
    const Chunk &data = layout.data;
    const std::uint32_t riffSize = start.riffSizeField;
    const auto newRiffSize = static_cast<std::uint32_t>(sizes.riffEnd - 8);
    // The fact chunk's sample count follows the data when the format fixes the samples per
    // block; a count that the data still covers is kept (it may leave out a last block's
    // padding).
    std::optional<std::uint32_t> factCount;
    if (layout.fact && layout.samplesPerBlock && sizes.dataBytes != data.size) {
        const std::uint64_t covered = sizes.dataBytes / layout.blockAlign * layout.samplesPerBlock;
        const auto count = static_cast<std::uint32_t>(std::min(covered, kLargestSize));
        if (layout.factCount == 0 || layout.factCount > count)
            factCount = count;
    }
    if (newRiffSize == riffSize && sizes.dataBytes == data.size && !factCount)
        return std::nullopt;
    Status written;
    if (newRiffSize != riffSize)
        written = write32At(file, 4, newRiffSize);
    if (written && sizes.dataBytes != data.size)
        written = write32At(file, data.offset + 4, static_cast<std::uint32_t>(sizes.dataBytes));
    if (written && factCount)
        written = write32At(file, layout.fact->dataOffset(), *factCount);
    return written;
}

} // namespace

WaveRepairReport repairWaveFile(const QString &path)
{
    WaveRepairReport report;
    Result<File> opened = File::openForUpdate(path);
    if (!opened) {
        report.reason = opened.reason();
        report.outcome = File::isFolderOrDevice(path) ? WaveRepairOutcome::NotAFile : WaveRepairOutcome::CannotOpen;
        return report;
    }
    File &file = *opened;
    const Result<std::uint64_t> length = file.length();
    if (!length) {
        report.reason = length.reason();
        return report;
    }
    const std::uint64_t fileBytes = *length;

    const ReadAt readBytes = [&file](std::uint64_t offset, std::span<std::uint8_t> bytes) {
        return readAt(file, offset, bytes);
    };
    const Result<WaveStart> start = readWaveStart(readBytes, fileBytes);
    if (!start) {
        report.reason = start.reason();
        report.outcome = WaveRepairOutcome::BadDs64;
        return report;
    }
    if (start->form == WaveStart::Form::NotWave) {
        report.outcome = WaveRepairOutcome::NotWave;
        return report;
    }
    WaveRepairOutcome why = WaveRepairOutcome::NotWave;
    const std::optional<Layout> layout = readLayout(file, *start, fileBytes, why);
    if (!layout) {
        report.outcome = why;
        return report;
    }
    const bool rf64 = start->form == WaveStart::Form::Rf64;
    const Chunk &data = layout->data;
    report.previousDataBytes = data.size;

    // RF64 describes any size; RIFF 32 bits of them, unless it kept the room to become RF64.
    const std::uint64_t dataStart = data.dataOffset();
    const bool mayGrow = rf64 || layout->ds64Reserved;
    const std::uint64_t largestData = mayGrow ? UINT64_MAX : kLargestSize + 8 - dataStart - 1;
    Sizes sizes = measure(file, *layout, start->riffSize, fileBytes, largestData);
    if (!mayGrow)
        sizes.riffEnd = std::min(sizes.riffEnd, kLargestSize + 8);
    report.dataBytes = sizes.dataBytes;
    report.becameRf64 = !rf64 && (sizes.riffEnd - 8 > kLargestSize || sizes.dataBytes > kLargestSize);

    std::optional<Status> written = rf64 || report.becameRf64 ? repairRf64(file, *start, *layout, sizes, report.becameRf64)
                                                              : repairRiff(file, *start, *layout, sizes);
    if (!written) {
        report.outcome = WaveRepairOutcome::AlreadyRight;
        return report;
    }
    if (*written)
        written = file.sync();
    if (*written)
        written = file.close();
    if (!*written) {
        report.reason = written->reason();
        report.outcome = WaveRepairOutcome::WriteFailed;
        return report;
    }
    report.outcome = WaveRepairOutcome::Repaired;
    return report;
}
