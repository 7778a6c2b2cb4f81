// JoinWaveFiles and its header: the joined file is the canonical 44-byte PCM header followed
// by the data chunk of every listed file, in list order, streamed from file to file (by the
// kernel where it can, else through one large buffer); no file is ever held whole. It is
// written beside the output under a temporary name and renamed into place when complete.
#include "join/join_engine.h"
#include "join/join_errors.h"

#include "common/app_error.h"
#include "common/wave_format.h"
#include "platform/files/file.h"
#include "platform/files/file_copy.h"
#include "platform/files/replacement_file.h"
#include "platform/files/same_file.h"

#include <limits>

namespace {

// The header's sizes are unsigned 32-bit fields: the RIFF size (36 + the data size) is the
// largest of them, and caps the joined file just below 4 GiB.
constexpr std::int64_t kLargestField = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kHeaderBytesAfterRiffSize = 36;

[[noreturn]] void overflow(const char *operation = "JoinWaveFiles")
{
    throw AppError(join_error::kOverflow,
                   QStringLiteral("Dépassement de capacité : le fichier joint dépasserait la taille "
                                  "d'un fichier Wave (4 Gio)"),
                   errorSource(QLatin1String(operation)));
}

[[noreturn]] void fail(int number, const QString &text, const char *operation = "JoinWaveFiles")
{
    throw AppError(number, text, errorSource(QLatin1String(operation)));
}

void checkSources(const QString &outputPath, std::span<const JoinFileInfo> records)
{
    const JoinFileInfo &reference = records.front();
    for (const JoinFileInfo &record : records) {
        // Creating the output would empty a source before its data is copied.
        if (isSameFileOnDisk(outputPath, record.fileName))
            fail(join_error::kFileAccess,
                 QStringLiteral("Le fichier à créer est l'un des fichiers à joindre : %1")
                     .arg(outputPath));
        if (record.channels != reference.channels || record.sampleRate != reference.sampleRate ||
            record.bitsPerSample != reference.bitsPerSample)
            fail(join_error::kBadFormat,
                 QStringLiteral("Format différent de celui du premier fichier : %1")
                     .arg(record.fileName));
    }
}

std::int64_t totalFrameCount(std::span<const JoinFileInfo> records)
{
    std::int64_t total = 0;
    for (const JoinFileInfo &record : records) {
        total += record.frameCount;
        if (total > kLargestField)
            overflow();
    }
    return total;
}

void copyData(const JoinFileInfo &record, File &output, std::span<std::uint8_t> buffer)
{
    Result<File> input = File::openForReading(record.fileName);
    if (!input)
        fail(join_error::kFileAccess, QStringLiteral("Impossible d'ouvrir le fichier ") + input.reason());
    input->adviseSequential();
    const Result<CopyEnd> copied = copyRange(*input, static_cast<std::uint64_t>(record.dataOffset),
                                             static_cast<std::uint64_t>(record.copyBytes()), output, buffer);
    if (!copied)
        fail(join_error::kFileAccess, copied.reason());
    if (*copied == CopyEnd::SourceEnded)
        fail(join_error::kPastEnd, QStringLiteral("Fichier tronqué : %1").arg(record.fileName));
}

} // namespace

std::vector<std::uint8_t> joinedHeaderBytes(std::int16_t channels, std::int16_t bits,
                                            std::int32_t sampleRate, std::int64_t totalFrames)
{
    const std::int64_t blockAlign = std::int64_t(bits / 8) * channels;
    const std::int64_t byteRate = blockAlign * sampleRate;
    if (blockAlign < 0 || blockAlign > std::numeric_limits<std::int16_t>::max() || byteRate < 0 ||
        byteRate > kLargestField || totalFrames < 0 || totalFrames > kLargestField)
        overflow("WriteJoinedHeader");
    const std::int64_t dataSize = blockAlign * totalFrames;
    if (dataSize + kHeaderBytesAfterRiffSize > kLargestField)
        overflow("WriteJoinedHeader");

    std::vector<std::uint8_t> header;
    header.reserve(44);
    const auto putTag = [&header](const char (&tag)[5]) { header.insert(header.end(), tag, tag + 4); };
    putTag("RIFF");
    le::put32(header, static_cast<std::uint32_t>(dataSize + kHeaderBytesAfterRiffSize));
    putTag("WAVE");
    putTag("fmt ");
    le::put32(header, 16);
    le::put16(header, WaveFormat::kTagPcm);
    le::put16(header, static_cast<std::uint16_t>(channels));
    le::put32(header, static_cast<std::uint32_t>(sampleRate));
    le::put32(header, static_cast<std::uint32_t>(byteRate));
    le::put16(header, static_cast<std::uint16_t>(blockAlign));
    le::put16(header, static_cast<std::uint16_t>(bits));
    putTag("data");
    le::put32(header, static_cast<std::uint32_t>(dataSize));
    return header;
}

void WriteJoinedHeader(File &output, std::int16_t channels, std::int16_t bits, std::int32_t sampleRate,
                       std::int64_t totalFrames)
{
    const std::vector<std::uint8_t> header = joinedHeaderBytes(channels, bits, sampleRate, totalFrames);
    if (const Status written = output.write(header); !written)
        fail(join_error::kFileAccess, QStringLiteral("Erreur d'écriture dans le fichier ") + written.reason(),
             "WriteJoinedHeader");
}

void JoinWaveFiles(const QString &outputPath, std::span<const JoinFileInfo> records)
{
    if (records.empty())
        fail(join_error::kBadFormat, QStringLiteral("Pas de fichier à joindre"));
    const JoinFileInfo &reference = records.front();
    const std::int64_t totalFrames = totalFrameCount(records);
    // Raises the overflow before the output exists.
    joinedHeaderBytes(reference.channels, reference.bitsPerSample, reference.sampleRate, totalFrames);
    checkSources(outputPath, records);

    // The joined file takes the output's name only once it is complete: a failure or a full
    // disk leaves a file already under that name as it was, and no partial file beside it.
    ReplacementFile replacement;
    if (const Status created = replacement.create(outputPath); !created)
        fail(join_error::kFileAccess, QStringLiteral("Impossible de créer le fichier ") + created.reason());
    Result<File> output = File::create(replacement.writePath());
    if (!output)
        fail(join_error::kFileAccess, QStringLiteral("Impossible de créer le fichier ") + output.reason());
    output->showAs(outputPath); // failures name the output, not its temporary name
    WriteJoinedHeader(*output, reference.channels, reference.bitsPerSample, reference.sampleRate, totalFrames);
    std::vector<std::uint8_t> buffer(kJoinCopyBufferBytes);
    for (const JoinFileInfo &record : records)
        copyData(record, *output, buffer);
    Status finished = output->close();
    if (finished)
        finished = replacement.commit();
    if (!finished)
        fail(join_error::kFileAccess, QStringLiteral("Erreur d'écriture dans le fichier ") + finished.reason());
}

void JoinWaveFiles(const QString &outputPath)
{
    JoinWaveFiles(outputPath, listedJoinFiles());
}
