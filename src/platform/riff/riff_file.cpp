#include "platform/riff/riff_file.h"

#include "common/file_names.h"
#include "common/wave_format.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool RiffChunk::is(const char (&name)[5]) const
{
    return std::memcmp(id, name, 4) == 0;
}

std::uint64_t RiffChunk::end() const
{
    return dataOffset + size + (size & 1u);
}

bool RiffFile::open(const QString &path)
{
    close();
    // Opened without blocking and checked before any read: a FIFO would otherwise wait for a
    // writer forever, and a directory or a device has no RIFF chunks to walk.
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    std::FILE *file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return false;
    }
    m_file.reset(file);
    return true;
}

void RiffFile::close()
{
    m_file.reset();
}

std::optional<RiffChunk> RiffFile::readChunkHeader()
{
    std::uint8_t header[8];
    if (read(header) != 8)
        return std::nullopt;
    RiffChunk chunk;
    std::memcpy(chunk.id, header, 4);
    chunk.size = le::get32(header + 4);
    chunk.dataOffset = static_cast<std::uint64_t>(position());
    return chunk;
}

std::optional<RiffChunk> RiffFile::descendRiff(const char (&formType)[5])
{
    if (seek(0, Origin::Begin) != 0)
        return std::nullopt;
    auto chunk = readChunkHeader();
    if (!chunk || !chunk->is("RIFF"))
        return std::nullopt;
    std::uint8_t form[4];
    if (read(form) != 4 || std::memcmp(form, formType, 4) != 0)
        return std::nullopt;
    std::memcpy(chunk->formType, form, 4);
    return chunk;
}

std::optional<RiffChunk> RiffFile::descend(const char (&id)[5], const RiffChunk *parent)
{
    const std::uint64_t limit =
        parent ? parent->dataOffset + parent->size : static_cast<std::uint64_t>(size());
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
    return seek(static_cast<std::int64_t>(chunk.end()), Origin::Begin) >= 0;
}

std::int64_t RiffFile::read(std::span<std::uint8_t> bytes)
{
    if (!m_file)
        return -1;
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), m_file.get());
    if (got < bytes.size() && std::ferror(m_file.get()))
        return -1;
    return static_cast<std::int64_t>(got);
}

bool RiffFile::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes)
{
    const std::int64_t here = position();
    if (here < 0 || seek(static_cast<std::int64_t>(offset), Origin::Begin) < 0)
        return false;
    const bool whole = read(bytes) == static_cast<std::int64_t>(bytes.size());
    return seek(here, Origin::Begin) == here && whole;
}

std::int64_t RiffFile::seek(std::int64_t offset, Origin origin)
{
    if (!m_file)
        return -1;
    const int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    if (::fseeko(m_file.get(), offset, whence) != 0)
        return -1;
    return position();
}

std::int64_t RiffFile::position() const
{
    return m_file ? static_cast<std::int64_t>(::ftello(m_file.get())) : -1;
}

std::int64_t RiffFile::size() const
{
    if (!m_file)
        return -1;
    const off_t here = ::ftello(m_file.get());
    if (::fseeko(m_file.get(), 0, SEEK_END) != 0)
        return -1;
    const off_t end = ::ftello(m_file.get());
    ::fseeko(m_file.get(), here, SEEK_SET);
    return end;
}
