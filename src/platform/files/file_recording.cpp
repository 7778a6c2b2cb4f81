// The creation of a recording's file: an ordinary file, locked while it is recorded (flock, so
// that the lock goes with the descriptor, whoever ends the process), and emptied only once the
// lock is held, so that a second recording to it never empties the first's file.
#include "platform/files/file.h"

#include "common/file_names.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The reasons a recording cannot have this file, in the words the user reads.
Failure recordingFailure(const QString &path, int errorNumber)
{
    switch (errorNumber) {
    case EBUSY: return Failure{QStringLiteral("« %1 » est déjà en cours d'enregistrement.").arg(path)};
    case ESPIPE:
        return Failure{QStringLiteral("« %1 » n'est pas un fichier ordinaire (tube ou périphérique) : "
                                      "un fichier Wav doit pouvoir être réécrit à son début.")
                           .arg(path)};
    default: return fileFailure(path, errorNumber);
    }
}

// Whether a recording holds the file's lock now.
bool lockedForRecording(const QString &path)
{
    const Result<File> file = File::openForReading(path);
    return file && ::flock(file->descriptor(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    // closing the file lets go of the lock this may have taken
}

} // namespace

Result<File> File::createForRecording(const QString &path, bool exclusive)
{
    // Non-blocking: opening a pipe nobody reads fails at once (ENXIO) instead of waiting.
    const int fd = openDescriptor(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | (exclusive ? O_EXCL : 0));
    if (fd < 0)
        return recordingFailure(path, errno == ENXIO ? ESPIPE : errno);
    File opened(fd, path); // closes it on the way out of a refusal
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return recordingFailure(path, errno);
    if (S_ISDIR(info.st_mode))
        return recordingFailure(path, EISDIR);
    if (!S_ISREG(info.st_mode))
        return recordingFailure(path, ESPIPE);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return recordingFailure(path, errno == EWOULDBLOCK ? EBUSY : errno);
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0)
        return recordingFailure(path, errno);
    return opened;
}

Status File::checkRecordingCreation(const QString &path, bool exclusive)
{
    const QByteArray name = fileNameBytes(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return recordingFailure(path, EISDIR);
        if (!S_ISREG(info.st_mode))
            return recordingFailure(path, ESPIPE);
        if (exclusive)
            return recordingFailure(path, EEXIST);
        if (::access(name.constData(), W_OK) != 0)
            return recordingFailure(path, errno);
        if (lockedForRecording(path))
            return recordingFailure(path, EBUSY);
        return {};
    }
    if (errno != ENOENT)
        return recordingFailure(path, errno);
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
    if (::stat(folder.constData(), &info) != 0)
        return recordingFailure(path, errno);
    if (!S_ISDIR(info.st_mode))
        return recordingFailure(path, ENOTDIR);
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return recordingFailure(path, errno);
    return {};
}
