#include "recording/take_writer.h"

#include "recording/encoder_wav.h"
#include "recording/take_parts.h"

#include <algorithm>

TakeWriter::TakeWriter(EncoderWAV &encoder, QString path, std::int32_t rateHz, std::uint16_t channels,
                       std::optional<std::uint64_t> splitFrames)
    : m_encoder(encoder), m_path(std::move(path)), m_rateHz(rateHz), m_channels(std::max<std::uint16_t>(channels, 1)),
      m_splitFrames(splitFrames), m_files{firstFile(m_path, splitFrames.has_value())}, m_part(splitFrames ? 1 : 0)
{
}

QString TakeWriter::firstFile(const QString &path, bool split)
{
    return split ? takePartPath(path, 1) : path;
}

bool TakeWriter::openNextPart()
{
    m_encoder.Encoder_EncoderClose();
    const QString next = takePartPath(m_path, ++m_part);
    if (m_encoder.Encoder_EncoderInit(m_rateHz, static_cast<std::int16_t>(m_channels), next) != EncoderWAV::kDone)
        return false;
    m_files.append(next);
    m_framesInFile = 0;
    return true;
}

TakeWriter::Outcome TakeWriter::write(std::span<const std::int16_t> samples)
{
    while (!samples.empty()) {
        std::size_t frames = samples.size() / m_channels;
        if (m_splitFrames) {
            if (m_framesInFile >= *m_splitFrames) {
                if (!openNextPart())
                    return Outcome::PartRefused;
                if (partStarted)
                    partStarted(m_files.back(), false);
            }
            frames = static_cast<std::size_t>(std::min<std::uint64_t>(frames, *m_splitFrames - m_framesInFile));
        }
        const Outcome outcome = writeInFile(samples.first(frames * m_channels));
        if (outcome != Outcome::Written)
            return outcome;
        samples = samples.subspan(frames * m_channels);
    }
    return Outcome::Written;
}

// Writes frames into the open file, one second of input at most per encoder call; a file that
// is full goes on in the next part.
TakeWriter::Outcome TakeWriter::writeInFile(std::span<const std::int16_t> samples)
{
    const std::size_t chunkSamples = static_cast<std::size_t>(std::max(m_rateHz, 1)) * m_channels;
    bool freshFile = false;
    while (!samples.empty()) {
        const std::span<const std::int16_t> chunk = samples.first(std::min(samples.size(), chunkSamples));
        std::int32_t used = 0;
        switch (m_encoder.Encoder_Encode(chunk.data(), static_cast<std::int32_t>(chunk.size_bytes()), used)) {
        case EncoderWAV::kWriteError:
            return Outcome::WriteError;
        case EncoderWAV::kFileRemoved:
            return Outcome::FileRemoved;
        case EncoderWAV::kFileFull:
            // A file that cannot take even its first block never will: the limit is too low.
            if (freshFile || m_framesInFile == 0)
                return Outcome::FileFull;
            if (!openNextPart())
                return Outcome::PartRefused;
            if (partStarted)
                partStarted(m_files.back(), true);
            freshFile = true;
            continue;
        default:
            break; // results 8 and 9 lose the block silently, as they always have
        }
        freshFile = false;
        const std::uint64_t frames = chunk.size() / m_channels;
        m_framesInFile += frames;
        m_framesWritten += frames;
        samples = samples.subspan(chunk.size());
    }
    return Outcome::Written;
}
