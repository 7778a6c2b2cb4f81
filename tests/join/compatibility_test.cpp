// The description line of a listed file and the format check that gates the join, on the
// engine's shared list as the join window uses it.
#include "wave_files.h"

#include "join/join_engine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

JoinFileInfo record(const QString &name, std::int16_t channels, std::int32_t rateHz, std::int16_t bits)
{
    return {.fileName = name, .channels = channels, .sampleRate = rateHz,
            .blockAlign = static_cast<std::int16_t>(channels * bits / 8), .bitsPerSample = bits};
}

// The shared list starts from where the join window opens it in every test.
class JoinList : public ::testing::Test {
protected:
    void SetUp() override { resetJoinList(); }
    void TearDown() override { resetJoinList(); }
};

} // namespace

TEST(DescribeJoinFile, GivesTheWholeKilohertzTheBitsAndMonoOrStereo)
{
    const QString path = QStringLiteral("/music/Wav/Enreg_01.wav");
    const struct { int channels, rateHz, bits; const char *start; } cases[] = {
        {2, 44100, 16, "44khz 16bits Stereo"}, {2, 22050, 16, "22khz 16bits Stereo"},
        {2, 11025, 16, "11khz 16bits Stereo"}, {2, 8000, 16, "8khz 16bits Stereo"}, {1, 11025, 8, "11khz 8bits Mono"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.start);
        EXPECT_EQ(DescribeJoinFile(record(path, c.channels, c.rateHz, c.bits)), c.start + ("     " + path));
    }
}

TEST(CheckJoinCompatibility, FirstMismatchOfTheRatePassThenChannelsThenBitsIsLogged)
{
    const JoinFileInfo a = record("a.wav", 2, 44100, 16);
    TestFolder folder;
    const QString recorded = folder.write("rec.wav", recorderWave({2, 44100, 16}, patternBytes(400, 1)));
    const QString canonical = folder.write("canon.wav", canonicalWave({2, 44100, 16}, patternBytes(400, 2)));
    const auto error = [](const QString &names, const QString &reason) {
        return QStringList{"Message d'erreur:", names, reason};
    };
    const struct { const char *what; std::vector<JoinFileInfo> files; bool compatible; QStringList lines; } cases[] = {
        {"one format", {a, record("b.wav", 2, 44100, 16), record("c.wav", 2, 44100, 16)}, true, {}},
        // Format chunk sizes and header lengths differ; only channels, rate and bits count.
        {"recorder and canonical files", {readJoinFile(recorded), readJoinFile(canonical)}, true, {}},
        {"rate", {record("/w/a.wav", 2, 44100, 16), record("/w/b.wav", 2, 22050, 16)}, false,
         error("/w/a.wav and /w/b.wav", "khz Non compatible")},
        // Channels and bits both differ: the channel reason comes first.
        {"channels", {a, record("b.wav", 1, 44100, 8), record("c.wav", 1, 44100, 8)}, false,
         error("a.wav and b.wav", "Channel Non compatible")},
        // Each pass runs to the end before the next starts: the bits differ between a and b,
        // the rate only between b and c.
        {"passes", {a, record("b.wav", 2, 44100, 8), record("c.wav", 2, 8000, 8)}, false,
         error("b.wav and c.wav", "khz Non compatible")},
        {"bits", {a, record("b.wav", 2, 44100, 8)}, false, error("a.wav and b.wav", "Bits Non compatible")},
        {"single file", {a}, false, {}},
        {"no file", {}, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LineLog log;
        EXPECT_EQ(CheckJoinCompatibility(c.files, log), c.compatible);
        EXPECT_EQ(log.lines, c.lines);
    }
}

TEST_F(JoinList, DescribesTheCurrentRecordAndChecksOnlyTheListedRecordsWithinTheArray)
{
    JoinFiles = {record("a.wav", 2, 44100, 16), record("b.wav", 2, 44100, 16), record("c.wav", 1, 8000, 8)};
    JoinFileCount = 2;
    JoinCurrentIndex = 1;
    EXPECT_EQ(DescribeJoinFile(), "44khz 16bits Stereo     b.wav");
    LineLog log;
    EXPECT_TRUE(CheckJoinCompatibility(log));

    JoinFileCount = 3;
    EXPECT_FALSE(CheckJoinCompatibility(log));
    EXPECT_EQ(log.lines.value(1), "b.wav and c.wav");

    // A count beyond the records is an error, not an overrun.
    JoinFileCount = 5;
    JoinCurrentIndex = 3;
    EXPECT_ANY_THROW(CheckJoinCompatibility(log));
    EXPECT_ANY_THROW(DescribeJoinFile());
}
