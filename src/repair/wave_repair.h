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
// RF64 and BW64 files (platform/riff/wave_start.h) get their 64-bit sizes repaired the same
// way in their ds64 chunk, with its sample count. A RIFF file whose sound grew past what 32-bit
// sizes describe (a recording cut off after 4 GiB, before its header changed form) becomes
// RF64 in place when it holds the 28-byte JUNK chunk that recorders reserve for ds64 right
// after "WAVE"; without that room its sizes stop at the largest a RIFF file can describe.
//
// The file must show a RIFF (RF64, BW64) WAVE header and, before its data chunk, a chain of
// chunks that lies within the file and holds a format chunk. A file that does not (a zeroed
// header, a file of another kind, a folder, an RF64 file whose ds64 is cut short) is left
// exactly as it was.
#pragma once

#include <QString>

#include <cstdint>

enum class WaveRepairOutcome {
    Repaired,     // the header now describes the data present
    AlreadyRight, // nothing needed changing; nothing was written
    CannotOpen,   // the file could not be opened for reading and writing (reason)
    NotAFile,     // a folder, a device or a pipe (reason)
    NotWave,      // no RIFF WAVE header, or chunks that run past the end before the data
    BadDs64,      // RF64 or BW64 whose ds64 chunk is missing, cut short or wrong (reason)
    NoFormat,     // no usable format chunk (with a block align) before the data chunk
    NoData,       // no data chunk
    WriteFailed,  // the new sizes could not be written (reason)
};

struct WaveRepairReport {
    WaveRepairOutcome outcome = WaveRepairOutcome::CannotOpen;
    std::uint64_t previousDataBytes = 0; // the data size the header gave
    std::uint64_t dataBytes = 0;         // the data size it gives now
    bool becameRf64 = false;             // a RIFF file past 4 GiB, now RF64
    // For CannotOpen, NotAFile and WriteFailed: why, in French, naming the file; for BadDs64:
    // what is wrong with ds64, without the file's name.
    QString reason;
};

WaveRepairReport repairWaveFile(const QString &path);
