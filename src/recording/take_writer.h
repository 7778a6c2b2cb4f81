// Writes a take's sound through the encoder into its files: one file, or parts of an exact
// number of frames each, and a next part whenever a file reaches the largest WAV size (unless
// the encoder makes RF64 files, which have no such limit). A part ends on the exact frame, so
// the parts joined give back the take sample for sample.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

class EncoderWAV;

class TakeWriter {
public:
    enum class Outcome { Written, WriteError, FileRemoved, FileFull, PartRefused };

    // The encoder has the take's first file open already: path itself, or its first part when
    // split (firstFile()).
    TakeWriter(EncoderWAV &encoder, QString path, std::int32_t rateHz, std::uint16_t channels,
               std::optional<std::uint64_t> splitFrames);

    static QString firstFile(const QString &path, bool split);

    // Writes every frame or stops at the first failure (the encoder's lastError() says why).
    Outcome write(std::span<const std::int16_t> samples);

    const QStringList &files() const { return m_files; }
    std::uint64_t framesWritten() const { return m_framesWritten; }

    // Told each time the take goes on in a new file; full: the previous one reached the
    // largest WAV size.
    std::function<void(const QString &path, bool full)> partStarted;

private:
    Outcome writeInFile(std::span<const std::int16_t> samples);
    bool openNextPart();

    EncoderWAV &m_encoder;
    const QString m_path;
    const std::int32_t m_rateHz;
    const std::uint16_t m_channels;
    const std::optional<std::uint64_t> m_splitFrames;
    QStringList m_files;
    int m_part;
    std::uint64_t m_framesInFile = 0;
    std::uint64_t m_framesWritten = 0;
};
