// Where a WAV file's sound really lies. Other programs put chunks (LIST, id3, bext...) and tags
// (ID3v2, ID3v1) after the data chunk, and their size fields are right; but a program writing
// to a pipe cannot go back to write the data size (ffmpeg leaves 0xFFFFFFFF, sox 0x7FFFF000),
// and a recording cut off before its header was first updated says 0 data bytes with its sound
// right behind. Telling these apart decides which bytes are read, joined or declared as sound.
//
// Everything here works on the bytes of one file through a reading function, so that the
// readers (through RiffFile) and the repair (through its File) share one set of rules.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

// Reads exactly bytes.size() bytes at offset; false when it cannot.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> bytes)>;

// Data sizes from this value up are taken for the placeholders that writers to a pipe leave
// when the file ends before them, or when sound (no chunk or tag) goes on after them.
constexpr std::uint32_t kStreamingPlaceholderMin = 0x7FFFF000;

// What the bytes from an offset to the end of the file are.
struct FileTail {
    enum class Kind {
        Nothing,  // there are none
        Metadata, // whole chunks and tags up to the end of the file
        Sound,    // no chunk or tag at their start: sound, up to soundEnd
        Unclear,  // they begin like a chunk or a tag but are not whole chunks and tags
    };
    Kind kind = Kind::Nothing;
    std::uint64_t soundEnd = 0; // Sound: the end of the sound (an ID3v1 tag may follow it)
};
FileTail scanFileTail(const ReadAt &readAt, std::uint64_t offset, std::uint64_t fileBytes);

// The end of sound that runs to the end of the file: fileBytes, or the start of the 128-byte
// ID3v1 tag that closes the file.
std::uint64_t soundEndOf(const ReadAt &readAt, std::uint64_t dataStart, std::uint64_t fileBytes);

// The sound of a data chunk whose contents start at dataStart and whose size is declaredBytes:
// its 32-bit size field, or in an RF64 file the 64-bit size of its ds64 chunk (fromDs64). A
// writer to a pipe leaves ds64's sizes at 0 (ffmpeg) or all ones, which are read as the
// placeholders they are.
struct DataExtent {
    enum class Kind {
        Declared, // the size field holds (bytes = declaredBytes; it may run past a cut-off file)
        ToTheEnd, // a placeholder, or 0, with sound after it: bytes = up to the sound's end
        Unclear,  // 0, followed by chunks or tags and then other bytes: where the sound is
                  // cannot be told
    };
    Kind kind = Kind::Declared;
    std::uint64_t bytes = 0;
};
DataExtent dataExtentOf(const ReadAt &readAt, std::uint64_t dataStart, std::uint64_t declaredBytes,
                        std::uint64_t fileBytes, bool fromDs64 = false);
