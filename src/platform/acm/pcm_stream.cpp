#include "platform/acm/pcm_stream.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// What the resampler may hold back between calls, in output frames, on top of the rate ratio
// (its filter is 32 taps long at the default quality; the margin leaves room to spare).
constexpr std::int64_t kHeldFramesMargin = 1024;

AVSampleFormat sampleFormatOf(const WaveFormat &format)
{
    if (format.formatTag == WaveFormat::kTagIeeeFloat)
        return format.bitsPerSample == 32 ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_NONE;
    switch (format.bitsPerSample) {
    case 8: return AV_SAMPLE_FMT_U8;
    case 16: return AV_SAMPLE_FMT_S16;
    case 24: // resampled as 32-bit, then packed to its top three bytes
    case 32: return AV_SAMPLE_FMT_S32;
    default: return AV_SAMPLE_FMT_NONE;
    }
}

struct SwrFree {
    void operator()(SwrContext *context) const { swr_free(&context); }
};

// Same format on both sides: the bytes pass unchanged.
class CopyStream final : public ConversionStream {
public:
    explicit CopyStream(std::size_t blockAlign) : m_blockAlign(blockAlign) {}

    std::size_t destinationSize(std::size_t sourceBytes) const override { return sourceBytes; }

    ConversionResult convert(std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> destination, bool) override
    {
        const std::size_t whole = source.size() / m_blockAlign * m_blockAlign;
        if (destination.size() < whole)
            return {};
        if (whole > 0) // an empty source may have no address at all
            std::memcpy(destination.data(), source.data(), whole);
        return {true, whole, whole};
    }

private:
    std::size_t m_blockAlign;
};

class ResampleStream final : public ConversionStream {
public:
    ResampleStream(std::unique_ptr<SwrContext, SwrFree> context, const WaveFormat &source,
                   const WaveFormat &destination)
        : m_context(std::move(context)), m_source(source), m_destination(destination),
          m_packed24(destination.formatTag == WaveFormat::kTagPcm && destination.bitsPerSample == 24)
    {
    }

    std::size_t destinationSize(std::size_t sourceBytes) const override
    {
        const std::int64_t frames = static_cast<std::int64_t>(sourceBytes / m_source.blockAlign);
        const std::int64_t outFrames =
            av_rescale_rnd(frames, m_destination.samplesPerSec, m_source.samplesPerSec, AV_ROUND_UP) +
            kHeldFramesMargin;
        return static_cast<std::size_t>(outFrames) * m_destination.blockAlign;
    }

    ConversionResult convert(std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> destination, bool end) override
    {
        const int inFrames = static_cast<int>(source.size() / m_source.blockAlign);
        if (destination.size() < destinationSize(source.size()))
            return {};
        const int outCapacity = static_cast<int>(destination.size() / m_destination.blockAlign);
        const int produced = m_packed24 ? convertPacked24(source.data(), inFrames, destination, outCapacity)
                                        : convertDirect(source.data(), inFrames, destination.data(), outCapacity);
        if (produced < 0)
            return {};
        ConversionResult result{true, static_cast<std::size_t>(inFrames) * m_source.blockAlign,
                                static_cast<std::size_t>(produced) * m_destination.blockAlign};
        if (!end)
            return result;
        // Flush: what the resampler still holds goes after what this call produced.
        std::span<std::uint8_t> rest = destination.subspan(result.destinationUsed);
        const int restCapacity = static_cast<int>(rest.size() / m_destination.blockAlign);
        const int flushed = m_packed24 ? convertPacked24(nullptr, 0, rest, restCapacity)
                                       : convertDirect(nullptr, 0, rest.data(), restCapacity);
        if (flushed < 0)
            return {};
        result.destinationUsed += static_cast<std::size_t>(flushed) * m_destination.blockAlign;
        return result;
    }

private:
    int convertDirect(const std::uint8_t *in, int inFrames, std::uint8_t *out, int outCapacity)
    {
        const std::uint8_t *inPlanes[] = {in};
        std::uint8_t *outPlanes[] = {out};
        return swr_convert(m_context.get(), outPlanes, outCapacity, in ? inPlanes : nullptr, inFrames);
    }

    int convertPacked24(const std::uint8_t *in, int inFrames, std::span<std::uint8_t> out,
                        int outCapacity)
    {
        const std::size_t samples = static_cast<std::size_t>(outCapacity) * m_destination.channels;
        if (m_wide.size() < samples)
            m_wide.resize(samples); // grows once to the largest block, then is reused
        const int produced = convertDirect(in, inFrames, reinterpret_cast<std::uint8_t *>(m_wide.data()),
                                           outCapacity);
        if (produced <= 0)
            return produced;
        std::uint8_t *o = out.data();
        for (std::size_t i = 0; i < static_cast<std::size_t>(produced) * m_destination.channels; ++i) {
            const auto v = static_cast<std::uint32_t>(m_wide[i]);
            *o++ = static_cast<std::uint8_t>(v >> 8);
            *o++ = static_cast<std::uint8_t>(v >> 16);
            *o++ = static_cast<std::uint8_t>(v >> 24);
        }
        return produced;
    }

    std::unique_ptr<SwrContext, SwrFree> m_context;
    WaveFormat m_source;
    WaveFormat m_destination;
    bool m_packed24;
    std::vector<std::int32_t> m_wide;
};

} // namespace

// Channels are copied, not mixed as loudspeakers would be: mono goes unchanged into both
// channels, stereo becomes the mean of its two. (The resampler's own mix lowers a mono source
// by 3 dB.)
bool setCopyingChannelMatrix(SwrContext *context, int inChannels, int outChannels)
{
    if (inChannels == outChannels)
        return true;
    if (inChannels == 1 && outChannels == 2) {
        const double matrix[] = {1.0, 1.0}; // [out][in], stride 1
        return swr_set_matrix(context, matrix, 1) >= 0;
    }
    if (inChannels == 2 && outChannels == 1) {
        const double matrix[] = {0.5, 0.5};
        return swr_set_matrix(context, matrix, 2) >= 0;
    }
    return false;
}

bool isSupportedPcm(const WaveFormat &format)
{
    return format.isPcm() && sampleFormatOf(format) != AV_SAMPLE_FMT_NONE &&
           format.channels >= 1 && format.channels <= 2 && format.samplesPerSec > 0 &&
           format.blockAlign == format.bitsPerSample / 8 * format.channels;
}

Result<std::unique_ptr<ConversionStream>> openPcmStream(const WaveFormat &source, const WaveFormat &destination)
{
    if (!isSupportedPcm(source) || !isSupportedPcm(destination))
        return Failure{QStringLiteral("Format PCM non pris en charge.")};
    if (source.formatTag == destination.formatTag && source.channels == destination.channels &&
        source.samplesPerSec == destination.samplesPerSec &&
        source.bitsPerSample == destination.bitsPerSample)
        return std::unique_ptr<ConversionStream>(std::make_unique<CopyStream>(source.blockAlign));

    AVChannelLayout inLayout{};
    AVChannelLayout outLayout{};
    av_channel_layout_default(&inLayout, source.channels);
    av_channel_layout_default(&outLayout, destination.channels);
    SwrContext *raw = nullptr;
    const int made = swr_alloc_set_opts2(&raw, &outLayout, sampleFormatOf(destination),
                                         static_cast<int>(destination.samplesPerSec), &inLayout,
                                         sampleFormatOf(source), static_cast<int>(source.samplesPerSec),
                                         0, nullptr);
    std::unique_ptr<SwrContext, SwrFree> context(raw);
    if (made < 0 || !context || !setCopyingChannelMatrix(context.get(), source.channels, destination.channels) ||
        swr_init(context.get()) < 0)
        return Failure{QStringLiteral("Le convertisseur PCM n'a pas pu être ouvert.")};
    return std::unique_ptr<ConversionStream>(std::make_unique<ResampleStream>(std::move(context), source, destination));
}
