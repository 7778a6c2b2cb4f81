// The wave format record (WAVEFORMATEX): format tag, channels, samples per second, average
// bytes per second, block align, bits per sample, extra size, then the codec's extra bytes.
// On disk and in byte arrays it is little-endian, 18 bytes plus the extra bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct WaveFormat {
    static constexpr std::uint16_t kTagPcm = 1;
    static constexpr std::uint16_t kTagIeeeFloat = 3;
    // WAVE_FORMAT_EXTENSIBLE: the real format is the sub-format GUID after the extra-size field.
    static constexpr std::uint16_t kTagExtensible = 0xFFFE;
    static constexpr std::size_t kBaseBytes = 18;

    std::uint16_t formatTag = kTagPcm;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::vector<std::uint8_t> extra; // the codec's extra bytes; its size is the extra-size field

    // Tag 1 (or 3 for 32-bit float when asked), block align = bits / 8 x channels,
    // average bytes per second = block align x rate, no extra bytes.
    static WaveFormat pcm(std::uint32_t rateHz, std::uint16_t channels, std::uint16_t bits,
                          bool floatSamples = false);

    // Reads a record from its first 16 bytes (a bare PCMWAVEFORMAT) or more. Extra bytes are
    // taken as far as the extra-size field says and the bytes reach. Nothing when fewer than 16.
    static std::optional<WaveFormat> fromBytes(std::span<const std::uint8_t> bytes);

    std::vector<std::uint8_t> toBytes() const;
    std::size_t byteSize() const { return kBaseBytes + extra.size(); }

    bool isPcm() const { return formatTag == kTagPcm || formatTag == kTagIeeeFloat; }
    bool operator==(const WaveFormat &) const = default;
};

// The format a "fmt " chunk's bytes stand for: its tag, or for WAVE_FORMAT_EXTENSIBLE the tag
// that its sub-format GUID carries (PCM, IEEE float, A-law...) when the GUID is one of the
// family {XXXXXXXX-0000-0010-8000-00AA00389B71} and the valid bits fit the container;
// kTagExtensible when it is not, or when the chunk is too short to hold the GUID.
std::uint16_t formatTagOf(std::span<const std::uint8_t> fmtBytes);

// Little-endian field access shared by every byte layout of the program.
namespace le {

inline void put16(std::vector<std::uint8_t> &out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline std::uint16_t get16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t get32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace le
