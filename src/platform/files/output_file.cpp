#include "platform/files/output_file.h"

#include "common/file_names.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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

bool OutputFile::createForRecording(const QString &path, bool exclusive)
{
    close();
    const QByteArray name = fileNameBytes(path);
    // Non-blocking: opening a pipe nobody reads fails at once (ENXIO) instead of waiting.
    const int flags = O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (exclusive ? O_EXCL : 0);
    int fd;
    do
        fd = ::open(name.constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENXIO)
            errno = ESPIPE;
        return false;
    }
    const auto fail = [fd](int error) {
        ::close(fd);
        errno = error;
        return false;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fail(errno);
    if (S_ISDIR(info.st_mode))
        return fail(EISDIR);
    if (!S_ISREG(info.st_mode))
        return fail(ESPIPE);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0)
        return fail(errno);
    m_fd = fd;
    m_path = path;
    return true;
}

namespace {

bool lockedForRecording(const QByteArray &name)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // lets go of the lock it may have taken
    return locked;
}

} // namespace

int OutputFile::recordingCreationProblem(const QString &path, bool exclusive)
{
    const QByteArray name = fileNameBytes(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return EISDIR;
        if (!S_ISREG(info.st_mode))
            return ESPIPE;
        if (exclusive)
            return EEXIST;
        if (::access(name.constData(), W_OK) != 0)
            return errno;
        return lockedForRecording(name) ? EBUSY : 0;
    }
    if (errno != ENOENT)
        return errno;
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
    if (::stat(folder.constData(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    return ::access(folder.constData(), W_OK | X_OK) == 0 ? 0 : errno;
}

bool OutputFile::isStillLinked() const
{
    struct stat info {};
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 && info.st_nlink > 0;
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

bool OutputFile::truncate(std::uint64_t length)
{
    return m_fd >= 0 && ::ftruncate(m_fd, static_cast<off_t>(length)) == 0;
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
