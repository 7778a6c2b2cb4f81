// JoinWaveFiles and its header: the joined file is the canonical 44-byte PCM header followed
// by the data chunk of every listed file, in list order, streamed from file to file (by the
// kernel where it can, else through one large buffer); no file is ever held whole.
#include "join/join_engine.h"
#include "join/join_errors.h"
#include "join/posix_file.h"

#include "common/app_error.h"
#include "common/wave_format.h"

#include <QFile>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kHeaderBytesAfterRiffSize = 36;

[[noreturn]] void fail(int number, const QString &text, const char *operation = "JoinWaveFiles")
{
    throw AppError(number, text, errorSource(QLatin1String(operation)));
}

// Removes the output unless the join completed, so that a failed join leaves no file whose
// header announces data that is not there. Armed only once the output was created, and only
// when it is an ordinary file: a failed creation never removes a file that was there before,
// and a device such as /dev/null is never unlinked.
class PartialOutput {
public:
    PartialOutput(const QString &path, const PosixFile &file) : m_path(path)
    {
        struct stat status {};
        m_armed = ::fstat(file.descriptor(), &status) == 0 && S_ISREG(status.st_mode);
    }
    ~PartialOutput()
    {
        if (m_armed)
            ::unlink(QFile::encodeName(m_path).constData());
    }
    PartialOutput(const PartialOutput &) = delete;
    PartialOutput &operator=(const PartialOutput &) = delete;
    void setComplete() { m_armed = false; }

private:
    QString m_path;
    bool m_armed = false;
};

bool sameFile(const QString &a, const QString &b)
{
    struct stat first {};
    struct stat second {};
    if (::stat(QFile::encodeName(a).constData(), &first) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void checkSources(const QString &outputPath, std::span<const JoinFileInfo> records)
{
    const JoinFileInfo &reference = records.front();
    for (const JoinFileInfo &record : records) {
        // Creating the output would empty a source before its data is copied.
        if (sameFile(outputPath, record.fileName))
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

std::int32_t totalFrameCount(std::span<const JoinFileInfo> records)
{
    std::int64_t total = 0;
    for (const JoinFileInfo &record : records) {
        total += record.frameCount;
        if (total > kInt32Max)
            fail(join_error::kOverflow,
                 QStringLiteral("Dépassement de capacité : le fichier joint dépasserait la "
                                "taille d'un fichier Wave"));
    }
    return static_cast<std::int32_t>(total);
}

void copyData(const JoinFileInfo &record, PosixFile &output, const QString &outputPath,
              std::span<std::uint8_t> buffer)
{
    PosixFile input = PosixFile::openForReading(record.fileName);
    if (!input.isOpen())
        fail(join_error::kFileAccess,
             QStringLiteral("Impossible d'ouvrir le fichier %1").arg(record.fileName));
    switch (copyRange(input, record.dataOffset, record.copyBytes(), output, buffer)) {
    case CopyResult::Done:
        return;
    case CopyResult::SourceEnded:
        fail(join_error::kPastEnd, QStringLiteral("Fichier tronqué : %1").arg(record.fileName));
    case CopyResult::ReadFailed:
        fail(join_error::kFileAccess, QStringLiteral("Erreur de lecture dans le fichier %1 : %2")
                                          .arg(record.fileName, lastSystemError()));
    case CopyResult::WriteFailed:
        fail(join_error::kFileAccess, QStringLiteral("Erreur d'écriture dans le fichier %1 : %2")
                                          .arg(outputPath, lastSystemError()));
    }
}

} // namespace

std::vector<std::uint8_t> joinedHeaderBytes(std::int16_t channels, std::int16_t bits,
                                            std::int32_t sampleRate, std::int32_t totalFrames)
{
    const std::int64_t blockAlign = std::int64_t(bits / 8) * channels;
    const std::int64_t byteRate = blockAlign * sampleRate;
    const std::int64_t dataSize = blockAlign * totalFrames;
    if (blockAlign < 0 || blockAlign > std::numeric_limits<std::int16_t>::max() || byteRate < 0 ||
        byteRate > kInt32Max || dataSize < 0 || dataSize + kHeaderBytesAfterRiffSize > kInt32Max)
        fail(join_error::kOverflow,
             QStringLiteral("Dépassement de capacité : le fichier joint dépasserait la taille "
                            "d'un fichier Wave"),
             "WriteJoinedHeader");

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

void WriteJoinedHeader(PosixFile &output, const QString &outputPath, std::int16_t channels,
                       std::int16_t bits, std::int32_t sampleRate, std::int32_t totalFrames)
{
    const std::vector<std::uint8_t> header = joinedHeaderBytes(channels, bits, sampleRate, totalFrames);
    if (!output.writeAll(header))
        fail(join_error::kFileAccess, QStringLiteral("Erreur d'écriture dans le fichier %1 : %2")
                                          .arg(outputPath, lastSystemError()),
             "WriteJoinedHeader");
}

void JoinWaveFiles(const QString &outputPath, std::span<const JoinFileInfo> records)
{
    if (records.empty())
        fail(join_error::kBadFormat, QStringLiteral("Pas de fichier à joindre"));
    const JoinFileInfo &reference = records.front();
    const std::int32_t totalFrames = totalFrameCount(records);
    // Raises the overflow before the output exists.
    joinedHeaderBytes(reference.channels, reference.bitsPerSample, reference.sampleRate, totalFrames);
    checkSources(outputPath, records);

    PosixFile output = PosixFile::create(outputPath);
    if (!output.isOpen())
        fail(join_error::kFileAccess, QStringLiteral("Impossible de créer le fichier %1 : %2")
                                          .arg(outputPath, lastSystemError()));
    PartialOutput partial(outputPath, output);
    WriteJoinedHeader(output, outputPath, reference.channels, reference.bitsPerSample,
                      reference.sampleRate, totalFrames);
    std::vector<std::uint8_t> buffer(kJoinCopyBufferBytes);
    for (const JoinFileInfo &record : records)
        copyData(record, output, outputPath, buffer);
    if (!output.close())
        fail(join_error::kFileAccess, QStringLiteral("Erreur d'écriture dans le fichier %1 : %2")
                                          .arg(outputPath, lastSystemError()));
    partial.setComplete();
}

void JoinWaveFiles(const QString &outputPath)
{
    JoinWaveFiles(outputPath, listedJoinFiles());
}
