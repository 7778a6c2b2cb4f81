// The description line of a listed file and the format check that gates the join.
#include "wave_files.h"

#include "common/app_error.h"
#include "join/join_engine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

JoinFileInfo record(const QString &name, std::int16_t channels, std::int32_t rateHz, std::int16_t bits)
{
    return {.fileName = name, .channels = channels, .sampleRate = rateHz,
            .blockAlign = static_cast<std::int16_t>(channels * bits / 8), .bitsPerSample = bits};
}

} // namespace

TEST(CheckJoinCompatibility, DescribesEachFileAndLogsTheFirstMismatchOfTheRatePassThenChannelsThenBits)
{
    EXPECT_EQ(DescribeJoinFile(record("/w/a.wav", 2, 22050, 16)), "22khz 16bits Stereo     /w/a.wav");
    EXPECT_EQ(DescribeJoinFile(record("/w/b.wav", 1, 11025, 8)), "11khz 8bits Mono     /w/b.wav");
    const JoinFileInfo a = record("a.wav", 2, 44100, 16);
    TestFolder folder;
    const QString recorded = folder.write("rec.wav", recorderWave({2, 44100, 16}, patternBytes(400, 1)));
    const QString canonical = folder.write("canon.wav", canonicalWave({2, 44100, 16}, patternBytes(400, 2)));
    const auto error = [](const QString &names, const QString &reason) { return QStringList{"Message d'erreur:", names, reason}; };
    const struct { const char *what; std::vector<JoinFileInfo> files; bool compatible; QStringList lines; } cases[] = {
        // Format chunk sizes and header lengths differ; only channels, rate and bits count.
        {"recorder and canonical files", {readJoinFile(recorded), readJoinFile(canonical)}, true, {}},
        {"rate", {a, record("b.wav", 2, 22050, 16)}, false, error("a.wav and b.wav", "khz Non compatible")},
        // Channels and bits both differ: the channel reason comes first.
        {"channels", {a, record("b.wav", 1, 44100, 8), record("c.wav", 1, 44100, 8)}, false,
         error("a.wav and b.wav", "Channel Non compatible")},
        // Each pass runs to the end before the next starts: the bits differ between a and b,
        // the rate only between b and c.
        {"passes", {a, record("b.wav", 2, 44100, 8), record("c.wav", 2, 8000, 8)}, false,
         error("b.wav and c.wav", "khz Non compatible")},
        {"bits", {a, record("b.wav", 2, 44100, 8)}, false, error("a.wav and b.wav", "Bits Non compatible")},
        {"single file", {a}, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LineLog log;
        EXPECT_EQ(CheckJoinCompatibility(c.files, log), c.compatible);
        EXPECT_EQ(log.lines, c.lines);
    }
}

TEST(CheckJoinCompatibility, TheCurrentFileIsDescribedOnlyWithinTheList)
{
    const std::vector<JoinFileInfo> saved = JoinFiles;
    const std::int16_t savedIndex = JoinCurrentIndex;
    JoinFiles = {record("/w/a.wav", 2, 44100, 16)};
    JoinCurrentIndex = 0;
    EXPECT_EQ(DescribeJoinFile(), "44khz 16bits Stereo     /w/a.wav");
    for (const std::int16_t outside : {std::int16_t(-1), std::int16_t(1)}) {
        JoinCurrentIndex = outside;
        try {
            DescribeJoinFile();
            ADD_FAILURE() << "index " << outside << " described";
        } catch (const AppError &error) {
            EXPECT_EQ(error.text(), QStringLiteral("L'indice est hors limites"));
        }
    }
    JoinFiles = saved;
    JoinCurrentIndex = savedIndex;
}
