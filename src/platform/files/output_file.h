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
    bool isOpen() const { return m_fd >= 0; }
    const QString &path() const { return m_path; }

    // Appends at the end; returns the number of bytes written, -1 when nothing could be written.
    std::int64_t append(std::span<const std::uint8_t> bytes);
    // Writes at an absolute offset without moving the end; true when all bytes were written.
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
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
