// The configuration record as the shim reads it, field by field, and the LAME settings that
// follow from it: the preset number chooses the encoding, the other fields refine it.
#pragma once

#include <lame/lame.h>

#include <cstdint>

namespace shim {

struct ConfigRecord {
    std::uint32_t config = 0;        // 0: configuration kind (256: LAME)
    std::uint32_t structVersion = 0; // 4
    std::uint32_t structSize = 0;    // 8
    std::uint32_t sampleRate = 0;    // 12: input rate, Hz
    std::uint32_t reSampleRate = 0;  // 16: output rate, 0 = the library decides
    std::int32_t mode = 0;           // 20: 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::uint32_t bitrate = 0;       // 24: kbit/s (minimum for VBR)
    std::uint32_t maxBitrate = 0;    // 28
    std::int32_t preset = 0;         // 32
    std::uint32_t mpegVersion = 0;   // 36
    std::uint32_t psyModel = 0;      // 40
    std::uint32_t emphasis = 0;      // 44
    std::uint32_t privateBit = 0;    // 48
    std::uint32_t crc = 0;           // 52
    std::uint32_t copyright = 0;     // 56
    std::uint32_t original = 0;      // 60
    std::uint32_t writeVbrHeader = 0; // 64
    std::uint32_t enableVbr = 0;     // 68
    std::int32_t vbrQuality = 0;     // 72
    std::uint32_t vbrAbrBps = 0;     // 76
    std::int32_t vbrMethod = 0;      // 80
    std::uint32_t noReservoir = 0;   // 84
    std::uint32_t strictIso = 0;     // 88
    std::uint16_t quality = 0;       // 92: low byte the level, high byte its complement
};

ConfigRecord readConfigRecord(const std::uint8_t *bytes);

// Applies the record to a fresh LAME context (input: interleaved 16-bit stereo) and
// initialises it. Returns a BE_ERR code: 1 for a record of another kind or size, 2 for values
// the library refuses.
std::uint32_t applyConfig(lame_t lame, const ConfigRecord &record);

} // namespace shim
