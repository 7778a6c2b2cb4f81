// One listed WAV file of the join: where its samples are and in which format, as read from its
// header when it was added.
#pragma once

#include <QString>

#include <cstdint>

struct JoinFileInfo {
    QString fileName;              // full path of the source file
    std::int32_t fmtSize = 0;      // size field of the "fmt " chunk, as read
    std::int16_t formatTag = 0;    // as read
    std::int16_t channels = 0;     // 1 mono, 2 stereo
    std::int32_t sampleRate = 0;   // Hz
    std::int32_t byteRate = 0;     // as read
    std::int16_t blockAlign = 0;   // bytes per frame
    std::int16_t bitsPerSample = 0;
    // The data's place and size are 64-bit: a WAV file's data may reach 4 GiB, and a file
    // written to a pipe may run beyond.
    std::int64_t dataSize = 0;     // bytes of sound in the "data" chunk
    std::int64_t frameCount = 0;   // whole frames in the data chunk
    std::int64_t dataOffset = 0;   // file offset of the first data byte

    // Bytes of sample data the join copies from this file.
    std::int64_t copyBytes() const
    {
        return frameCount * channels * (bitsPerSample / 8);
    }
};
