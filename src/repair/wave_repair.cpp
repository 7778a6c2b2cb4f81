#include "repair/wave_repair.h"

#include "common/wave_format.h"
#include "platform/files/file.h"
#include "platform/riff/wave_data_extent.h"

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
    std::uint32_t size = 0;
    std::array<std::uint8_t, 4> id{};
    bool is(const char (&name)[5]) const { return std::memcmp(id.data(), name, 4) == 0; }
    std::uint64_t dataOffset() const { return offset + 8; }
    std::uint64_t end() const { return dataOffset() + size + (size & 1u); }
};

std::optional<Chunk> chunkAt(const File &file, std::uint64_t offset, std::uint64_t fileBytes)
{
    std::uint8_t header[8];
    if (offset + 8 > fileBytes || !readAt(file, offset, header) || !isChunkId(header))
        return std::nullopt;
    Chunk chunk;
    chunk.offset = offset;
    std::memcpy(chunk.id.data(), header, 4);
    chunk.size = le::get32(header + 4);
    return chunk;
}

struct Layout {
    std::uint16_t formatTag = 0;
    std::uint16_t blockAlign = 0;
    std::uint32_t samplesPerBlock = 0; // per channel; 0 when the data size does not tell the count
    std::optional<Chunk> fact;
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
std::optional<Layout> readLayout(const File &file, std::uint64_t fileBytes, WaveRepairOutcome &why)
{
    std::uint8_t riff[12];
    if (!readAt(file, 0, riff) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        why = WaveRepairOutcome::NotWave;
        return std::nullopt;
    }
    Layout layout;
    bool haveFormat = false;
    std::uint64_t offset = 12;
    for (;;) {
        if (offset + 8 > fileBytes) {
            why = WaveRepairOutcome::NoData;
            return std::nullopt;
        }
        const std::optional<Chunk> chunk = chunkAt(file, offset, fileBytes);
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
        if (chunk->is("fmt ") && chunk->size >= 16) {
            std::vector<std::uint8_t> format(std::min<std::uint32_t>(chunk->size, 64));
            if (!readAt(file, chunk->dataOffset(), format)) {
                why = WaveRepairOutcome::NotWave;
                return std::nullopt;
            }
            layout.formatTag = le::get16(format.data());
            layout.blockAlign = le::get16(format.data() + 12);
            layout.samplesPerBlock = samplesPerBlockOf(layout.formatTag, format);
            haveFormat = true;
        } else if (chunk->is("fact") && chunk->size >= 4) {
            layout.fact = *chunk;
        }
        offset = chunk->end();
    }
    if (!haveFormat || layout.blockAlign == 0) {
        why = WaveRepairOutcome::NoFormat;
        return std::nullopt;
    }
    return layout;
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

    WaveRepairOutcome why = WaveRepairOutcome::NotWave;
    const std::optional<Layout> layout = readLayout(file, fileBytes, why);
    if (!layout) {
        report.outcome = why;
        return report;
    }
    std::uint8_t riffSizeField[4];
    if (!readAt(file, 4, riffSizeField)) {
        report.outcome = WaveRepairOutcome::NotWave;
        return report;
    }
    const std::uint32_t riffSize = le::get32(riffSizeField);
    const Chunk &data = layout->data;
    const std::uint64_t dataStart = data.dataOffset();
    const std::uint64_t present = fileBytes - dataStart;
    report.previousDataBytes = data.size;

    const ReadAt readBytes = [&file](std::uint64_t offset, std::span<std::uint8_t> bytes) {
        return readAt(file, offset, bytes);
    };
    const std::uint64_t declaredEnd = std::min(data.end(), fileBytes);
    // What follows the data as its size has it decides. Chunks and tags that another program
    // put there (LIST, id3, ID3v1...) mean the size is right; sound means the recording went on
    // after the header's last update, and is taken in; bytes that begin like a chunk or a tag
    // but are none are not taken for sound either.
    const FileTail tail = data.size <= present
                              ? scanFileTail(readBytes, declaredEnd, fileBytes)
                              : FileTail{FileTail::Kind::Sound, soundEndOf(readBytes, dataStart, fileBytes)};
    std::uint64_t dataBytes = data.size;
    std::uint64_t riffEnd = riffSize + 8ull;
    if (tail.kind == FileTail::Kind::Sound) {
        // Whole blocks only, and no more than the 32-bit sizes can describe.
        const std::uint64_t largest = std::min(tail.soundEnd - dataStart, kLargestSize + 8 - dataStart - 1);
        dataBytes = largest / layout->blockAlign * layout->blockAlign;
        const bool padPresent = (dataBytes & 1u) && dataStart + dataBytes < fileBytes;
        riffEnd = dataStart + dataBytes + (padPresent ? 1 : 0);
        // Left-over bytes that read as chunks are taken in as a second repair would take them,
        // so that a repaired file needs no further repair; a closing ID3v1 tag stays outside.
        const std::uint64_t tagStart = soundEndOf(readBytes, riffEnd, fileBytes);
        if (riffEnd < tagStart && scanFileTail(readBytes, riffEnd, tagStart).kind == FileTail::Kind::Metadata)
            riffEnd = tagStart;
    } else if (riffEnd < declaredEnd || riffEnd > fileBytes + 1) {
        // The data size holds. A RIFF size that ends anywhere from the data's end to the file's
        // end (a last pad byte may be missing) is left alone: programs put their chunks and tags
        // inside or after it. One that does not even cover the data, or runs past the file, is
        // made to cover the chunks that follow.
        riffEnd = tail.kind == FileTail::Kind::Unclear ? declaredEnd : soundEndOf(readBytes, declaredEnd, fileBytes);
    }
    report.dataBytes = static_cast<std::uint32_t>(dataBytes);
    const auto newRiffSize = static_cast<std::uint32_t>(riffEnd - 8);

    // The fact chunk's sample count follows the data when the format fixes the samples per
    // block; a count that the data still covers is kept (it may leave out a last block's padding).
    std::optional<std::uint32_t> factCount;
    std::uint32_t oldFactCount = 0;
    if (layout->fact && layout->samplesPerBlock && dataBytes != data.size) {
        std::uint8_t field[4];
        if (!readAt(file, layout->fact->dataOffset(), field)) {
            report.outcome = WaveRepairOutcome::NotWave;
            return report;
        }
        oldFactCount = le::get32(field);
        const std::uint64_t covered = dataBytes / layout->blockAlign * layout->samplesPerBlock;
        const auto count = static_cast<std::uint32_t>(std::min(covered, kLargestSize));
        if (oldFactCount == 0 || oldFactCount > count)
            factCount = count;
    }

    if (newRiffSize == riffSize && dataBytes == data.size && !factCount) {
        report.outcome = WaveRepairOutcome::AlreadyRight;
        return report;
    }
    Status written;
    if (newRiffSize != riffSize)
        written = write32At(file, 4, newRiffSize);
    if (written && dataBytes != data.size)
        written = write32At(file, data.offset + 4, report.dataBytes);
    if (written && factCount)
        written = write32At(file, layout->fact->dataOffset(), *factCount);
    if (written)
        written = file.sync();
    if (written)
        written = file.close();
    if (!written) {
        report.reason = written.reason();
        report.outcome = WaveRepairOutcome::WriteFailed;
        return report;
    }
    report.outcome = WaveRepairOutcome::Repaired;
    return report;
}
