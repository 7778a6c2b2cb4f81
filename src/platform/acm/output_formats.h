// The output formats that a 16-bit PCM capture format can be recorded in, each with its full
// format record (WAVEFORMATEX and the codec's extra bytes, laid out as other programs' WAV
// readers expect), its description ("22,050 kHz; 4 Bit; Mono" in the user's locale) and its
// tag name ("IMA ADPCM"). PCM is offered at every rate, depth and channel count, since the PCM
// converter resamples; a codec is offered at the capture format's own rate and channel count,
// where the codec has them, as the platform's compression manager offers them.
#pragma once

#include "common/wave_format.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace formattags {
constexpr std::uint16_t kPcm = 0x0001;
constexpr std::uint16_t kMsAdpcm = 0x0002;
constexpr std::uint16_t kIeeeFloat = 0x0003;
constexpr std::uint16_t kALaw = 0x0006;
constexpr std::uint16_t kMuLaw = 0x0007;
constexpr std::uint16_t kImaAdpcm = 0x0011;
constexpr std::uint16_t kGsm610 = 0x0031;
constexpr std::uint16_t kMpegLayer3 = 0x0055;
} // namespace formattags

struct OutputFormatChoice {
    std::vector<std::uint8_t> record; // WAVEFORMATEX with its extra bytes, little-endian
    QString description;
    QString tagName;

    std::uint16_t formatTag() const;
};

// The tag name the chooser shows for a format tag; empty for a tag we cannot write.
QString formatTagName(std::uint16_t formatTag);

// The description of a format record, as the chooser shows it.
QString formatDescription(const WaveFormat &format);

// Every format `capture` can be converted to, PCM first, then the codecs in tag order. Empty
// when the capture format is not 16-bit PCM with one or two channels.
std::vector<OutputFormatChoice> reachableOutputFormats(const WaveFormat &capture);

// The records of the codecs, exactly as they go into the "fmt " chunk.
WaveFormat imaAdpcmFormat(std::uint32_t rateHz, std::uint16_t channels);
WaveFormat msAdpcmFormat(std::uint32_t rateHz, std::uint16_t channels);
WaveFormat g711Format(std::uint16_t formatTag, std::uint32_t rateHz, std::uint16_t channels);
WaveFormat gsm610Format(); // 8000 Hz mono only
WaveFormat mpegLayer3Format(std::uint32_t rateHz, std::uint16_t channels, std::uint32_t kbitPerSec);

// The bit rates offered for MPEG Layer-3 at a rate (kbit/s); empty when the rate has none.
std::vector<std::uint32_t> mpegLayer3BitRates(std::uint32_t rateHz);
