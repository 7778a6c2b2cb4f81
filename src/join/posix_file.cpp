#include "join/posix_file.h"

#include <QFile>

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
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); // a hint only; its result does not matter
    return PosixFile(fd);
}

PosixFile PosixFile::create(const QString &path)
{
    return PosixFile(::open(QFile::encodeName(path).constData(),
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
