// The shared join list, the description line of a listed file and the format check that must
// pass before the files are joined.
#include "join/join_engine.h"

#include "common/app_error.h"

#include <QStringList>

std::vector<JoinFileInfo> JoinFiles(1);
std::int16_t JoinFileCount = 0;
std::int16_t JoinCurrentIndex = 0;

namespace {

constexpr int kSubscriptOutOfRange = 9;

[[noreturn]] void outOfRange(const QString &operation)
{
    throw AppError(kSubscriptOutOfRange, QStringLiteral("L'indice est hors limites"),
                   errorSource(operation));
}

} // namespace

void resetJoinList()
{
    JoinFiles.assign(1, JoinFileInfo{});
    JoinFileCount = 0;
    JoinCurrentIndex = 0;
}

std::span<const JoinFileInfo> listedJoinFiles()
{
    if (JoinFileCount < 0 || static_cast<std::size_t>(JoinFileCount) > JoinFiles.size())
        outOfRange(QStringLiteral("JoinFiles"));
    return std::span<const JoinFileInfo>(JoinFiles).first(static_cast<std::size_t>(JoinFileCount));
}

QString DescribeJoinFile(const JoinFileInfo &record)
{
    return QString::number(record.sampleRate / 1000) + QStringLiteral("khz ") +
           QString::number(record.bitsPerSample) + QStringLiteral("bits ") +
           (record.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo")) +
           QStringLiteral("     ") + record.fileName;
}

QString DescribeJoinFile()
{
    if (JoinCurrentIndex < 0 || static_cast<std::size_t>(JoinCurrentIndex) >= JoinFiles.size())
        outOfRange(QStringLiteral("DescribeJoinFile"));
    return DescribeJoinFile(JoinFiles[static_cast<std::size_t>(JoinCurrentIndex)]);
}

bool CheckJoinCompatibility(std::span<const JoinFileInfo> records, JoinLog &log)
{
    if (records.size() < 2)
        return false;
    struct Pass {
        const char *reason;
        bool (*agree)(const JoinFileInfo &, const JoinFileInfo &);
    };
    static constexpr Pass kPasses[] = {
        {"Channel", [](const JoinFileInfo &a, const JoinFileInfo &b) { return a.channels == b.channels; }},
        {"khz", [](const JoinFileInfo &a, const JoinFileInfo &b) { return a.sampleRate == b.sampleRate; }},
        {"Bits", [](const JoinFileInfo &a, const JoinFileInfo &b) { return a.bitsPerSample == b.bitsPerSample; }},
    };
    for (const Pass &pass : kPasses) {
        for (std::size_t i = 1; i < records.size(); ++i) {
            if (pass.agree(records[i - 1], records[i]))
                continue;
            log.addLine(QStringLiteral("Message d'erreur:"));
            log.addLine(records[i - 1].fileName + QStringLiteral(" and ") + records[i].fileName);
            log.addLine(QLatin1String(pass.reason) + QStringLiteral(" Non compatible"));
            return false;
        }
    }
    return true;
}

bool CheckJoinCompatibility(JoinLog &log)
{
    return CheckJoinCompatibility(listedJoinFiles(), log);
}
