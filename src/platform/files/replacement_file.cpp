#include "platform/files/replacement_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kNameAttempts = 100;

// The file the target names: for a symbolic link, the file it points to (which may not exist yet).
QString resolvedTarget(const QString &target)
{
    const QFileInfo info(target);
    if (!info.isSymLink())
        return target;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

// ".NAME.XXXXXXXX.part" beside the target: hidden, and plainly not a finished file.
QString temporaryNameFor(const QFileInfo &target)
{
    const quint32 tag = QRandomGenerator::global()->generate();
    return target.absolutePath() + QStringLiteral("/.") + target.fileName() +
           QStringLiteral(".%1.part").arg(tag, 8, 16, QLatin1Char('0'));
}

bool closeChecked(int &fd)
{
    if (fd < 0)
        return true;
    const int result = ::close(fd);
    fd = -1;
    return result == 0;
}

} // namespace

ReplacementFile::~ReplacementFile()
{
    discard();
}

bool ReplacementFile::create(const QString &target)
{
    discard();
    m_direct = false;
    m_mode.reset();
    if (target.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    m_target = resolvedTarget(target);
    const QByteArray targetName = QFile::encodeName(m_target);

    struct stat existing {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        m_direct = true;
        m_writePath = m_target;
        return true;
    }
    // A file we may not write is not replaced behind its back either.
    if (exists && ::access(targetName.constData(), W_OK) != 0)
        return false;
    if (exists)
        m_mode = existing.st_mode & 0777; // read and write permissions; no set-id bits

    const QFileInfo info(m_target);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = temporaryNameFor(info);
        int fd;
        do
            fd = ::open(QFile::encodeName(candidate).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        m_fd = fd;
        m_writePath = candidate;
        m_pending = true;
        return true;
    }
    errno = EEXIST;
    return false;
}

bool ReplacementFile::commit()
{
    if (m_direct)
        return true;
    if (!m_pending) {
        errno = EBADF;
        return false;
    }
    // The replacement keeps the permissions of the file it replaces (given only now, so that
    // the writer could open it whatever they are).
    if (m_mode && ::fchmod(m_fd, *m_mode) != 0)
        return false;
    // Late write errors (a full disk that only shows when the data goes out) surface here,
    // before the target is touched.
    if (::fdatasync(m_fd) != 0)
        return false;
    if (!closeChecked(m_fd))
        return false;
    if (::rename(QFile::encodeName(m_writePath).constData(), QFile::encodeName(m_target).constData()) != 0)
        return false;
    m_pending = false;

    // The new folder entry to the disk too. The file is complete under its name either way; a
    // folder that cannot be synced (some file systems refuse) only leaves the rename to the
    // system's own writeback.
    const QByteArray folder = QFile::encodeName(QFileInfo(m_target).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void ReplacementFile::discard()
{
    closeChecked(m_fd); // the file is being thrown away: how its close went does not matter
    if (m_pending)
        ::unlink(QFile::encodeName(m_writePath).constData());
    m_pending = false;
}
