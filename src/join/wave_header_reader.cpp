// ReadWaveHeader: the format and the data chunk of one listed file, found by walking the RIFF
// chunks, so files with LIST, fact, bext or any other chunk before "data" are read as well as
// the canonical 44-byte ones and the recorder's own with their 18-byte format chunk. RF64 and
// BW64 files are read with their 64-bit sizes.
#include "join/join_engine.h"
#include "join/join_errors.h"

#include "common/app_error.h"
#include "common/wave_format.h"
#include "platform/riff/riff_file.h"
#include "platform/riff/wave_data_extent.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>

namespace {

constexpr std::int64_t kFormatFieldBytes = 16; // tag, channels, rate, byte rate, align, bits
constexpr std::int64_t kExtensibleBytes = 40;  // and the extensible format's sub-format GUID

[[noreturn]] void refuse(int number, const QString &text)
{
    throw AppError(number, text, errorSource(QStringLiteral("ReadWaveHeader")));
}

} // namespace

void ReadWaveHeader(JoinFileInfo &record)
{
    const QString &path = record.fileName;
    RiffFile file;
    if (const Status opened = file.open(path); !opened)
        refuse(join_error::kFileAccess, QStringLiteral("Impossible d'ouvrir le fichier ") + opened.reason());
    const std::int64_t fileBytes = file.size();
    if (fileBytes < 0)
        refuse(join_error::kFileAccess, QStringLiteral("Impossible de lire le fichier %1").arg(path));

    if (!file.descendRiff("WAVE")) {
        if (!file.formProblem().isEmpty())
            refuse(join_error::kBadFormat, QStringLiteral("%1 : %2").arg(path, file.formProblem()));
        refuse(join_error::kBadFormat, QStringLiteral("%1 n'est pas un fichier Wave").arg(path));
    }
    const std::int64_t firstChunk = file.position();

    // The chunks are searched up to the end of the file rather than the RIFF size, which
    // recorders that stopped early leave wrong; every size below is checked against the file.
    const auto fmt = file.descend("fmt ");
    if (!fmt)
        refuse(join_error::kBadFormat,
               QStringLiteral("Pas de bloc « fmt » dans le fichier %1").arg(path));
    if (fmt->size < static_cast<std::uint32_t>(kFormatFieldBytes))
        refuse(join_error::kBadFormat,
               QStringLiteral("Bloc « fmt » trop court dans le fichier %1").arg(path));
    std::uint8_t fields[kExtensibleBytes] = {};
    const std::int64_t fieldBytes =
        file.read(std::span(fields, static_cast<std::size_t>(std::min<std::uint64_t>(fmt->size, kExtensibleBytes))));
    if (fieldBytes < kFormatFieldBytes)
        refuse(join_error::kPastEnd,
               QStringLiteral("Fichier tronqué dans son en-tête : %1").arg(path));

    JoinFileInfo info;
    info.fileName = path;
    info.fmtSize = static_cast<std::int32_t>(fmt->size);
    info.formatTag = static_cast<std::int16_t>(le::get16(fields));
    info.channels = static_cast<std::int16_t>(le::get16(fields + 2));
    info.sampleRate = static_cast<std::int32_t>(le::get32(fields + 4));
    info.byteRate = static_cast<std::int32_t>(le::get32(fields + 8));
    info.blockAlign = static_cast<std::int16_t>(le::get16(fields + 12));
    info.bitsPerSample = static_cast<std::int16_t>(le::get16(fields + 14));

    if (info.blockAlign == 0)
        refuse(join_error::kDivisionByZero,
               QStringLiteral("Alignement de bloc nul dans le fichier %1").arg(path));
    // The joined header is always PCM and the copy moves whole 8- or 16-bit values; anything
    // else would come out as noise under a header that lies about it. PCM in the extensible
    // layout (what ffmpeg writes above 48 kHz or for other speaker layouts) is PCM all the same.
    const std::uint16_t format = formatTagOf(std::span(fields, static_cast<std::size_t>(fieldBytes)));
    const bool copyable = format == WaveFormat::kTagPcm && (info.bitsPerSample == 8 || info.bitsPerSample == 16) &&
                          info.channels >= 1 && info.sampleRate > 0 &&
                          info.blockAlign == info.channels * (info.bitsPerSample / 8);
    if (!copyable)
        refuse(join_error::kBadFormat,
               QStringLiteral("Format non pris en charge (seuls les fichiers PCM 8 ou 16 bits "
                              "peuvent être joints) : %1")
                   .arg(path));

    if (file.seek(firstChunk, RiffFile::Origin::Begin) != firstChunk)
        refuse(join_error::kFileAccess, QStringLiteral("Impossible de lire le fichier %1").arg(path));
    const auto data = file.descend("data");
    if (!data)
        refuse(join_error::kBadFormat,
               QStringLiteral("Pas de bloc « data » dans le fichier %1").arg(path));
    const auto readAt = [&file](std::uint64_t offset, std::span<std::uint8_t> bytes) {
        return file.readAt(offset, bytes);
    };
    const DataExtent extent =
        dataExtentOf(readAt, data->dataOffset, data->size, static_cast<std::uint64_t>(fileBytes), data->sizeFromDs64);
    const std::int64_t available = fileBytes - static_cast<std::int64_t>(data->dataOffset);
    if (extent.kind == DataExtent::Kind::Unclear)
        refuse(join_error::kBadFormat,
               QStringLiteral("%1 : le bloc « data » annonce 0 octet, suivi de blocs puis d'octets "
                              "inconnus : impossible de savoir où est le son.")
                   .arg(path));
    // Written to a pipe, or cut off before its header was first updated: the sound runs to the
    // end of the file. Otherwise the size field holds, and a file that ends before it is cut.
    if (extent.kind == DataExtent::Kind::Declared && data->size > static_cast<std::uint64_t>(available))
        refuse(join_error::kPastEnd,
               QStringLiteral("Fichier tronqué : %1 (le bloc « data » annonce %2 octets, le "
                              "fichier en contient %3)")
                   .arg(path, QString::number(data->size), QString::number(available)));
    info.dataSize = static_cast<std::int64_t>(extent.bytes);
    // Whole frames only: a trailing partial frame is not sample data of every channel, and
    // rounding it up would copy bytes from beyond the chunk.
    info.frameCount = info.dataSize / info.blockAlign;
    info.dataOffset = static_cast<std::int64_t>(data->dataOffset);
    record = info;
}
