#include "platform/files/output_file.h"

#include "common/file_names.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

OutputFile::~OutputFile()
{
    close();
}

bool OutputFile::create(const QString &path)
{
    close();
    const QByteArray name = fileNameBytes(path);
    int fd;
    do
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    m_fd = fd;
    m_path = path;
    return true;
}

std::int64_t OutputFile::append(std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0)
        return -1;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done ? static_cast<std::int64_t>(done) : -1;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool OutputFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::isSeekable() const
{
    return m_fd >= 0 && ::lseek(m_fd, 0, SEEK_CUR) >= 0;
}

std::int64_t OutputFile::length() const
{
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0)
        return -1;
    return info.st_size;
}

bool OutputFile::sync()
{
    return m_fd >= 0 && ::fdatasync(m_fd) == 0;
}

bool OutputFile::close()
{
    if (m_fd < 0)
        return true;
    const int result = ::close(m_fd);
    m_fd = -1;
    m_path.clear();
    return result == 0;
}
