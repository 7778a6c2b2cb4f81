// The program's one owner of file descriptors: a file opened or created by name, read and
// written whole (a call returns once every byte is through, or says why not), at its position
// or at an offset, measured, cut, pushed to the disk and closed. The destructor closes what is
// still open, on every path; close() says whether the system reported a late write error.
//
// Every failure is a Failure whose reason names the file: "« /chemin/prise.wav » : Aucun
// espace disponible sur le périphérique." A caller puts its own words before it ("Erreur
// d'écriture dans le fichier " + reason) or shows it beside its own message.
//
// One object is used by one thread at a time; calls are retried after signals.
#pragma once

#include "common/result.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

class File {
public:
    File() = default;
    ~File();
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // An ordinary file, for reading. A folder, a pipe or a device is refused at once (a pipe
    // without a writer never makes it wait).
    static Result<File> openForReading(const QString &path);
    // An ordinary file that exists, for reading and writing in place; refused as above.
    static Result<File> openForUpdate(const QString &path);
    // For writing: created, or emptied when it exists. Devices are written as they are.
    static Result<File> create(const QString &path);
    // For reading and writing: a new file; refused when the name exists. Its failures name
    // shownName when one is given (see showAs()).
    static Result<File> createNew(const QString &path, const QString &shownName = {});
    // The file of a recording: an ordinary file only (its header is rewritten at its start),
    // locked for as long as it stays open so that a second recording to it is refused, and
    // emptied only once locked. Never waits: a pipe or a device is refused at once. With
    // exclusive, a name that exists is refused instead of being replaced.
    static Result<File> createForRecording(const QString &path, bool exclusive);
    // What would keep createForRecording() from creating path, found without creating,
    // emptying or locking anything.
    static Status checkRecordingCreation(const QString &path, bool exclusive);
    // Whether anything bears the name: a file, a folder, a device, even a link to nothing.
    static bool nameIsTaken(const QString &path);
    // Whether the name leads to something that is no ordinary file: a folder, a pipe, a
    // socket or a device.
    static bool isFolderOrDevice(const QString &path);
    // Pushes a folder's entries (a file just renamed into it) to the disk.
    static Status syncFolder(const QString &folder);

    bool isOpen() const { return m_fd >= 0; }
    // The name the file was opened by.
    const QString &path() const { return m_path; }
    // The name failures give: the path, unless showAs() named the file for the user (a
    // temporary file that stands for the file it becomes).
    const QString &shownName() const { return m_shownName; }
    void showAs(const QString &name) { m_shownName = name; }
    // For the system calls this class does not wrap (the kernel's copy between two files).
    int descriptor() const { return m_fd; }

    // Reads bytes.size() bytes at offset, fewer only where the file ends; the position does
    // not move. The count read.
    Result<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const;
    // Writes every byte at the position, which moves past them.
    Status write(std::span<const std::uint8_t> bytes);
    // Writes every byte at offset; the position does not move.
    Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    Result<std::uint64_t> length() const;
    // Cuts the file to length bytes. A position beyond the new end comes back to it, so that
    // write() goes on from the end rather than leaving a hole.
    Status truncate(std::uint64_t length);
    // Read and write permissions for owner, group and others (the lower nine bits).
    Status setPermissions(unsigned mode);
    // Pushes the written data to the disk; a write error the disk reports only now shows here.
    Status sync();
    // False for what cannot go back (a pipe, a socket, a terminal): writeAt fails there.
    bool isSeekable() const;
    // False once the open file has been removed from its folder (it has no name left).
    bool isStillLinked() const;
    // A hint that the file is read from start to end, so the system reads ahead further.
    void adviseSequential() const;
    // Closes now. A failure is a write error the system reported only on closing. Closing a
    // file that is not open does nothing.
    Status close();

private:
    File(int fd, const QString &path) : m_fd(fd), m_path(path), m_shownName(path) {}
    // -1 (errno set) when the system refuses.
    static int openDescriptor(const QString &path, int flags);
    static Result<File> open(const QString &path, int flags, const QString &shownName = {});
    Failure failure(int errorNumber) const;

    int m_fd = -1;
    QString m_path;
    QString m_shownName;
};

// "« name » : <the system's reason in French>."
Failure fileFailure(const QString &name, int errorNumber);
