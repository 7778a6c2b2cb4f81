#include "platform/audio/virtual/sample_source.h"

#include "platform/acm/conversion_stream.h"
#include "platform/riff/riff_file.h"
#include "platform/riff/wave_data_extent.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr std::uint32_t kMinInputRate = 1000;
constexpr std::uint32_t kMaxInputRate = 768000;

class TestSignal final : public SampleSource {
public:
    explicit TestSignal(const WaveFormat &format) : m_format(format) {}

    void fill(std::span<std::int16_t> samples) override
    {
        const double rate = m_format.samplesPerSec;
        const int channels = m_format.channels;
        for (std::size_t i = 0; i + channels <= samples.size(); i += channels) {
            const double t = static_cast<double>(m_frame++) / rate;
            samples[i] = tone(440.0, t);
            if (channels == 2)
                samples[i + 1] = tone(880.0, t);
        }
    }

private:
    static std::int16_t tone(double hz, double t)
    {
        return static_cast<std::int16_t>(std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * hz * t)));
    }

    WaveFormat m_format;
    std::uint64_t m_frame = 0;
};

// Streams the file's data chunk through a conversion stream, a few thousand frames at a time.
class WavFileSource final : public SampleSource {
public:
    WavFileSource(RiffFile file, std::uint64_t dataBytes, const WaveFormat &fileFormat,
                  std::unique_ptr<ConversionStream> stream)
        : m_file(std::move(file)), m_remaining(dataBytes), m_fileFormat(fileFormat),
          m_stream(std::move(stream))
    {
        m_in.resize(4096u * fileFormat.blockAlign);
        m_out.resize(m_stream->destinationSize(m_in.size()));
    }

    void fill(std::span<std::int16_t> samples) override
    {
        auto *bytes = reinterpret_cast<std::uint8_t *>(samples.data());
        std::size_t wanted = samples.size_bytes();
        std::size_t written = 0;
        while (written < wanted) {
            if (m_pendingBegin == m_pendingEnd && !refill())
                break;
            const std::size_t n = std::min(wanted - written, m_pendingEnd - m_pendingBegin);
            std::copy_n(m_out.begin() + static_cast<std::ptrdiff_t>(m_pendingBegin), n, bytes + written);
            m_pendingBegin += n;
            written += n;
        }
        std::fill(bytes + written, bytes + wanted, std::uint8_t{0}); // after the file: silence
    }

private:
    bool refill()
    {
        if (m_finished)
            return false;
        const std::size_t chunk = std::min<std::uint64_t>(m_in.size(), m_remaining) /
                                  m_fileFormat.blockAlign * m_fileFormat.blockAlign;
        const std::int64_t got = chunk ? m_file.read(std::span(m_in).first(chunk)) : 0;
        const std::size_t whole = got > 0 ? static_cast<std::size_t>(got) / m_fileFormat.blockAlign *
                                                m_fileFormat.blockAlign
                                          : 0;
        m_remaining -= std::min<std::uint64_t>(m_remaining, chunk);
        const bool end = whole == 0 || m_remaining == 0;
        const ConversionResult result = m_stream->convert(std::span(m_in).first(whole), m_out, end);
        m_finished = end;
        m_pendingBegin = 0;
        m_pendingEnd = result.ok ? result.destinationUsed : 0;
        return m_pendingEnd > 0 || !m_finished;
    }

    RiffFile m_file;
    std::uint64_t m_remaining;
    WaveFormat m_fileFormat;
    std::unique_ptr<ConversionStream> m_stream;
    std::vector<std::uint8_t> m_in;
    std::vector<std::uint8_t> m_out;
    std::size_t m_pendingBegin = 0;
    std::size_t m_pendingEnd = 0;
    bool m_finished = false;
};

} // namespace

std::unique_ptr<SampleSource> makeTestSignal(const WaveFormat &captureFormat)
{
    return std::make_unique<TestSignal>(captureFormat);
}

Result<std::unique_ptr<SampleSource>> makeWavFileSource(const QString &path, const WaveFormat &captureFormat)
{
    const auto fail = [&](const QString &why) -> Result<std::unique_ptr<SampleSource>> {
        return Failure{QStringLiteral("Entrée virtuelle « %1 » : %2").arg(path, why)};
    };
    RiffFile file;
    if (!file.open(path))
        return fail(QStringLiteral("fichier illisible."));
    // The chunks are searched up to the end of the file, not of the RIFF size (which a recorder
    // that stopped early leaves short), and "data" from the first chunk on, wherever it lies.
    if (!file.descendRiff("WAVE"))
        return fail(file.formProblem().isEmpty() ? QStringLiteral("ce n'est pas un fichier WAV.") : file.formProblem());
    const std::int64_t firstChunk = file.position();
    const auto fmt = file.descend("fmt ");
    std::vector<std::uint8_t> fmtBytes(fmt ? static_cast<std::size_t>(std::min<std::uint64_t>(fmt->size, 64)) : 0);
    if (!fmt || file.read(fmtBytes) != static_cast<std::int64_t>(fmtBytes.size()))
        return fail(QStringLiteral("pas de bloc « fmt »."));
    const auto fileFormat = WaveFormat::fromBytes(fmtBytes);
    if (!fileFormat || fileFormat->formatTag != WaveFormat::kTagPcm || fileFormat->bitsPerSample != 16 ||
        fileFormat->channels < 1 || fileFormat->channels > 2 ||
        fileFormat->blockAlign != 2 * fileFormat->channels)
        return fail(QStringLiteral("seul le PCM 16 bits mono ou stéréo est lu."));
    // The conversion buffer grows with the ratio of the capture rate to the file's: a rate of a
    // few hertz would ask for gigabytes before the first block.
    if (fileFormat->samplesPerSec < kMinInputRate || fileFormat->samplesPerSec > kMaxInputRate)
        return fail(QStringLiteral("fréquence d'échantillonnage hors limites (%1 à %2 Hz).")
                        .arg(kMinInputRate)
                        .arg(kMaxInputRate));
    const auto data = file.seek(firstChunk, RiffFile::Origin::Begin) == firstChunk
                          ? file.descend("data")
                          : std::nullopt;
    if (!data)
        return fail(QStringLiteral("pas de bloc « data »."));
    // A size that a writer to a pipe left as a placeholder: the sound runs to the end.
    const auto readAt = [&file](std::uint64_t offset, std::span<std::uint8_t> bytes) {
        return file.readAt(offset, bytes);
    };
    const DataExtent extent = dataExtentOf(readAt, data->dataOffset, data->size,
                                           static_cast<std::uint64_t>(std::max<std::int64_t>(file.size(), 0)),
                                           data->sizeFromDs64);
    WaveFormat source = WaveFormat::pcm(fileFormat->samplesPerSec, fileFormat->channels, 16);
    auto stream = openConversionStream(source, captureFormat);
    if (!stream)
        return fail(QStringLiteral("conversion vers le format de capture impossible (%1)").arg(stream.reason()));
    return std::unique_ptr<SampleSource>(
        std::make_unique<WavFileSource>(std::move(file), extent.bytes, source, std::move(stream).value()));
}
