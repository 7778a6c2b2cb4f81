#include "platform/files/file.h"

#include "common/file_names.h"
#include "common/system_error.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Failure fileFailure(const QString &name, int errorNumber)
{
    return Failure{QStringLiteral("« %1 » : %2.").arg(name, systemErrorText(errorNumber))};
}

namespace {

Failure notOpen()
{
    return Failure{QStringLiteral("Aucun fichier n'est ouvert.")};
}

} // namespace

File::~File()
{
    if (m_fd >= 0)
        ::close(m_fd); // a caller that wants to know how closing went calls close()
}

File::File(File &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)), m_shownName(std::move(other.m_shownName))
{
}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_shownName = std::move(other.m_shownName);
    }
    return *this;
}

Failure File::failure(int errorNumber) const
{
    return fileFailure(m_shownName, errorNumber);
}

int File::openDescriptor(const QString &path, int flags)
{
    const QByteArray name = fileNameBytes(path);
    int fd;
    do
        fd = ::open(name.constData(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

Result<File> File::open(const QString &path, int flags, const QString &shownName)
{
    const QString &name = shownName.isEmpty() ? path : shownName;
    const int fd = openDescriptor(path, flags);
    if (fd < 0)
        return fileFailure(name, errno);
    File file(fd, path);
    file.showAs(name);
    return file;
}

namespace {

// Opens without waiting (a pipe without a writer would otherwise hold the caller forever),
// keeps only an ordinary file, then lets its reads and writes wait as usual.
Result<File> openOrdinary(Result<File> opened)
{
    if (!opened)
        return opened;
    const int fd = opened->descriptor();
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fileFailure(opened->path(), errno);
    if (S_ISDIR(info.st_mode))
        return fileFailure(opened->path(), EISDIR);
    if (!S_ISREG(info.st_mode))
        return fileFailure(opened->path(), ESPIPE);
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        return fileFailure(opened->path(), errno);
    return opened;
}

} // namespace

Result<File> File::openForReading(const QString &path)
{
    return openOrdinary(open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY));
}

Result<File> File::openForUpdate(const QString &path)
{
    return openOrdinary(open(path, O_RDWR | O_NONBLOCK | O_NOCTTY));
}

Result<File> File::create(const QString &path)
{
    return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY);
}

Result<File> File::createNew(const QString &path, const QString &shownName)
{
    return open(path, O_RDWR | O_CREAT | O_EXCL | O_NOCTTY, shownName);
}

bool File::nameIsTaken(const QString &path)
{
    struct stat info {};
    return ::lstat(fileNameBytes(path).constData(), &info) == 0;
}

bool File::isFolderOrDevice(const QString &path)
{
    struct stat info {};
    return ::stat(fileNameBytes(path).constData(), &info) == 0 && !S_ISREG(info.st_mode);
}

Status File::syncFolder(const QString &folder)
{
    Result<File> opened = open(folder, O_RDONLY | O_DIRECTORY);
    if (!opened)
        return opened.failure();
    if (::fsync(opened->m_fd) != 0)
        return opened->failure(errno);
    return opened->close();
}

Result<std::size_t> File::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const
{
    if (m_fd < 0)
        return notOpen();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure(errno);
        if (n == 0)
            break; // the end of the file
        done += static_cast<std::size_t>(n);
    }
    return done;
}

Status File::write(std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0)
        return notOpen();
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure(errno);
        if (n == 0)
            return failure(EIO);
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return {};
}

Status File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0)
        return notOpen();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure(errno);
        if (n == 0)
            return failure(EIO);
        done += static_cast<std::size_t>(n);
    }
    return {};
}

Result<std::uint64_t> File::length() const
{
    if (m_fd < 0)
        return notOpen();
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        return failure(errno);
    return static_cast<std::uint64_t>(info.st_size);
}

Status File::truncate(std::uint64_t length)
{
    if (m_fd < 0)
        return notOpen();
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0)
        return failure(errno);
    const off_t position = ::lseek(m_fd, 0, SEEK_CUR);
    if (position > static_cast<off_t>(length) && ::lseek(m_fd, static_cast<off_t>(length), SEEK_SET) < 0)
        return failure(errno);
    return {};
}

Status File::setPermissions(unsigned mode)
{
    if (m_fd < 0)
        return notOpen();
    if (::fchmod(m_fd, static_cast<mode_t>(mode & 0777)) != 0)
        return failure(errno);
    return {};
}

Status File::sync()
{
    if (m_fd < 0)
        return notOpen();
    int result;
    do
        result = ::fdatasync(m_fd);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return failure(errno);
    return {};
}

bool File::isSeekable() const
{
    return m_fd >= 0 && ::lseek(m_fd, 0, SEEK_CUR) >= 0;
}

bool File::isStillLinked() const
{
    struct stat info {};
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 && info.st_nlink > 0;
}

void File::adviseSequential() const
{
    if (m_fd >= 0)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL); // a hint only; its result does not matter
}

Status File::close()
{
    if (m_fd < 0)
        return {};
    // The descriptor is released whatever close() answers, EINTR included.
    if (::close(std::exchange(m_fd, -1)) != 0)
        return failure(errno);
    return {};
}
