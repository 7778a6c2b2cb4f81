// A small RIFF chunk reader: descend into a chunk by its identifier (searching from the current
// position to the end of the parent), ascend past it, read and seek inside the file. Sizes and
// offsets are those written in the file, 64-bit: in an RF64 or BW64 file (platform/riff/
// wave_start.h) a size field of 0xFFFFFFFF stands for the size its ds64 chunk gives. A chunk
// that claims more bytes than the file holds is reported as found with its claimed size, and
// reads past the end simply return fewer bytes.
#pragma once

#include "common/result.h"
#include "platform/files/file.h"
#include "platform/riff/wave_start.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

struct RiffChunk {
    char id[4] = {};
    std::uint64_t size = 0;       // data bytes, without the 8-byte header: the size field, or ds64's
    bool sizeFromDs64 = false;    // the field said 0xFFFFFFFF and ds64 gave the size
    std::uint64_t dataOffset = 0; // file offset of the first data byte (after id and size)
    char formType[4] = {};        // for RIFF and LIST chunks: the 4-byte form type

    bool is(const char (&name)[5]) const;
    // Offset just past the data and its pad byte; the largest offset when a size that a file
    // claims would carry it further.
    std::uint64_t end() const;
};

class RiffFile {
public:
    enum class Origin { Begin, Current, End };

    // Refused when the file cannot be opened for reading or is not a regular file (a
    // directory, a FIFO, a device); never waits for a writer.
    Status open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    // Finds the RIFF (or RF64, BW64) chunk with the given form type ("WAVE") at the start of the
    // file and leaves the position at its first subchunk (ds64 for RF64, which descend() skips
    // as any other). Its size is the RIFF size field, or ds64's (the rest of the file when
    // ds64 gives 0, as writers to a pipe leave it). Nothing when the file does not
    // start so, or when it is RF64 and its ds64 cannot be read: formProblem() then says why.
    std::optional<RiffChunk> descendRiff(const char (&formType)[5]);
    // Why the last descendRiff() refused an RF64 or BW64 file (its ds64 missing, cut short...),
    // in French, without the file's name; empty when it found the form, or no form at all.
    const QString &formProblem() const { return m_formProblem; }
    // The form the last descendRiff() found, with ds64's sizes for RF64.
    const WaveStart &waveStart() const { return m_start; }

    // Finds the chunk `id` among the chunks from the current position up to the end of `parent`
    // (or of the file), and leaves the position at its first data byte.
    std::optional<RiffChunk> descend(const char (&id)[5], const RiffChunk *parent = nullptr);

    // Moves past the chunk (and its pad byte).
    bool ascend(const RiffChunk &chunk);

    // Reads up to bytes.size() bytes; returns how many were read (0 at the end), -1 on error.
    std::int64_t read(std::span<std::uint8_t> bytes);
    // Reads exactly bytes.size() bytes at offset and comes back to the current position; false
    // when they are not all there.
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> bytes);
    // Returns the new position, -1 on error.
    std::int64_t seek(std::int64_t offset, Origin origin);
    std::int64_t position() const;
    std::int64_t size() const;

private:
    std::optional<RiffChunk> readChunkHeader();

    File m_file;
    std::int64_t m_position = 0; // where read() goes on; it may lie past the end
    WaveStart m_start;           // RIFF or RF64, from descendRiff()
    QString m_formProblem;
};
