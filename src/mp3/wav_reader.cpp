#include "mp3/wav_reader.h"

#include "common/app_error.h"
#include "common/wave_format.h"
#include "platform/riff/wave_data_extent.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>

namespace {

constexpr std::size_t kFormatWorkBytes = 50;

QString readerErrorText(int code)
{
    switch (code) {
    case 1: return QStringLiteral("Only stereo 16 bit wave files supported.");
    case 2: return QStringLiteral("Unable to open file.");
    case 3: return QStringLiteral("Not a Wave file.");
    case 4: return QStringLiteral("Unable to retrieve format chunk");
    case 5: return QStringLiteral("Error reading format");
    case 6: return QStringLiteral("No Wave File Open");
    case 7: return QStringLiteral("Insufficient memory");
    case 8: return QStringLiteral("Position out of range");
    case 9: return QStringLiteral("Cannot change buffer size whilst a file is open.");
    default: return {};
    }
}

} // namespace

cWavReader::~cWavReader()
{
    CloseFile();
}

AppError cWavReader::error(int code, const QString &reason)
{
    return AppError(29670 + code, readerErrorText(code), errorSource(QStringLiteral("cWavePlayer")), reason);
}

void cWavReader::raise(int code)
{
    throw error(code);
}

void cWavReader::closeAndRaise(int code, const QString &reason)
{
    CloseFile();
    throw error(code, reason);
}

void cWavReader::setFileName(const QString &sFile)
{
    if (OpenFile(sFile))
        m_fileName = sFile;
}

bool cWavReader::OpenFile(const QString &sSoundFile)
{
    CloseFile();
    if (sSoundFile.isEmpty())
        return false;
    if (!m_file.open(sSoundFile))
        raise(2);

    const auto riff = m_file.descendRiff("WAVE");
    if (!riff)
        closeAndRaise(3, m_file.formProblem().isEmpty() ? QString()
                                                        : QStringLiteral("%1 : %2").arg(sSoundFile, m_file.formProblem()));
    const auto fmt = m_file.descend("fmt ", &*riff);
    if (!fmt)
        closeAndRaise(4);
    readFormat(*fmt);
    if (m_bitsPerSample != 16 || m_channels != 2)
        closeAndRaise(1);
    // The samples go to the encoder as they are: another format that declares 16 bits and two
    // channels (A-law, ADPCM...) would come out as noise.
    if (m_format != WaveFormat::kTagPcm)
        closeAndRaise(1, QStringLiteral("%1 n'est pas en PCM (format 0x%2).")
                             .arg(sSoundFile)
                             .arg(m_formatTag, 4, 16, QLatin1Char('0')));

    const auto data = m_file.descend("data", &*riff);
    if (!data)
        closeAndRaise(6);
    m_dataStart = m_file.position();
    if (m_dataStart < 0)
        closeAndRaise(6);
    const std::int64_t fileBytes = m_file.size();
    if (fileBytes < 0)
        closeAndRaise(6);
    const auto readAt = [this](std::uint64_t offset, std::span<std::uint8_t> bytes) {
        return m_file.readAt(offset, bytes);
    };
    const DataExtent extent = dataExtentOf(readAt, static_cast<std::uint64_t>(m_dataStart), data->size,
                                           static_cast<std::uint64_t>(fileBytes), data->sizeFromDs64);
    switch (extent.kind) {
    case DataExtent::Kind::Declared:
        // A file cut short (a truncated copy) declares more data than it holds; only the bytes
        // really there are audio, so the length stops at the end of the file.
        m_dataLength = static_cast<std::int64_t>(
            std::min(data->size, static_cast<std::uint64_t>(std::max<std::int64_t>(fileBytes - m_dataStart, 0))));
        break;
    case DataExtent::Kind::ToTheEnd:
        // Written to a pipe, or cut off before its header was first updated: the sound runs to
        // the end of the file, in whole frames.
        m_dataLength = static_cast<std::int64_t>(extent.bytes / 4 * 4);
        break;
    case DataExtent::Kind::Unclear:
        closeAndRaise(6, QStringLiteral("%1 : le bloc « data » annonce 0 octet, suivi de blocs puis "
                                        "d'octets inconnus : impossible de savoir où est le son.")
                             .arg(sSoundFile));
    }

    const std::int64_t readBytes = static_cast<std::int64_t>(m_readFrames) * 4;
    if (readBytes <= 0)
        closeAndRaise(7);
    try {
        m_buffer.assign(static_cast<std::size_t>(readBytes / 2), 0);
    } catch (const std::bad_alloc &) {
        closeAndRaise(7);
    } catch (const std::length_error &) {
        closeAndRaise(7);
    }
    return true;
}

void cWavReader::readFormat(const RiffChunk &fmt)
{
    // The chunk is read through a zeroed 50-byte work buffer: a plain 16-byte PCM chunk yields
    // an extra size of 0, and a longer one is read in its first 50 bytes and skipped whole.
    std::array<std::uint8_t, kFormatWorkBytes> work{};
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(fmt.size, work.size()));
    const std::int64_t got = m_file.read(std::span(work.data(), wanted));
    if (got < 0)
        closeAndRaise(5);
    if (!m_file.ascend(fmt))
        closeAndRaise(5);
    m_formatTag = le::get16(&work[0]);
    m_channels = le::get16(&work[2]);
    m_sampleRate = le::get32(&work[4]);
    m_avgBytesPerSec = le::get32(&work[8]);
    m_blockAlign = le::get16(&work[12]);
    m_bitsPerSample = le::get16(&work[14]);
    m_extraSize = le::get16(&work[16]);
    m_format = formatTagOf(std::span(work.data(), static_cast<std::size_t>(got)));
}

void cWavReader::CloseFile()
{
    if (!m_file.isOpen())
        return;
    m_file.close();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_lastReadBytes = 0;
    m_dataStart = 0;
    m_dataLength = 0;
}

bool cWavReader::Read()
{
    if (!m_file.isOpen())
        raise(6);
    const std::int64_t readBytes = static_cast<std::int64_t>(m_readFrames) * 4;
    const std::int64_t remaining = m_dataLength - dataPosition();
    const bool more = readBytes < remaining;
    const std::int64_t wanted = more ? readBytes : remaining;
    if (wanted <= 0)
        return false;
    const std::int64_t got = m_file.read(
        std::span(reinterpret_cast<std::uint8_t *>(m_buffer.data()), static_cast<std::size_t>(wanted)));
    // The length was measured at open, so a short read means the disk failed or the file
    // shrank since; handing out the stale rest of the buffer as sound would corrupt the output.
    if (got != wanted)
        raise(5);
    m_lastReadBytes = wanted;
    return more;
}

const std::int16_t *cWavReader::ReadBufferPtr() const
{
    return m_file.isOpen() ? m_buffer.data() : nullptr;
}

void cWavReader::setReadBufferSize(std::int32_t lSize)
{
    if (m_file.isOpen())
        raise(9);
    m_readFrames = lSize;
}

std::int64_t cWavReader::dataPosition() const
{
    return m_file.position() - m_dataStart;
}

std::int32_t cWavReader::BufferStartPosition() const
{
    return static_cast<std::int32_t>(dataPosition());
}

void cWavReader::SeekAbsolute(std::int32_t lSample)
{
    if (!m_file.isOpen())
        raise(6);
    // Computed in 64 bits: a frame number whose byte offset does not fit 32 bits is simply
    // out of range.
    const std::int64_t target = static_cast<std::int64_t>(lSample) * 4;
    if (lSample < 0 || target > m_dataLength)
        raise(8);
    if (m_file.seek(m_dataStart + target, RiffFile::Origin::Begin) < 0)
        raise(8);
}

void cWavReader::SeekRelative(std::int32_t lSampleOffset)
{
    if (!m_file.isOpen())
        raise(6);
    const std::int64_t offset = static_cast<std::int64_t>(lSampleOffset) * 4;
    const std::int64_t target = dataPosition() + offset;
    if (target < 0 || target > m_dataLength)
        raise(8);
    if (m_file.seek(offset, RiffFile::Origin::Current) < 0)
        raise(8);
}
