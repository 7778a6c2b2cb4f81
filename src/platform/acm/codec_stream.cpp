// The source passes through libswresample into the codec's sample layout and collects in a
// sample queue; each call encodes every whole codec frame the queue holds and keeps the rest
// for the next call. The source bytes count as used once they are in the queue. The flush at
// the end drains the resampler, pads the last frame with silence and drains the encoder.
// Once anything fails, every later call fails: nothing is reported as converted after a fault.
#include "platform/acm/codec_stream.h"
#include "platform/acm/pcm_stream.h"

#include "platform/acm/codec_handles.h"
#include "platform/acm/output_formats.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Chunk of sample frames encoded at once by the codecs without a frame size (A-law, u-law).
constexpr int kVariableChunkFrames = 4096;
// What the resampler may hold back when it changes the rate, in output frames.
constexpr std::int64_t kResamplerHeldFrames = 1024;

struct CodecPlan {
    const char *encoderName = nullptr;
    AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
    int blockSize = 0;     // the ADPCM block, set as the encoder's block_size option
    std::int64_t bitRate = 0;
    int extraBlocks = 1;   // packets the encoder may still give up at the flush
};

// What the stream can produce is exactly the records of output_formats.h; any other record
// would promise a layout the encoder does not write.
bool planFor(const WaveFormat &destination, CodecPlan &plan)
{
    const std::uint32_t rate = destination.samplesPerSec;
    const std::uint16_t channels = destination.channels;
    if (channels < 1 || channels > 2 || rate < 8000 || rate > 48000)
        return false;
    switch (destination.formatTag) {
    case formattags::kImaAdpcm:
        plan = {"adpcm_ima_wav", AV_SAMPLE_FMT_S16P, destination.blockAlign, 0, 1};
        return destination == imaAdpcmFormat(rate, channels);
    case formattags::kMsAdpcm:
        plan = {"adpcm_ms", AV_SAMPLE_FMT_S16, destination.blockAlign, 0, 1};
        return destination == msAdpcmFormat(rate, channels);
    case formattags::kALaw:
        plan = {"pcm_alaw", AV_SAMPLE_FMT_S16, 0, 0, 0};
        return destination == g711Format(formattags::kALaw, rate, channels);
    case formattags::kMuLaw:
        plan = {"pcm_mulaw", AV_SAMPLE_FMT_S16, 0, 0, 0};
        return destination == g711Format(formattags::kMuLaw, rate, channels);
    case formattags::kGsm610:
        plan = {"libgsm_ms", AV_SAMPLE_FMT_S16, 0, 0, 1};
        return destination == gsm610Format();
    case formattags::kMpegLayer3: {
        const std::uint32_t kbit = destination.avgBytesPerSec * 8 / 1000;
        const auto rates = mpegLayer3BitRates(rate);
        // LAME holds about two frames of look-ahead and gives them up at the flush.
        plan = {"libmp3lame", AV_SAMPLE_FMT_S16P, 0, std::int64_t{kbit} * 1000, 8};
        return std::find(rates.begin(), rates.end(), kbit) != rates.end() &&
               destination == mpegLayer3Format(rate, channels, kbit);
    }
    default:
        return false;
    }
}

class CodecStream final : public ConversionStream {
public:
    CodecStream(const WaveFormat &source, const WaveFormat &destination, const CodecPlan &plan)
        : m_source(source), m_destination(destination), m_plan(plan)
    {
    }

    // Opens the encoder, the resampler, the queue and the frame; the reason in *error on failure.
    Status open();

    std::size_t destinationSize(std::size_t sourceBytes) const override;
    ConversionResult convert(std::span<const std::uint8_t> source,
                             std::span<std::uint8_t> destination, bool end) override;

private:
    bool resample(const std::uint8_t *in, int inFrames);
    bool encodeQueued(std::span<std::uint8_t> destination, std::size_t &produced, bool end);
    bool sendFrame(int frames, std::span<std::uint8_t> destination, std::size_t &produced);
    bool receivePackets(std::span<std::uint8_t> destination, std::size_t &produced);
    std::size_t maxPacketBytes() const;
    bool ensureStaging(int frames);

    WaveFormat m_source;
    WaveFormat m_destination;
    CodecPlan m_plan;
    CodecContextPtr m_codec;
    SwrContextPtr m_resampler;
    AudioFifoPtr m_queue;
    FramePtr m_frame;
    PacketPtr m_packet;
    int m_frameSamples = 0;    // samples per encoded frame (a chunk for the variable codecs)
    bool m_fixedFrame = false; // the encoder takes exactly m_frameSamples per frame
    std::int64_t m_nextPts = 0;
    bool m_failed = false;
    bool m_finished = false;
    // Resampled samples of one call, one plane per channel for planar layouts. It grows to the
    // largest block once and is reused after that.
    std::array<std::vector<std::uint8_t>, 2> m_staging;
    int m_stagingFrames = 0;
};

Status CodecStream::open()
{
    const auto fail = [](const QString &reason) { return Status(Failure{reason}); };
    const QString name = formatTagName(m_destination.formatTag);
    const AVCodec *encoder = avcodec_find_encoder_by_name(m_plan.encoderName);
    if (!encoder)
        return fail(QStringLiteral("Le codec %1 n'est pas disponible.").arg(name));
    m_codec.reset(avcodec_alloc_context3(encoder));
    m_packet.reset(av_packet_alloc());
    m_frame.reset(av_frame_alloc());
    if (!m_codec || !m_packet || !m_frame)
        return fail(QStringLiteral("Mémoire insuffisante pour le codec %1.").arg(name));

    AVCodecContext *codec = m_codec.get();
    codec->sample_fmt = m_plan.sampleFormat;
    codec->sample_rate = static_cast<int>(m_destination.samplesPerSec);
    codec->time_base = AVRational{1, codec->sample_rate};
    av_channel_layout_default(&codec->ch_layout, m_destination.channels);
    if (m_plan.bitRate > 0)
        codec->bit_rate = m_plan.bitRate;
    if (m_plan.blockSize > 0 &&
        av_opt_set_int(codec->priv_data, "block_size", m_plan.blockSize, 0) < 0)
        return fail(QStringLiteral("Le codec %1 refuse la taille de bloc %2.").arg(name).arg(m_plan.blockSize));
    if (avcodec_open2(codec, encoder, nullptr) < 0)
        return fail(QStringLiteral("Le codec %1 n'a pas pu être ouvert.").arg(name));

    m_fixedFrame = codec->frame_size > 0 &&
                   !(encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    m_frameSamples = codec->frame_size > 0 ? codec->frame_size : kVariableChunkFrames;
    // The block the record announces must be the block the encoder writes.
    if (m_plan.blockSize > 0 && codec->block_align != m_destination.blockAlign)
        return fail(QStringLiteral("Le codec %1 ne produit pas des blocs de %2 octets.")
                        .arg(name).arg(m_destination.blockAlign));

    SwrContext *raw = nullptr;
    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, m_source.channels);
    const int made = swr_alloc_set_opts2(&raw, &codec->ch_layout, codec->sample_fmt, codec->sample_rate,
                                         &inLayout, AV_SAMPLE_FMT_S16,
                                         static_cast<int>(m_source.samplesPerSec), 0, nullptr);
    m_resampler.reset(raw);
    if (made < 0 || !m_resampler ||
        !setCopyingChannelMatrix(m_resampler.get(), m_source.channels, codec->ch_layout.nb_channels) ||
        swr_init(m_resampler.get()) < 0)
        return fail(QStringLiteral("Le convertisseur vers %1 n'a pas pu être ouvert.").arg(name));

    m_queue.reset(av_audio_fifo_alloc(codec->sample_fmt, m_destination.channels, 4 * m_frameSamples));
    m_frame->format = codec->sample_fmt;
    m_frame->sample_rate = codec->sample_rate;
    m_frame->nb_samples = m_frameSamples;
    if (!m_queue || av_channel_layout_copy(&m_frame->ch_layout, &codec->ch_layout) < 0 ||
        av_frame_get_buffer(m_frame.get(), 0) < 0)
        return fail(QStringLiteral("Mémoire insuffisante pour le codec %1.").arg(name));
    return {};
}

std::size_t CodecStream::maxPacketBytes() const
{
    if (m_destination.formatTag != formattags::kMpegLayer3)
        return static_cast<std::size_t>(m_fixedFrame ? m_destination.blockAlign
                                                     : m_destination.blockAlign * m_frameSamples);
    // A Layer-3 frame: samples / 8 x bit rate / rate bytes, one more with padding.
    return static_cast<std::size_t>(std::int64_t{m_frameSamples} * m_plan.bitRate /
                                    (8 * std::int64_t{m_destination.samplesPerSec})) + 1;
}

std::size_t CodecStream::destinationSize(std::size_t sourceBytes) const
{
    const auto inFrames = static_cast<std::int64_t>(sourceBytes / m_source.blockAlign);
    std::int64_t outFrames = av_rescale_rnd(inFrames, m_destination.samplesPerSec, m_source.samplesPerSec,
                                            AV_ROUND_UP);
    if (m_destination.samplesPerSec != m_source.samplesPerSec)
        outFrames += kResamplerHeldFrames;
    outFrames += m_frameSamples; // what the queue holds from earlier calls, and the padding
    const std::int64_t frames = (outFrames + m_frameSamples - 1) / m_frameSamples + m_plan.extraBlocks;
    return static_cast<std::size_t>(frames) * maxPacketBytes();
}

bool CodecStream::ensureStaging(int frames)
{
    if (frames <= m_stagingFrames)
        return true;
    const bool planar = av_sample_fmt_is_planar(m_plan.sampleFormat);
    const int planes = planar ? m_destination.channels : 1;
    const int bytes = av_samples_get_buffer_size(nullptr, planar ? 1 : m_destination.channels, frames,
                                                 m_plan.sampleFormat, 1);
    if (bytes < 0)
        return false;
    for (int p = 0; p < planes; ++p)
        m_staging[p].resize(static_cast<std::size_t>(bytes));
    m_stagingFrames = frames;
    return true;
}

bool CodecStream::resample(const std::uint8_t *in, int inFrames)
{
    const int capacity = swr_get_out_samples(m_resampler.get(), inFrames);
    if (capacity < 0 || !ensureStaging(std::max(capacity, 1)))
        return false;
    std::array<std::uint8_t *, 2> out = {m_staging[0].data(), m_staging[1].data()};
    const std::uint8_t *inPlanes[] = {in};
    const int made = swr_convert(m_resampler.get(), out.data(), m_stagingFrames, in ? inPlanes : nullptr, inFrames);
    if (made < 0)
        return false;
    if (made == 0)
        return true;
    std::array<void *, 2> queued = {out[0], out[1]};
    return av_audio_fifo_write(m_queue.get(), queued.data(), made) == made;
}

bool CodecStream::receivePackets(std::span<std::uint8_t> destination, std::size_t &produced)
{
    for (;;) {
        const int got = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (got < 0)
            return false;
        const auto size = static_cast<std::size_t>(m_packet->size);
        const bool fits = size <= destination.size() - produced;
        if (fits) {
            std::memcpy(destination.data() + produced, m_packet->data, size);
            produced += size;
        }
        av_packet_unref(m_packet.get());
        if (!fits)
            return false;
    }
}

bool CodecStream::sendFrame(int frames, std::span<std::uint8_t> destination, std::size_t &produced)
{
    AVFrame *frame = m_frame.get();
    frame->nb_samples = m_frameSamples;
    if (av_frame_make_writable(frame) < 0)
        return false;
    if (av_audio_fifo_read(m_queue.get(), reinterpret_cast<void **>(frame->data), frames) != frames)
        return false;
    int samples = frames;
    if (m_fixedFrame && frames < m_frameSamples) {
        // The last frame of the recording is completed with silence.
        if (av_samples_set_silence(frame->data, frames, m_frameSamples - frames, m_destination.channels,
                                   m_plan.sampleFormat) < 0)
            return false;
        samples = m_frameSamples;
    }
    frame->nb_samples = samples;
    frame->pts = m_nextPts;
    m_nextPts += samples;
    if (avcodec_send_frame(m_codec.get(), frame) < 0)
        return false;
    return receivePackets(destination, produced);
}

bool CodecStream::encodeQueued(std::span<std::uint8_t> destination, std::size_t &produced, bool end)
{
    while (av_audio_fifo_size(m_queue.get()) >= m_frameSamples)
        if (!sendFrame(m_frameSamples, destination, produced))
            return false;
    // A codec without a frame size takes what is left at once; a framed one keeps it for the
    // next call until the flush pads it.
    const int rest = av_audio_fifo_size(m_queue.get());
    if ((end || !m_fixedFrame) && rest > 0 && !sendFrame(rest, destination, produced))
        return false;
    if (!end)
        return true;
    if (avcodec_send_frame(m_codec.get(), nullptr) < 0)
        return false;
    return receivePackets(destination, produced);
}

ConversionResult CodecStream::convert(std::span<const std::uint8_t> source,
                                      std::span<std::uint8_t> destination, bool end)
{
    if (m_failed || (m_finished && (!source.empty() || !end)))
        return {};
    if (m_finished)
        return {true, 0, 0}; // a second flush: nothing is held any more
    if (destination.size() < destinationSize(source.size()))
        return {};
    const int inFrames = static_cast<int>(source.size() / m_source.blockAlign);
    std::size_t produced = 0;
    bool ok = inFrames == 0 || resample(source.data(), inFrames);
    if (ok && end) {
        // Drain what the resampler still holds (only when it changes the rate).
        int before = -1;
        while (ok && av_audio_fifo_size(m_queue.get()) != before) {
            before = av_audio_fifo_size(m_queue.get());
            ok = resample(nullptr, 0);
        }
    }
    ok = ok && encodeQueued(destination, produced, end);
    if (!ok) {
        m_failed = true;
        return {};
    }
    m_finished = end;
    return {true, static_cast<std::size_t>(inFrames) * m_source.blockAlign, produced};
}

} // namespace

bool isCompressedTag(std::uint16_t formatTag)
{
    switch (formatTag) {
    case formattags::kImaAdpcm:
    case formattags::kMsAdpcm:
    case formattags::kALaw:
    case formattags::kMuLaw:
    case formattags::kGsm610:
    case formattags::kMpegLayer3:
        return true;
    default:
        return false;
    }
}

Result<std::unique_ptr<ConversionStream>> openCodecStream(const WaveFormat &source, const WaveFormat &destination)
{
    const QString name = formatTagName(destination.formatTag);
    if (source.formatTag != WaveFormat::kTagPcm || source.bitsPerSample != 16 || source.channels < 1 ||
        source.channels > 2 || source.samplesPerSec < 1 || source.blockAlign != 2 * source.channels)
        return Failure{QStringLiteral("La conversion vers %1 demande une source PCM 16 bits.").arg(name)};
    CodecPlan plan;
    if (!planFor(destination, plan))
        return Failure{QStringLiteral("Le format %1 demandé n'est pas pris en charge.").arg(name)};
    auto stream = std::make_unique<CodecStream>(source, destination, plan);
    if (const Status opened = stream->open(); !opened)
        return opened.failure();
    return std::unique_ptr<ConversionStream>(std::move(stream));
}
