// A file written by the program: created (or truncated), appended to, patched at an offset,
// measured and closed, with every system call checked. The descriptor is closed by the
// destructor on every path.
#pragma once

#include <QString>

#include <cstdint>
#include <span>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the file, truncating an existing one. False (and errno kept) when it cannot.
    bool create(const QString &path);
    // Creates the file of a recording: an ordinary file only, locked for as long as it stays
    // open so that a second recording to it is refused, and emptied only once locked. Never
    // waits: a pipe or a device is refused at once. False, with errno: ESPIPE for a pipe or a
    // device, EISDIR for a folder, EBUSY while another recording holds the file, EEXIST when
    // exclusive and the file exists, or the system's own.
    bool createForRecording(const QString &path, bool exclusive);
    // What would keep createForRecording() from creating path, found without creating or
    // emptying anything: 0, or the errno it would give.
    static int recordingCreationProblem(const QString &path, bool exclusive);
    // False once the open file has been removed from its folder (it has no name left).
    bool isStillLinked() const;
    bool isOpen() const { return m_fd >= 0; }
    const QString &path() const { return m_path; }

    // Appends at the end; returns the number of bytes written, -1 when nothing could be written.
    std::int64_t append(std::span<const std::uint8_t> bytes);
    // Writes at an absolute offset without moving the end; true when all bytes were written.
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Cuts the file to length bytes; false (errno kept) when it cannot.
    bool truncate(std::uint64_t length);
    // False for an output that cannot go back (a pipe, a socket, a terminal): writeAt fails there.
    bool isSeekable() const;
    // The file's current length, -1 on error.
    std::int64_t length() const;
    // Pushes written data to the disk.
    bool sync();
    // False when the system reports an error on closing (late write errors show up here).
    bool close();

private:
    int m_fd = -1;
    QString m_path;
};
