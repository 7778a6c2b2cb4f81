// cWavReader: the MP3 converter's source. Opens a RIFF WAVE file (or RF64, BW64: its sizes are
// 64-bit all the way), finds its "fmt " and "data" chunks, refuses everything but 16-bit stereo
// PCM, and hands the audio data out in blocks of a fixed read size. A data size left as a
// placeholder by a writer to a pipe, or left at 0 by a recording cut off before its header was
// updated, is read as sound running to the end of the file. Positions and sizes are in frames
// of 4 bytes (left and right 16-bit samples) except BufferStartPosition, which is in bytes.
// Errors are AppError 29670 + code with the source "<executable>.cWavePlayer".
#pragma once

#include "common/app_error.h"
#include "platform/riff/riff_file.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

class cWavReader {
public:
    cWavReader() = default;
    ~cWavReader(); // closes the file, errors ignored
    cWavReader(const cWavReader &) = delete;
    cWavReader &operator=(const cWavReader &) = delete;

    // The name of the last successful open; CloseFile keeps it.
    QString fileName() const { return m_fileName; }
    // Opens sFile; remembers the name only when the open succeeded.
    void setFileName(const QString &sFile);

    // False (and nothing raised) for an empty name; an open file is closed first in any case.
    bool OpenFile(const QString &sSoundFile);
    void CloseFile();
    bool isOpen() const { return m_file.isOpen(); }

    // True when a full block was read and more data follows; false for the final block
    // (between 1 byte and a full block, its length in ReadSize) or when nothing is left.
    bool Read();

    // The read buffer (interleaved 16-bit samples); nullptr while no file is open.
    const std::int16_t *ReadBufferPtr() const;
    std::int32_t ReadBufferSize() const { return m_readFrames; }
    // Only while closed; raises 29679 otherwise.
    void setReadBufferSize(std::int32_t lSize);
    std::int32_t ReadSize() const { return static_cast<std::int32_t>(m_lastReadBytes / 4); }
    // Frames of the data; AudioLength stops at the largest 32-bit count (a file written to a
    // pipe may hold more), audioFrames does not.
    std::int32_t AudioLength() const
    {
        constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
        return static_cast<std::int32_t>(std::min(audioFrames(), kLargest));
    }
    std::int64_t audioFrames() const { return m_dataLength / 4; }
    std::int32_t BufferStartPosition() const;

    void SeekAbsolute(std::int32_t lSample);
    void SeekRelative(std::int32_t lSampleOffset);

    // The first 18 bytes of the fmt chunk, kept as read. Channels and bits are checked, and the
    // format must be PCM (plain, or in the extensible layout).
    std::uint16_t formatTag() const { return m_formatTag; }
    std::uint16_t channels() const { return m_channels; }
    std::uint32_t sampleRate() const { return m_sampleRate; }
    std::uint16_t bitsPerSample() const { return m_bitsPerSample; }

    // The reader's error for a code of its table (29670 + code), with a French reason beside.
    static AppError error(int code, const QString &reason = {});

private:
    [[noreturn]] void raise(int code);
    [[noreturn]] void closeAndRaise(int code, const QString &reason = {});
    void readFormat(const RiffChunk &fmt);
    std::int64_t dataPosition() const; // current position relative to the data start

    RiffFile m_file;
    std::vector<std::int16_t> m_buffer;
    std::int32_t m_readFrames = 32768; // 131072 bytes
    std::int64_t m_lastReadBytes = 0;
    std::int64_t m_dataStart = 0;
    std::int64_t m_dataLength = 0;
    QString m_fileName;

    std::uint16_t m_formatTag = 0;
    std::uint16_t m_channels = 0;
    std::uint32_t m_sampleRate = 0;
    std::uint32_t m_avgBytesPerSec = 0;
    std::uint16_t m_blockAlign = 0;
    std::uint16_t m_bitsPerSample = 0;
    std::uint16_t m_extraSize = 0;
    std::uint16_t m_format = 0; // the tag, or the extensible layout's sub-format
};
