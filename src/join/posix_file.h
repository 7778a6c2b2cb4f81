// A file descriptor that closes itself, with the few checked calls the join's copy needs:
// open, create, seek, read and write that retry after signals, a close that reports whether
// the written bytes reached the file, and the streaming copy of a byte range between files.
#pragma once

#include <QString>

#include <cstdint>
#include <span>

class PosixFile {
public:
    PosixFile() = default;
    ~PosixFile();
    PosixFile(PosixFile &&other) noexcept;
    PosixFile &operator=(PosixFile &&other) noexcept;
    PosixFile(const PosixFile &) = delete;
    PosixFile &operator=(const PosixFile &) = delete;

    // Not open (and errno set) on failure.
    static PosixFile openForReading(const QString &path);
    // Creates the file, or empties an existing one.
    static PosixFile create(const QString &path);

    bool isOpen() const { return m_fd >= 0; }

    bool seekTo(std::int64_t offset);
    // Reads up to bytes.size() bytes; returns how many (0 at the end of the file), -1 on error.
    std::int64_t read(std::span<std::uint8_t> bytes);
    // Writes every byte or fails.
    bool writeAll(std::span<const std::uint8_t> bytes);
    // Closes now; false when the system reports that earlier writes did not complete.
    bool close();

    int descriptor() const { return m_fd; }

private:
    explicit PosixFile(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

enum class CopyResult { Done, SourceEnded, ReadFailed, WriteFailed };

// Appends `bytes` bytes of `from`, starting at `offset`, at the current position of `to`. The
// kernel copies the range itself where it can (copy_file_range, as cat does: the bytes never
// pass through this process); where it cannot (another file system, a pipe, an old kernel) the
// rest streams through `buffer`. errno tells why a failure happened.
CopyResult copyRange(PosixFile &from, std::int64_t offset, std::int64_t bytes, PosixFile &to,
                     std::span<std::uint8_t> buffer);
// The same through `buffer` only.
CopyResult copyRangeThroughBuffer(PosixFile &from, std::int64_t offset, std::int64_t bytes,
                                  PosixFile &to, std::span<std::uint8_t> buffer);

// The system's text for the current errno, for error messages.
QString lastSystemError();
