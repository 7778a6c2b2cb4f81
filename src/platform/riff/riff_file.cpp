#include "platform/riff/riff_file.h"

#include "common/wave_format.h"

#include <cstring>
#include <limits>

bool RiffChunk::is(const char (&name)[5]) const
{
    return std::memcmp(id, name, 4) == 0;
}

std::uint64_t RiffChunk::end() const
{
    return saturatingAdd(dataOffset, saturatingAdd(size, size & 1u));
}

Status RiffFile::open(const QString &path)
{
    close();
    Result<File> file = File::openForReading(path);
    if (!file)
        return file.failure();
    m_file = std::move(*file);
    return {};
}

void RiffFile::close()
{
    (void)m_file.close(); // read only: closing has nothing to report
    m_position = 0;
    m_start = {};
    m_formProblem.clear();
}

std::optional<RiffChunk> RiffFile::readChunkHeader()
{
    std::uint8_t header[8];
    if (read(header) != 8)
        return std::nullopt;
    RiffChunk chunk;
    std::memcpy(chunk.id, header, 4);
    const std::uint32_t field = le::get32(header + 4);
    chunk.size = m_start.chunkSize(header, field);
    chunk.sizeFromDs64 = field == kSizeInDs64 && m_start.ds64 && m_start.ds64->sizeOf(header);
    chunk.dataOffset = static_cast<std::uint64_t>(position());
    return chunk;
}

std::optional<RiffChunk> RiffFile::descendRiff(const char (&formType)[5])
{
    m_start = {};
    m_formProblem.clear();
    const std::int64_t fileBytes = size();
    if (fileBytes < 0 || seek(0, Origin::Begin) != 0)
        return std::nullopt;
    const auto readBytes = [this](std::uint64_t offset, std::span<std::uint8_t> bytes) {
        return readAt(offset, bytes);
    };
    Result<WaveStart> start = readWaveStart(readBytes, static_cast<std::uint64_t>(fileBytes), formType);
    if (!start) {
        m_formProblem = start.reason();
        return std::nullopt;
    }
    if (start->form == WaveStart::Form::NotWave)
        return std::nullopt;
    m_start = std::move(*start);
    RiffChunk chunk;
    std::memcpy(chunk.id, m_start.id.data(), 4);
    chunk.size = m_start.riffSize;
    chunk.sizeFromDs64 = m_start.ds64 && m_start.riffSizeField == kSizeInDs64;
    // A writer to a pipe cannot come back to fill ds64: its RIFF size of 0 (or all ones)
    // stands for the rest of the file.
    if (chunk.sizeFromDs64 && (chunk.size == 0 || chunk.size == UINT64_MAX))
        chunk.size = static_cast<std::uint64_t>(fileBytes) - 8;
    chunk.dataOffset = 8;
    std::memcpy(chunk.formType, formType, 4);
    m_position = 12;
    return chunk;
}

std::optional<RiffChunk> RiffFile::descend(const char (&id)[5], const RiffChunk *parent)
{
    const std::uint64_t limit =
        parent ? saturatingAdd(parent->dataOffset, parent->size) : static_cast<std::uint64_t>(size());
    for (;;) {
        const std::int64_t here = position();
        if (here < 0 || static_cast<std::uint64_t>(here) + 8 > limit)
            return std::nullopt;
        auto chunk = readChunkHeader();
        if (!chunk)
            return std::nullopt;
        if (chunk->is(id))
            return chunk;
        if (!ascend(*chunk))
            return std::nullopt;
    }
}

bool RiffFile::ascend(const RiffChunk &chunk)
{
    const std::uint64_t end = chunk.end();
    return end <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) &&
           seek(static_cast<std::int64_t>(end), Origin::Begin) >= 0;
}

std::int64_t RiffFile::read(std::span<std::uint8_t> bytes)
{
    if (!m_file.isOpen())
        return -1;
    const Result<std::size_t> got = m_file.readAt(static_cast<std::uint64_t>(m_position), bytes);
    if (!got)
        return -1;
    m_position += static_cast<std::int64_t>(*got);
    return static_cast<std::int64_t>(*got);
}

bool RiffFile::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes)
{
    const Result<std::size_t> got = m_file.readAt(offset, bytes);
    return got && *got == bytes.size();
}

std::int64_t RiffFile::seek(std::int64_t offset, Origin origin)
{
    if (!m_file.isOpen())
        return -1;
    std::int64_t base = 0;
    if (origin == Origin::Current) {
        base = m_position;
    } else if (origin == Origin::End) {
        base = size();
        if (base < 0)
            return -1;
    }
    // As for lseek: a position past the end is allowed, one before the start is not.
    if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) || base + offset < 0)
        return -1;
    m_position = base + offset;
    return m_position;
}

std::int64_t RiffFile::position() const
{
    return m_file.isOpen() ? m_position : -1;
}

std::int64_t RiffFile::size() const
{
    const Result<std::uint64_t> length = m_file.length();
    return length ? static_cast<std::int64_t>(*length) : -1;
}
