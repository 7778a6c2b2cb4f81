// Repairs the sizes in a WAV file's header so that they describe the data the file really
// holds: a recording cut off by a crash or a power loss, or a file another program left with
// zero, placeholder or stale sizes. The RIFF size, the data size and, for formats whose sample
// count follows from the data size, the fact chunk's count are rewritten in place; the sound
// bytes are never touched. The data size is rounded down to whole blocks; bytes of a trailing
// partial block stay in the file, after the RIFF chunk, where readers ignore them. Only bytes
// that can be sound are taken in: chunks and tags that other programs put after the data
// (LIST, id3, an ID3v2 or ID3v1 tag) mean that the data size is right, and a closing ID3v1 tag
// is never counted as data.
//
// The file must show a RIFF WAVE header and, before its data chunk, a chain of chunks that
// lies within the file and holds a format chunk. A file that does not (a zeroed header, a file
// of another kind, a folder) is left exactly as it was.
#pragma once

#include <QString>

#include <cstdint>

enum class WaveRepairOutcome {
    Repaired,     // the header now describes the data present
    AlreadyRight, // nothing needed changing; nothing was written
    CannotOpen,   // the file could not be opened for reading and writing (reason)
    NotAFile,     // a folder, a device or a pipe (reason)
    NotWave,      // no RIFF WAVE header, or chunks that run past the end before the data
    NoFormat,     // no usable format chunk (with a block align) before the data chunk
    NoData,       // no data chunk
    WriteFailed,  // the new sizes could not be written (reason)
};

struct WaveRepairReport {
    WaveRepairOutcome outcome = WaveRepairOutcome::CannotOpen;
    std::uint32_t previousDataBytes = 0; // the data size the header gave
    std::uint32_t dataBytes = 0;         // the data size it gives now
    QString reason; // for CannotOpen, NotAFile and WriteFailed: why, in French, naming the file
};

WaveRepairReport repairWaveFile(const QString &path);
