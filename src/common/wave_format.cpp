#include "common/wave_format.h"

#include <algorithm>
#include <iterator>

WaveFormat WaveFormat::pcm(std::uint32_t rateHz, std::uint16_t channels, std::uint16_t bits,
                           bool floatSamples)
{
    WaveFormat format;
    format.formatTag = floatSamples ? kTagIeeeFloat : kTagPcm;
    format.channels = channels;
    format.samplesPerSec = rateHz;
    format.bitsPerSample = bits;
    format.blockAlign = static_cast<std::uint16_t>(bits / 8 * channels);
    format.avgBytesPerSec = format.blockAlign * rateHz;
    return format;
}

std::optional<WaveFormat> WaveFormat::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 16)
        return std::nullopt;
    const std::uint8_t *p = bytes.data();
    WaveFormat format;
    format.formatTag = le::get16(p);
    format.channels = le::get16(p + 2);
    format.samplesPerSec = le::get32(p + 4);
    format.avgBytesPerSec = le::get32(p + 8);
    format.blockAlign = le::get16(p + 12);
    format.bitsPerSample = le::get16(p + 14);
    if (bytes.size() >= kBaseBytes) {
        const std::size_t extraSize =
            std::min<std::size_t>(le::get16(p + 16), bytes.size() - kBaseBytes);
        format.extra.assign(p + kBaseBytes, p + kBaseBytes + extraSize);
    }
    return format;
}

std::vector<std::uint8_t> WaveFormat::toBytes() const
{
    std::vector<std::uint8_t> out;
    out.reserve(byteSize());
    le::put16(out, formatTag);
    le::put16(out, channels);
    le::put32(out, samplesPerSec);
    le::put32(out, avgBytesPerSec);
    le::put16(out, blockAlign);
    le::put16(out, bitsPerSample);
    le::put16(out, static_cast<std::uint16_t>(extra.size()));
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

std::uint16_t formatTagOf(std::span<const std::uint8_t> fmtBytes)
{
    if (fmtBytes.size() < 2)
        return 0;
    const std::uint16_t tag = le::get16(fmtBytes.data());
    if (tag != WaveFormat::kTagExtensible)
        return tag;
    // After the 16 common bytes: extra size (22), valid bits, channel mask, the 16-byte GUID.
    constexpr std::size_t kGuidOffset = 24;
    static constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (fmtBytes.size() < kGuidOffset + 16 || le::get16(fmtBytes.data() + 16) < 22)
        return tag;
    const std::uint16_t bits = le::get16(fmtBytes.data() + 14);
    const std::uint16_t validBits = le::get16(fmtBytes.data() + 18);
    if (validBits > bits || !std::equal(std::begin(kGuidTail), std::end(kGuidTail), fmtBytes.begin() + kGuidOffset + 2))
        return tag;
    return le::get16(fmtBytes.data() + kGuidOffset);
}
