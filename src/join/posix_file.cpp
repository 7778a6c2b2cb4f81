#include "join/posix_file.h"

#include "common/file_names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

PosixFile::~PosixFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

PosixFile::PosixFile(PosixFile &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

PosixFile &PosixFile::operator=(PosixFile &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

PosixFile PosixFile::openForReading(const QString &path)
{
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); // a hint only; its result does not matter
    return PosixFile(fd);
}

PosixFile PosixFile::create(const QString &path)
{
    return PosixFile(::open(fileNameBytes(path).constData(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

bool PosixFile::seekTo(std::int64_t offset)
{
    return m_fd >= 0 && ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) == offset;
}

std::int64_t PosixFile::read(std::span<std::uint8_t> bytes)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const ssize_t got = ::read(m_fd, bytes.data(), bytes.size());
        if (got >= 0)
            return got;
        if (errno != EINTR)
            return -1;
    }
}

bool PosixFile::writeAll(std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t put = ::write(m_fd, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0) {
            errno = EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(put));
    }
    return true;
}

bool PosixFile::close()
{
    if (m_fd < 0)
        return true;
    const int fd = std::exchange(m_fd, -1);
    return ::close(fd) == 0;
}

QString lastSystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

CopyResult copyRangeThroughBuffer(PosixFile &from, std::int64_t offset, std::int64_t bytes,
                                  PosixFile &to, std::span<std::uint8_t> buffer)
{
    if (buffer.empty()) {
        errno = EINVAL;
        return CopyResult::ReadFailed;
    }
    if (!from.seekTo(offset))
        return CopyResult::ReadFailed;
    while (bytes > 0) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(bytes, static_cast<std::int64_t>(buffer.size())));
        const std::int64_t got = from.read(buffer.first(want));
        if (got < 0)
            return CopyResult::ReadFailed;
        if (got == 0)
            return CopyResult::SourceEnded;
        if (!to.writeAll(buffer.first(static_cast<std::size_t>(got))))
            return CopyResult::WriteFailed;
        bytes -= got;
    }
    return CopyResult::Done;
}

CopyResult copyRange(PosixFile &from, std::int64_t offset, std::int64_t bytes, PosixFile &to,
                     std::span<std::uint8_t> buffer)
{
    constexpr std::int64_t kLargestStep = std::int64_t(1) << 30;
    while (bytes > 0) {
        loff_t sourceOffset = static_cast<loff_t>(offset);
        const ssize_t copied =
            ::copy_file_range(from.descriptor(), &sourceOffset, to.descriptor(), nullptr,
                              static_cast<std::size_t>(std::min(bytes, kLargestStep)), 0);
        if (copied > 0) {
            offset += copied;
            bytes -= copied;
            continue;
        }
        if (copied == 0)
            return CopyResult::SourceEnded;
        if (errno == EINTR)
            continue;
        // The kernel cannot copy between these two files: the buffer does the rest.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF || errno == EPERM || errno == ETXTBSY)
            break;
        // Which side failed is not told; a full disk or a quota is the usual cause.
        return errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? CopyResult::WriteFailed
                                                                   : CopyResult::ReadFailed;
    }
    if (bytes == 0)
        return CopyResult::Done;
    return copyRangeThroughBuffer(from, offset, bytes, to, buffer);
}
