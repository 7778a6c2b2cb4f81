#include "platform/files/replacement_file.h"

#include "common/file_names.h"
#include "platform/files/interrupt_cleanup.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kNameAttempts = 100;

// The folder part of a name ("." for a bare name) and the last part.
QByteArray folderOf(const QByteArray &name)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

QByteArray lastPartOf(const QByteArray &name)
{
    return name.mid(name.lastIndexOf('/') + 1);
}

// The file the target names: for a symbolic link, the file it points to (which may not exist
// yet). Worked out on the name's bytes, so that a name that is no valid text keeps them.
QByteArray resolvedTarget(const QByteArray &target)
{
    struct stat link {};
    if (::lstat(target.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return target;
    char resolved[PATH_MAX];
    if (::realpath(target.constData(), resolved))
        return QByteArray(resolved);
    // A link to a file still to be made: where it points, from the link's folder.
    QByteArray pointed(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(target.constData(), pointed.data(), static_cast<std::size_t>(pointed.size()));
    if (length <= 0 || length >= pointed.size())
        return target;
    pointed.truncate(length);
    return pointed.startsWith('/') ? pointed : folderOf(target) + '/' + pointed;
}

// ".NAME.XXXXXXXX.part" beside the target: hidden, and plainly not a finished file.
QByteArray temporaryNameFor(const QByteArray &target)
{
    const quint32 tag = QRandomGenerator::global()->generate();
    return folderOf(target) + "/." + lastPartOf(target) + '.' +
           QByteArray::number(tag, 16).rightJustified(8, '0') + ".part";
}

} // namespace

ReplacementFile::~ReplacementFile()
{
    discard();
}

Status ReplacementFile::create(const QString &target)
{
    discard();
    m_direct = false;
    m_mode.reset();
    if (target.isEmpty())
        return fileFailure(target, ENOENT);
    const QByteArray targetName = resolvedTarget(fileNameBytes(target));
    m_target = fileNameFromBytes(targetName);

    struct stat existing {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return fileFailure(target, EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        m_direct = true;
        m_writePath = m_target;
        return {};
    }
    // A file we may not write is not replaced behind its back either.
    if (exists && ::access(targetName.constData(), W_OK) != 0)
        return fileFailure(target, errno);
    if (exists)
        m_mode = existing.st_mode & 0777; // read and write permissions; no set-id bits

    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QByteArray candidate = temporaryNameFor(targetName);
        // Made and named to the interrupt handler in one step: a Ctrl+C in between would
        // otherwise leave the file behind.
        const interrupt_cleanup::SignalBlock block;
        // Its failures name the target, the file the user knows.
        Result<File> created = File::createNew(fileNameFromBytes(candidate), target);
        if (!created) {
            if (File::nameIsTaken(fileNameFromBytes(candidate)))
                continue; // another file took the name meanwhile
            return created.failure();
        }
        m_file = std::move(*created);
        m_writePath = m_file.path();
        m_pending = true;
        interrupt_cleanup::setTemporaryFile(candidate);
        return {};
    }
    return fileFailure(target, EEXIST);
}

Status ReplacementFile::commit()
{
    if (m_direct)
        return {};
    if (!m_pending)
        return Failure{QStringLiteral("« %1 » : le fichier temporaire n'existe plus.").arg(m_target)};
    // The replacement keeps the permissions of the file it replaces (given only now, so that
    // the writer could open it whatever they are).
    if (m_mode) {
        if (const Status given = m_file.setPermissions(*m_mode); !given)
            return given;
    }
    // Late write errors (a full disk that only shows when the data goes out) surface here,
    // before the target is touched.
    if (const Status synced = m_file.sync(); !synced)
        return synced;
    if (const Status closed = m_file.close(); !closed)
        return closed;
    const QByteArray targetName = fileNameBytes(m_target);
    {
        // Once renamed, the file is the output: the interrupt handler must not remove it.
        const interrupt_cleanup::SignalBlock block;
        if (::rename(fileNameBytes(m_writePath).constData(), targetName.constData()) != 0)
            return fileFailure(m_target, errno);
        m_pending = false;
        interrupt_cleanup::clearTemporaryFile();
    }

    // The new folder entry to the disk too. The file is complete under its name either way; a
    // folder that cannot be synced (some file systems refuse) only leaves the rename to the
    // system's own writeback.
    (void)File::syncFolder(fileNameFromBytes(folderOf(targetName)));
    return {};
}

void ReplacementFile::discard()
{
    (void)m_file.close(); // the file is being thrown away: how its close went does not matter
    if (!m_pending)
        return;
    const interrupt_cleanup::SignalBlock block;
    ::unlink(fileNameBytes(m_writePath).constData());
    m_pending = false;
    interrupt_cleanup::clearTemporaryFile();
}
