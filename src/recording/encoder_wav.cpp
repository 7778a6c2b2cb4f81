#include "recording/encoder_wav.h"

#include "common/app_error.h"
#include "common/file_names.h"
#include "common/number_format.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "common/system_error.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

EncoderWAV::EncoderWAV() : m_outputFormat(WaveFormat::pcm(44100, 2, 16).toBytes()) {}

EncoderWAV::~EncoderWAV()
{
    Encoder_EncoderClose();
}

void EncoderWAV::setWriteHeader(bool writeHeader)
{
    if (isOpen())
        throw AppError(90, QStringLiteral("Encoder already running!"), errorSource(QStringLiteral("EncoderWAV")));
    m_writeHeader = writeHeader;
}

void EncoderWAV::SetFormat(std::span<const std::uint8_t> wfx, const QString &FormatID,
                           const QString &FormatTag)
{
    if (wfx.size() < 16)
        return;
    m_outputFormat.assign(wfx.begin(), wfx.end());
    m_formatId = FormatID;
    m_formatTag = FormatTag;
}

void EncoderWAV::SetPCMFormat(std::int32_t samplerate, std::int16_t Channels, const QString &FormatID,
                              const QString &FormatTag)
{
    const WaveFormat format = WaveFormat::pcm(static_cast<std::uint32_t>(std::max(samplerate, 0)),
                                              static_cast<std::uint16_t>(std::max<std::int16_t>(Channels, 0)), 16);
    QString id = FormatID;
    if (id.isEmpty()) {
        const double kHz = roundHalfEven(samplerate / 100.0) / 10.0;
        id = formatNumber(kHz) + QStringLiteral(" ") + QString::number(format.bitsPerSample) +
             QStringLiteral(" Bit ") + (Channels == 2 ? QStringLiteral("stereo") : QStringLiteral("mono"));
    }
    const QString tag = FormatTag.isEmpty() ? QStringLiteral("PCM") : FormatTag;
    SetFormat(format.toBytes(), id, tag);
}

std::int32_t EncoderWAV::SelectFormat(std::int32_t samplerate, std::int16_t Channels, QObject *hwndOwner,
                                      const QString &Title)
{
    if (samplerate < 1 || Channels < 1 || !m_chooser)
        return kChooserCancelled;
    const WaveFormat reference = WaveFormat::pcm(static_cast<std::uint32_t>(samplerate),
                                                 static_cast<std::uint16_t>(Channels), 16);
    const std::vector<std::uint8_t> initial = reference.toBytes();
    const std::optional<OutputFormatChoice> chosen = m_chooser->choose(reference, initial, hwndOwner, Title);
    if (!chosen)
        return kChooserCancelled;
    // The chooser's description and tag name fields hold 128 and 48 characters with the NUL.
    SetFormat(chosen->record, chosen->description.left(127), chosen->tagName.left(47));
    return kDone;
}

std::int32_t EncoderWAV::refuse(std::int32_t code, const QString &reason)
{
    m_lastError = reason;
    return code;
}

std::int32_t EncoderWAV::refuseOutput(const QString &output, const Failure &failure)
{
    // With exclusive creation, a name that is taken lets the caller try the next one.
    m_nameTaken = m_exclusive && File::nameIsTaken(output);
    return refuse(kNoFile, failure.reason);
}

std::int32_t EncoderWAV::checkInit(std::int32_t samplerate, std::int16_t Channels, const QString &output)
{
    m_lastError.clear();
    m_nameTaken = false;
    if (samplerate < 1 || Channels < 1)
        return refuse(kBadFormat, QStringLiteral("Fréquence (%1 Hz) ou nombre de canaux (%2) invalide.")
                                      .arg(samplerate)
                                      .arg(Channels));
    const WaveFormat input = WaveFormat::pcm(static_cast<std::uint32_t>(samplerate), static_cast<std::uint16_t>(Channels), 16);
    const auto outputFormat = WaveFormat::fromBytes(m_outputFormat);
    if (!outputFormat)
        return refuse(kBadFormat, QStringLiteral("Le format de sortie choisi est illisible."));
    if (const auto stream = openConversionStream(input, *outputFormat); !stream)
        return refuse(kBadFormat, stream.reason());
    if (const Status creatable = File::checkRecordingCreation(output, m_exclusive); !creatable)
        return refuseOutput(output, creatable.failure());
    return kDone;
}

std::int32_t EncoderWAV::Encoder_EncoderInit(std::int32_t samplerate, std::int16_t Channels,
                                             const QString &output)
{
    Encoder_EncoderClose();
    m_lastError.clear();
    m_nameTaken = false;
    if (samplerate < 1 || Channels < 1)
        return refuse(kBadFormat, QStringLiteral("Fréquence (%1 Hz) ou nombre de canaux (%2) invalide.")
                                      .arg(samplerate)
                                      .arg(Channels));
    m_inputFormat = WaveFormat::pcm(static_cast<std::uint32_t>(samplerate), static_cast<std::uint16_t>(Channels), 16);

    const auto outputFormat = WaveFormat::fromBytes(m_outputFormat);
    if (!outputFormat)
        return refuse(kBadFormat, QStringLiteral("Le format de sortie choisi est illisible."));
    Result<std::unique_ptr<ConversionStream>> stream = openConversionStream(m_inputFormat, *outputFormat);
    if (!stream)
        return refuse(kBadFormat, stream.reason());
    m_stream = std::move(stream).value();
    m_outputBlockAlign = std::max<std::uint32_t>(outputFormat->blockAlign, 1);
    m_outputIsPcm = outputFormat->isPcm();
    m_input.assign(m_inputFormat.avgBytesPerSec, 0);
    m_output.assign(m_stream->destinationSize(m_input.size()), 0);

    Result<File> created = File::createForRecording(output, m_exclusive);
    if (!created) {
        releaseStream(); // nothing to convert for: the next init starts afresh
        return refuseOutput(output, created.failure());
    }
    m_file = std::move(*created);
    m_fileBytes = 0;
    m_inputBytes = 0;
    if (m_writeHeader) {
        // The header's place holds a header that describes no data yet, so that the file is a
        // valid WAV from its first byte on.
        const std::vector<std::uint8_t> header = headerFor(headerBytes());
        if (const Status written = m_file.write(header); !written) {
            // Not even the header fits: leave no half-made file behind.
            const QString path = m_file.path();
            (void)m_file.close();
            ::unlink(fileNameBytes(path).constData()); // an ordinary file we made, locked by us
            releaseStream();
            refuse(kWriteError, written.reason());
            return kWriteError;
        }
        m_fileBytes = header.size();
    }
    return kDone;
}

std::int32_t EncoderWAV::Encoder_Encode(const void *buffer_ptr, std::int32_t buffer_len,
                                        std::int32_t &buffer_used)
{
    if (buffer_len < 0 || static_cast<std::size_t>(buffer_len) > m_input.size())
        return kBlockTooLarge;
    buffer_used = 0;
    if (!m_stream)
        return kConversionFailed;
    // This block's output and, after it, the flush at close must fit in what the sizes describe.
    if (m_writeHeader && !m_rf64) {
        const std::uint64_t room = m_stream->destinationSize(static_cast<std::size_t>(buffer_len)) + m_stream->destinationSize(0);
        if (m_fileBytes + room > m_maxFileBytes)
            return kFileFull;
    }
    if (buffer_ptr)
        std::memcpy(m_input.data(), buffer_ptr, static_cast<std::size_t>(buffer_len));

    const ConversionResult result =
        m_stream->convert(std::span(m_input).first(static_cast<std::size_t>(buffer_len)), m_output, false);
    buffer_used = static_cast<std::int32_t>(result.sourceUsed);
    if (!result.ok)
        return result.sourceUsed > 0 ? kDone : kConversionFailed;
    if (!writeConverted(result.destinationUsed))
        return kWriteError;
    if (!updateHeaderEachSecond(static_cast<std::size_t>(buffer_len)))
        return m_file.isStillLinked() ? kWriteError : kFileRemoved;
    return kDone;
}

bool EncoderWAV::updateHeaderEachSecond(std::size_t inputBytes)
{
    const std::uint64_t second = m_inputFormat.avgBytesPerSec;
    const std::uint64_t before = m_inputBytes / second;
    m_inputBytes += inputBytes;
    if (m_inputBytes / second == before)
        return true;
    // Once a second: a file that lost its name (deleted, its folder removed) records nothing
    // any more; say so rather than record into the void.
    if (!m_file.isStillLinked())
        return false;
    // One write over the header in place; the end of the file does not move.
    if (!m_writeHeader)
        return true;
    const Status written = m_file.writeAt(0, headerFor(m_fileBytes));
    if (!written)
        refuse(kWriteError, written.reason());
    return written.ok();
}

bool EncoderWAV::writeConverted(std::size_t bytes)
{
    if (bytes == 0)
        return true;
    const Status written = m_file.write(std::span(m_output).first(bytes));
    if (written) {
        m_fileBytes += bytes;
        return true;
    }
    // The disk took part of it: keep the whole blocks only, so the data ends on a whole frame.
    refuse(kWriteError, written.reason());
    const Result<std::uint64_t> length = m_file.length();
    const std::uint64_t taken = length && *length > m_fileBytes ? *length - m_fileBytes : 0;
    const std::uint64_t kept = taken / m_outputBlockAlign * m_outputBlockAlign;
    (void)m_file.truncate(m_fileBytes + kept);
    m_fileBytes += kept;
    return false;
}

std::int32_t EncoderWAV::Encoder_EncoderClose()
{
    if (!isOpen())
        return kNoFile;
    bool intact = true;
    if (m_stream) {
        const ConversionResult flushed = m_stream->convert({}, m_output, true);
        if (flushed.ok)
            intact = writeConverted(flushed.destinationUsed);
    }
    if (m_writeHeader)
        intact = writeFinalHeader() && intact;
    releaseStream();
    intact = m_file.close().ok() && intact;
    // A file whose tail or header could not be written is not reported as finished.
    return intact ? kDone : kWriteError;
}

std::vector<std::uint8_t> EncoderWAV::headerFor(std::uint64_t fileBytes) const
{
    std::vector<std::uint8_t> header;
    header.reserve(headerBytes());
    const auto tag = [&header](const char (&fourcc)[5]) {
        for (int i = 0; i < 4; ++i)
            header.push_back(static_cast<std::uint8_t>(fourcc[i]));
    };
    const auto put64 = [&header](std::uint64_t v) {
        le::put32(header, static_cast<std::uint32_t>(v));
        le::put32(header, static_cast<std::uint32_t>(v >> 32));
    };
    const std::uint64_t dataBytes = fileBytes - headerBytes();
    const bool past = m_rf64 && fileBytes > m_maxFileBytes;
    tag(past ? "RF64" : "RIFF");
    le::put32(header, past ? 0xFFFFFFFFu : static_cast<std::uint32_t>(fileBytes - 8));
    tag("WAVE");
    if (m_rf64) {
        tag(past ? "ds64" : "JUNK");
        le::put32(header, kDs64ChunkBytes - 8);
        const std::uint64_t frames = m_outputIsPcm ? dataBytes / m_outputBlockAlign
                                                   : m_inputBytes / std::max<std::uint16_t>(m_inputFormat.blockAlign, 1);
        put64(past ? fileBytes - 8 : 0);
        put64(past ? dataBytes : 0);
        put64(past ? frames : 0);
        le::put32(header, 0); // no table
    }
    tag("fmt ");
    le::put32(header, static_cast<std::uint32_t>(m_outputFormat.size()));
    header.insert(header.end(), m_outputFormat.begin(), m_outputFormat.end());
    tag("data");
    le::put32(header, past ? 0xFFFFFFFFu : static_cast<std::uint32_t>(dataBytes));
    return header;
}

bool EncoderWAV::writeFinalHeader()
{
    const Result<std::uint64_t> length = m_file.length();
    if (!length || *length < headerBytes())
        return false;
    return m_file.writeAt(0, headerFor(*length)).ok();
}

void EncoderWAV::releaseStream()
{
    m_stream.reset();
    m_input.clear();
    m_input.shrink_to_fit();
    m_output.clear();
    m_output.shrink_to_fit();
}

std::int32_t EncoderWAV::Encoder_EncoderMetrics(std::int32_t info) const
{
    if (info != 0 && info != 1)
        return 0;
    if (!isOpen())
        return -1;
    return info == 1 ? static_cast<std::int32_t>(m_inputFormat.avgBytesPerSec) : m_inputFormat.blockAlign;
}
