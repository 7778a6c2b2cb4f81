// The description line of a listed file and the format check that gates the join, on the
// engine's shared list as the join window uses it.
#include "wave_files.h"

#include "join/join_engine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

JoinFileInfo record(const QString &name, int channels, int rateHz, int bits)
{
    JoinFileInfo info;
    info.fileName = name;
    info.channels = static_cast<std::int16_t>(channels);
    info.sampleRate = rateHz;
    info.bitsPerSample = static_cast<std::int16_t>(bits);
    info.blockAlign = static_cast<std::int16_t>(channels * bits / 8);
    return info;
}

// The shared list starts from where the join window opens it in every test.
class JoinList : public ::testing::Test {
protected:
    void SetUp() override { resetJoinList(); }
    void TearDown() override { resetJoinList(); }
};

} // namespace

TEST(DescribeJoinFile, NamesTheWholeKilohertzOfEachRecordingRate)
{
    const QString path = QStringLiteral("/music/Wav/Enreg_01.wav");
    EXPECT_EQ(DescribeJoinFile(record(path, 2, 44100, 16)), "44khz 16bits Stereo     " + path);
    EXPECT_EQ(DescribeJoinFile(record(path, 2, 22050, 16)), "22khz 16bits Stereo     " + path);
    EXPECT_EQ(DescribeJoinFile(record(path, 2, 11025, 16)), "11khz 16bits Stereo     " + path);
    EXPECT_EQ(DescribeJoinFile(record(path, 2, 8000, 16)), "8khz 16bits Stereo     " + path);
}

TEST(DescribeJoinFile, SaysMonoForOneChannelAndGivesTheBits)
{
    EXPECT_EQ(DescribeJoinFile(record("a.wav", 1, 11025, 8)), "11khz 8bits Mono     a.wav");
}

TEST(CheckJoinCompatibility, FilesOfOneFormatPassWithoutALogLine)
{
    const std::vector<JoinFileInfo> files = {record("a.wav", 2, 44100, 16),
                                             record("b.wav", 2, 44100, 16),
                                             record("c.wav", 2, 44100, 16)};
    LineLog log;
    EXPECT_TRUE(CheckJoinCompatibility(files, log));
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST(CheckJoinCompatibility, RateMismatchLogsTheTwoNamesAndKhzNonCompatible)
{
    const std::vector<JoinFileInfo> files = {record("/w/a.wav", 2, 44100, 16),
                                             record("/w/b.wav", 2, 22050, 16)};
    LineLog log;
    EXPECT_FALSE(CheckJoinCompatibility(files, log));
    EXPECT_EQ(log.lines, QStringList({"Message d'erreur:", "/w/a.wav and /w/b.wav", "khz Non compatible"}));
}

TEST(CheckJoinCompatibility, ChannelReasonComesFirstWhenChannelsAndBitsBothDiffer)
{
    const std::vector<JoinFileInfo> files = {record("a.wav", 2, 44100, 16),
                                             record("b.wav", 1, 44100, 8),
                                             record("c.wav", 1, 44100, 8)};
    LineLog log;
    EXPECT_FALSE(CheckJoinCompatibility(files, log));
    EXPECT_EQ(log.lines, QStringList({"Message d'erreur:", "a.wav and b.wav", "Channel Non compatible"}));
}

TEST(CheckJoinCompatibility, EachPassRunsToTheEndBeforeTheNextStarts)
{
    // The bits differ between a and b, the rate only between b and c: the rate pass comes
    // first and names b and c.
    const std::vector<JoinFileInfo> files = {record("a.wav", 2, 44100, 16),
                                             record("b.wav", 2, 44100, 8),
                                             record("c.wav", 2, 8000, 8)};
    LineLog log;
    EXPECT_FALSE(CheckJoinCompatibility(files, log));
    EXPECT_EQ(log.lines, QStringList({"Message d'erreur:", "b.wav and c.wav", "khz Non compatible"}));

    LineLog bitsLog;
    const std::vector<JoinFileInfo> sameRate = {files[0], files[1]};
    EXPECT_FALSE(CheckJoinCompatibility(sameRate, bitsLog));
    EXPECT_EQ(bitsLog.lines.value(2), "Bits Non compatible");
}

TEST(CheckJoinCompatibility, SingleFileDoesNothing)
{
    const std::vector<JoinFileInfo> one = {record("a.wav", 2, 44100, 16)};
    LineLog log;
    EXPECT_FALSE(CheckJoinCompatibility(one, log));
    EXPECT_FALSE(CheckJoinCompatibility(std::vector<JoinFileInfo>{}, log));
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST(CheckJoinCompatibility, RecorderFileAndCanonicalFileOfOneFormatAreCompatible)
{
    // Format chunk sizes and header lengths differ; only channels, rate and bits count.
    TestFolder folder;
    const QString recorded = folder.path("rec.wav");
    const QString canonical = folder.path("canon.wav");
    ASSERT_TRUE(writeBytes(recorded, recorderWave({2, 44100, 16}, patternBytes(400, 1))));
    ASSERT_TRUE(writeBytes(canonical, canonicalWave({2, 44100, 16}, patternBytes(400, 2))));
    const std::vector<JoinFileInfo> files = {readJoinFile(recorded), readJoinFile(canonical)};
    ASSERT_NE(files[0].fmtSize, files[1].fmtSize);

    LineLog log;
    EXPECT_TRUE(CheckJoinCompatibility(files, log));
}

TEST_F(JoinList, DescribesTheCurrentRecord)
{
    JoinFiles = {record("a.wav", 2, 44100, 16), record("b.wav", 1, 8000, 8)};
    JoinFileCount = 2;
    JoinCurrentIndex = 1;
    EXPECT_EQ(DescribeJoinFile(), "8khz 8bits Mono     b.wav");
}

TEST_F(JoinList, ChecksOnlyTheListedRecords)
{
    JoinFiles = {record("a.wav", 2, 44100, 16), record("b.wav", 2, 44100, 16),
                 record("stale.wav", 1, 8000, 8)};
    JoinFileCount = 2;
    LineLog log;
    EXPECT_TRUE(CheckJoinCompatibility(log));

    JoinFileCount = 3;
    EXPECT_FALSE(CheckJoinCompatibility(log));
    EXPECT_EQ(log.lines.value(1), "b.wav and stale.wav");
}

TEST_F(JoinList, CountBeyondTheRecordsIsAnErrorNotAnOverrun)
{
    JoinFileCount = 5;
    JoinCurrentIndex = 3;
    LineLog log;
    EXPECT_ANY_THROW(CheckJoinCompatibility(log));
    EXPECT_ANY_THROW(DescribeJoinFile());
}
