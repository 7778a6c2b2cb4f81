// cMp3Writer: the MP3 converter's sink. One memory buffer that the encoding library fills, and
// one output file to which the filled part of the buffer is appended after each library call.
// Errors are AppError 29870 + code with the source "<executable>.<operation>" ("OpenFile",
// "AllocateBuffer", "WriteBufferToFile"); a file that cannot be created or written gives the
// system's reason beside the text.
#pragma once

#include "platform/files/file.h"

#include <QString>

#include <cstdint>
#include <memory>

class cMp3Writer {
public:
    cMp3Writer() = default;
    ~cMp3Writer(); // releases the buffer, then closes the file
    cMp3Writer(const cMp3Writer &) = delete;
    cMp3Writer &operator=(const cMp3Writer &) = delete;

    std::int32_t BufferSize() const { return m_bufferSize; }
    // Releases the buffer and allocates one of lSize bytes; on failure (29871) there is no
    // buffer and the size keeps its old value.
    void setBufferSize(std::int32_t lSize);
    // Where the library writes; nullptr while there is no buffer.
    std::uint8_t *BufferPointer() const { return m_buffer.get(); }

    QString fileName() const { return m_fileName; }
    // Closes any open file, remembers the name, allocates the buffer when there is none and
    // creates the file (an existing one is truncated); 29872 when it cannot be created.
    void setFileName(const QString &sFile);

    // Appends the first lSize bytes of the buffer to the file; returns the count written.
    std::int32_t WriteBufferToFile(std::int32_t lSize);
    // Overwrites the file's first lSize bytes with the buffer's, leaving the end where it is
    // (the information frame that replaces the encoder's placeholder). Errors as for
    // WriteBufferToFile.
    void WriteBufferAtStart(std::int32_t lSize);
    // Whether WriteBufferAtStart can work: false for a pipe or another output that cannot go
    // back.
    bool canWriteAtStart() const { return m_file.isSeekable(); }

    // Closes the file if one is open. Refused when the system reports a late write error.
    Status CloseFile();
    bool isFileOpen() const { return m_file.isOpen(); }

private:
    void AllocateBuffer(std::int32_t size);
    void OpenFile(const QString &name);
    void checkWrite(std::int32_t lSize) const;

    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::int32_t m_bufferSize = 8192;
    QString m_fileName;
    File m_file;
};
