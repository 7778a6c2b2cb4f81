#include "platform/acm/output_formats.h"

#include "common/number_format.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint32_t, 7> kRatesHz = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

// MPEGLAYER3WAVEFORMAT's fixed fields: the id of MPEG audio, whether frames carry padding
// bytes, and the codec delay the platform's Layer-3 codec announces.
constexpr std::uint16_t kMpegLayer3IdMpeg = 1;
constexpr std::uint32_t kMpegLayer3FlagPaddingIso = 0;
constexpr std::uint32_t kMpegLayer3FlagPaddingOff = 2;
constexpr std::uint16_t kMpegLayer3CodecDelay = 1393;

// The coefficient pairs of Microsoft ADPCM, in the order its decoders index them.
constexpr std::array<std::array<std::int16_t, 2>, 7> kMsAdpcmCoefficients = {{
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232},
}};

bool isCaptureFormat(const WaveFormat &capture)
{
    return capture.formatTag == WaveFormat::kTagPcm && capture.bitsPerSample == 16 &&
           (capture.channels == 1 || capture.channels == 2) &&
           std::find(kRatesHz.begin(), kRatesHz.end(), capture.samplesPerSec) != kRatesHz.end();
}

// The ADPCM block the platform's codecs use: 256 bytes per channel up to 11025 Hz, doubled
// with each doubling of the rate above it.
std::uint16_t adpcmBlockAlign(std::uint32_t rateHz, std::uint16_t channels)
{
    const std::uint32_t steps = std::max<std::uint32_t>(1, rateHz / 11025);
    std::uint32_t scale = 1;
    while (scale * 2 <= steps)
        scale *= 2;
    return static_cast<std::uint16_t>(256 * channels * scale);
}

std::uint32_t averageBytes(std::uint32_t rateHz, std::uint32_t blockAlign, std::uint32_t samplesPerBlock)
{
    return static_cast<std::uint32_t>(std::uint64_t{rateHz} * blockAlign / samplesPerBlock);
}

void put16(std::vector<std::uint8_t> &out, std::int16_t v)
{
    le::put16(out, static_cast<std::uint16_t>(v));
}

OutputFormatChoice choiceOf(const WaveFormat &format)
{
    return {format.toBytes(), formatDescription(format), formatTagName(format.formatTag)};
}

} // namespace

std::uint16_t OutputFormatChoice::formatTag() const
{
    return record.size() >= 2 ? le::get16(record.data()) : 0;
}

QString formatTagName(std::uint16_t formatTag)
{
    switch (formatTag) {
    case formattags::kPcm: return QStringLiteral("PCM");
    case formattags::kMsAdpcm: return QStringLiteral("Microsoft ADPCM");
    case formattags::kIeeeFloat: return QStringLiteral("IEEE Float");
    case formattags::kALaw: return QStringLiteral("CCITT A-Law");
    case formattags::kMuLaw: return QStringLiteral("CCITT u-Law");
    case formattags::kImaAdpcm: return QStringLiteral("IMA ADPCM");
    case formattags::kGsm610: return QStringLiteral("GSM 6.10");
    case formattags::kMpegLayer3: return QStringLiteral("MPEG Layer-3");
    default: return {};
    }
}

QString formatDescription(const WaveFormat &format)
{
    QString text = formatFixed(format.samplesPerSec / 1000.0, 3) + QStringLiteral(" kHz; ");
    if (format.formatTag == formattags::kMpegLayer3)
        text += QString::number(format.avgBytesPerSec * 8 / 1000) + QStringLiteral(" kBit/s; ");
    else if (format.bitsPerSample > 0)
        text += QString::number(format.bitsPerSample) + QStringLiteral(" Bit; ");
    text += format.channels == 2 ? QStringLiteral("Stereo") : QStringLiteral("Mono");
    return text;
}

WaveFormat imaAdpcmFormat(std::uint32_t rateHz, std::uint16_t channels)
{
    WaveFormat format;
    format.formatTag = formattags::kImaAdpcm;
    format.channels = channels;
    format.samplesPerSec = rateHz;
    format.blockAlign = adpcmBlockAlign(rateHz, channels);
    format.bitsPerSample = 4;
    // A 4-byte header per channel (first sample and step index), then two samples per byte.
    const std::uint32_t samplesPerBlock = (format.blockAlign - 4u * channels) * 8 / (4u * channels) + 1;
    format.avgBytesPerSec = averageBytes(rateHz, format.blockAlign, samplesPerBlock);
    le::put16(format.extra, static_cast<std::uint16_t>(samplesPerBlock));
    return format;
}

WaveFormat msAdpcmFormat(std::uint32_t rateHz, std::uint16_t channels)
{
    WaveFormat format;
    format.formatTag = formattags::kMsAdpcm;
    format.channels = channels;
    format.samplesPerSec = rateHz;
    format.blockAlign = adpcmBlockAlign(rateHz, channels);
    format.bitsPerSample = 4;
    // A 7-byte header per channel holds two whole samples; the rest are nibbles.
    const std::uint32_t samplesPerBlock = (format.blockAlign - 7u * channels) * 2 / channels + 2;
    format.avgBytesPerSec = averageBytes(rateHz, format.blockAlign, samplesPerBlock);
    le::put16(format.extra, static_cast<std::uint16_t>(samplesPerBlock));
    le::put16(format.extra, static_cast<std::uint16_t>(kMsAdpcmCoefficients.size()));
    for (const auto &pair : kMsAdpcmCoefficients) {
        put16(format.extra, pair[0]);
        put16(format.extra, pair[1]);
    }
    return format;
}

WaveFormat g711Format(std::uint16_t formatTag, std::uint32_t rateHz, std::uint16_t channels)
{
    WaveFormat format;
    format.formatTag = formatTag;
    format.channels = channels;
    format.samplesPerSec = rateHz;
    format.blockAlign = channels;
    format.bitsPerSample = 8;
    format.avgBytesPerSec = rateHz * channels;
    return format;
}

WaveFormat gsm610Format()
{
    WaveFormat format;
    format.formatTag = formattags::kGsm610;
    format.channels = 1;
    format.samplesPerSec = 8000;
    format.blockAlign = 65; // two 160-sample frames of 32.5 bytes
    format.bitsPerSample = 0;
    format.avgBytesPerSec = 1625;
    le::put16(format.extra, 320);
    return format;
}

std::vector<std::uint32_t> mpegLayer3BitRates(std::uint32_t rateHz)
{
    if (rateHz >= 32000)
        return {64, 96, 128, 160, 192, 256, 320}; // MPEG-1
    if (rateHz >= 16000)
        return {32, 48, 64, 96, 128}; // MPEG-2
    if (rateHz >= 8000)
        return {8, 16, 24, 32}; // MPEG-2.5
    return {};
}

WaveFormat mpegLayer3Format(std::uint32_t rateHz, std::uint16_t channels, std::uint32_t kbitPerSec)
{
    WaveFormat format;
    format.formatTag = formattags::kMpegLayer3;
    format.channels = channels;
    format.samplesPerSec = rateHz;
    format.avgBytesPerSec = kbitPerSec * 1000 / 8;
    format.blockAlign = 1;
    format.bitsPerSample = 0;
    // A frame holds 1152 samples in MPEG-1 and 576 below 32 kHz; its bytes are
    // samples / 8 x bit rate / rate, plus a padding byte where that is not whole.
    const std::uint32_t frameSamples = rateHz >= 32000 ? 1152 : 576;
    const std::uint64_t frameBits = std::uint64_t{frameSamples} * kbitPerSec * 1000;
    const std::uint64_t divisor = std::uint64_t{8} * rateHz;
    const auto blockSize = static_cast<std::uint16_t>(frameBits / divisor);
    const std::uint32_t flags = frameBits % divisor == 0 ? kMpegLayer3FlagPaddingOff : kMpegLayer3FlagPaddingIso;
    le::put16(format.extra, kMpegLayer3IdMpeg);
    le::put32(format.extra, flags);
    le::put16(format.extra, blockSize);
    le::put16(format.extra, 1); // frames per block
    le::put16(format.extra, kMpegLayer3CodecDelay);
    return format;
}

std::vector<OutputFormatChoice> reachableOutputFormats(const WaveFormat &capture)
{
    std::vector<OutputFormatChoice> choices;
    if (!isCaptureFormat(capture))
        return choices;
    const std::uint32_t rate = capture.samplesPerSec;
    const std::uint16_t channels = capture.channels;

    for (const std::uint32_t pcmRate : kRatesHz)
        for (const std::uint16_t bits : {8, 16, 24})
            for (const std::uint16_t pcmChannels : {1, 2})
                choices.push_back(choiceOf(WaveFormat::pcm(pcmRate, pcmChannels, bits)));
    choices.push_back(choiceOf(msAdpcmFormat(rate, channels)));
    for (const std::uint32_t pcmRate : kRatesHz)
        for (const std::uint16_t pcmChannels : {1, 2})
            choices.push_back(choiceOf(WaveFormat::pcm(pcmRate, pcmChannels, 32, true)));
    choices.push_back(choiceOf(g711Format(formattags::kALaw, rate, channels)));
    choices.push_back(choiceOf(g711Format(formattags::kMuLaw, rate, channels)));
    choices.push_back(choiceOf(imaAdpcmFormat(rate, channels)));
    if (rate == 8000 && channels == 1)
        choices.push_back(choiceOf(gsm610Format()));
    for (const std::uint32_t kbit : mpegLayer3BitRates(rate))
        choices.push_back(choiceOf(mpegLayer3Format(rate, channels, kbit)));
    return choices;
}
