// Writing the joined file: its 44-byte header, the data of every source in list order byte
// for byte, files written by other programs, and the failures that must leave no file behind.
#include "wave_files.h"

#include "join/join_engine.h"
#include "join/join_errors.h"

#include "common/app_error.h"

#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace {

quint32 field32(const QByteArray &bytes, int offset)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + offset);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 field16(const QByteArray &bytes, int offset)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + offset);
    return static_cast<quint16>(p[0] | p[1] << 8);
}

int errorNumberOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return error.number();
    }
    return 0;
}

class JoinedFile : public ::testing::Test {
protected:
    // Writes bytes to a file of the folder and lists it.
    JoinFileInfo add(const QString &name, const QByteArray &bytes)
    {
        const QString path = folder.path(name);
        EXPECT_TRUE(writeBytes(path, bytes));
        return readJoinFile(path);
    }

    TestFolder folder;
};

} // namespace

TEST_F(JoinedFile, TwoStereoFilesGiveOneHeaderAndBothDataChunksInOrder)
{
    const QByteArray first = patternBytes(4000, 1);
    const QByteArray second = patternBytes(2000, 2);
    const std::vector<JoinFileInfo> files = {add("a.wav", canonicalWave({2, 44100, 16}, first)),
                                             add("b.wav", canonicalWave({2, 44100, 16}, second))};
    ASSERT_EQ(files[0].frameCount, 1000);
    ASSERT_EQ(files[1].frameCount, 500);
    const QString out = folder.path("out.wav");

    JoinWaveFiles(out, files);

    const QByteArray joined = readFileBytes(out);
    ASSERT_EQ(joined.size(), 44 + 6000);
    EXPECT_EQ(field32(joined, 4), 6036u);
    EXPECT_EQ(field32(joined, 40), 6000u);
    EXPECT_EQ(joined.mid(44, 4000), first);
    EXPECT_EQ(joined.mid(4044), second);
}

TEST_F(JoinedFile, HeaderIsCanonicalPcmWhateverTheSourcesCarry)
{
    // Recorder files: 18-byte format chunk, 46-byte header.
    const std::vector<JoinFileInfo> files = {
        add("a.wav", recorderWave({1, 22050, 16}, patternBytes(300, 3))),
        add("b.wav", recorderWave({1, 22050, 16}, patternBytes(100, 4)))};
    const QString out = folder.path("out.wav");

    JoinWaveFiles(out, files);

    const QByteArray joined = readFileBytes(out);
    ASSERT_EQ(joined.size(), 44 + 400);
    EXPECT_EQ(joined.left(4), "RIFF");
    EXPECT_EQ(field32(joined, 4), 436u);
    EXPECT_EQ(joined.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(field32(joined, 16), 16u);
    EXPECT_EQ(field16(joined, 20), 1);
    EXPECT_EQ(field16(joined, 22), 1);
    EXPECT_EQ(field32(joined, 24), 22050u);
    EXPECT_EQ(field32(joined, 28), 44100u);
    EXPECT_EQ(field16(joined, 32), 2);
    EXPECT_EQ(field16(joined, 34), 16);
    EXPECT_EQ(joined.mid(36, 4), "data");
    EXPECT_EQ(field32(joined, 40), 400u);
}

TEST_F(JoinedFile, EightBitMonoFilesJoinInListOrder)
{
    const QByteArray a = patternBytes(101, 5);
    const QByteArray b = patternBytes(57, 6);
    const QByteArray c = patternBytes(1, 7);
    const std::vector<JoinFileInfo> files = {add("c.wav", canonicalWave({1, 8000, 8}, c)),
                                             add("a.wav", canonicalWave({1, 8000, 8}, a)),
                                             add("b.wav", canonicalWave({1, 8000, 8}, b))};
    const QString out = folder.path("out.wav");

    JoinWaveFiles(out, files);

    const QByteArray joined = readFileBytes(out);
    EXPECT_EQ(joined.mid(44), c + a + b);
    EXPECT_EQ(field32(joined, 40), 159u);
    EXPECT_EQ(field32(joined, 4), 36u + 159u); // odd data, no pad byte: exactly 44 + data
}

TEST_F(JoinedFile, OtherChunksAndPartialFramesOfTheSourcesAreNotCopied)
{
    const QByteArray data = patternBytes(800, 8);
    const QByteArray tail = patternBytes(40, 9);
    const std::vector<JoinFileInfo> files = {
        add("tagged.wav", riffWave(formatChunk({2, 44100, 16}) +
                                   chunk("LIST", QByteArray("INFOIART") + QByteArray(30, 'd')) +
                                   chunk("data", data + QByteArray("\x01\x02\x03", 3)) +
                                   chunk("id3 ", tail))),
        add("plain.wav", canonicalWave({2, 44100, 16}, data))};
    const QString out = folder.path("out.wav");

    JoinWaveFiles(out, files);

    const QByteArray joined = readFileBytes(out);
    EXPECT_EQ(joined.mid(44), data + data);
    EXPECT_EQ(field32(joined, 40), 1600u);
}

TEST_F(JoinedFile, CopySpanningManyBuffersArrivesUnchanged)
{
    const qsizetype big = 3 * qsizetype(kJoinCopyBufferBytes) + 4 * 777;
    const QByteArray first = patternBytes(big, 10);
    const QByteArray second = patternBytes(qsizetype(kJoinCopyBufferBytes), 11);
    const std::vector<JoinFileInfo> files = {add("a.wav", canonicalWave({2, 44100, 16}, first)),
                                             add("b.wav", recorderWave({2, 44100, 16}, second))};
    const QString out = folder.path("out.wav");

    JoinWaveFiles(out, files);

    const QByteArray joined = readFileBytes(out);
    ASSERT_EQ(joined.size(), 44 + first.size() + second.size());
    EXPECT_TRUE(joined.mid(44, first.size()) == first);
    EXPECT_TRUE(joined.mid(44 + first.size()) == second);
}

TEST_F(JoinedFile, FilesFromSoxFfmpegAndTheRecorderJoinIntoOneThatSoxReads)
{
    ASSERT_TRUE(haveTool("sox"));
    ASSERT_TRUE(haveTool("ffmpeg"));
    const QString soxFile = folder.path("sox.wav");
    ASSERT_EQ(runTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", soxFile, "synth", "0.5",
                              "sine", "440"})
                  .exitCode,
              0);
    const QString ffmpegFile = folder.path("ffmpeg.wav");
    ASSERT_EQ(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                                 "sine=frequency=660:sample_rate=44100:duration=0.25", "-ac", "2",
                                 "-c:a", "pcm_s16le", ffmpegFile})
                  .exitCode,
              0);
    const QString recorded = folder.path("rec.wav");
    ASSERT_TRUE(writeBytes(recorded, recorderWave({2, 44100, 16}, patternBytes(44100, 12))));
    const std::vector<JoinFileInfo> files = {readJoinFile(soxFile), readJoinFile(ffmpegFile),
                                             readJoinFile(recorded)};
    const QString out = folder.path("joined.wav");

    JoinWaveFiles(out, files);

    const MediaInfo info = soxInfo(out);
    EXPECT_EQ(info.rateHz, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_NEAR(info.seconds, 0.5 + 0.25 + 0.25, 1e-4);
    EXPECT_EQ(runTool("sox", {"--i", "-s", out}).out.trimmed().toInt(), 22050 + 11025 + 11025);
    EXPECT_TRUE(soxRawSamples(out) ==
                soxRawSamples(soxFile) + soxRawSamples(ffmpegFile) + soxRawSamples(recorded));
    const MediaInfo probed = ffprobeInfo(out);
    EXPECT_NEAR(probed.seconds, 1.0, 1e-3);
}

TEST_F(JoinedFile, ExistingOutputIsReplaced)
{
    const std::vector<JoinFileInfo> files = {
        add("a.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 13))),
        add("b.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 14)))};
    const QString out = folder.path("out.wav");
    ASSERT_TRUE(writeBytes(out, patternBytes(100000, 15)));

    JoinWaveFiles(out, files);

    EXPECT_EQ(readFileBytes(out).size(), 44 + 80);
}

TEST_F(JoinedFile, OutputThatIsOneOfTheSourcesIsRefusedAndTheSourceKept)
{
    const QByteArray a = canonicalWave({2, 44100, 16}, patternBytes(400, 16));
    const std::vector<JoinFileInfo> files = {
        add("a.wav", a), add("b.wav", canonicalWave({2, 44100, 16}, patternBytes(400, 17)))};

    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(files[0].fileName, files); }), join_error::kFileAccess);
    EXPECT_EQ(readFileBytes(files[0].fileName), a);
    // The same file through another name.
    const QString link = folder.path("link.wav");
    ASSERT_TRUE(QFile::link(files[0].fileName, link));
    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(link, files); }), join_error::kFileAccess);
    EXPECT_EQ(readFileBytes(files[0].fileName), a);
}

TEST_F(JoinedFile, SourceThatShrankAfterItWasListedLeavesNoOutput)
{
    const QByteArray b = canonicalWave({2, 44100, 16}, patternBytes(4000, 19));
    const std::vector<JoinFileInfo> files = {
        add("a.wav", canonicalWave({2, 44100, 16}, patternBytes(4000, 18))), add("b.wav", b)};
    ASSERT_TRUE(writeBytes(files[1].fileName, b.left(1000)));
    const QString out = folder.path("out.wav");

    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(out, files); }), join_error::kPastEnd);
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(JoinedFile, OutputThatCannotBeCreatedIsReported)
{
    const std::vector<JoinFileInfo> files = {
        add("a.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 22))),
        add("b.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 23)))};

    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(folder.path("no/such/folder/out.wav"), files); }),
              join_error::kFileAccess);
}

TEST_F(JoinedFile, FullDiskIsReportedAndTheDeviceLeftInPlace)
{
    const std::vector<JoinFileInfo> files = {
        add("a.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 29))),
        add("b.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 30)))};

    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(QStringLiteral("/dev/full"), files); }),
              join_error::kFileAccess);
    EXPECT_TRUE(QFile::exists(QStringLiteral("/dev/full")));
}

TEST_F(JoinedFile, RecordsOfDifferentFormatsAreRefusedBeforeAnythingIsWritten)
{
    const std::vector<JoinFileInfo> files = {
        add("a.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 24))),
        add("b.wav", canonicalWave({1, 44100, 16}, patternBytes(40, 25)))};
    const QString out = folder.path("out.wav");

    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(out, files); }), join_error::kBadFormat);
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(JoinedFile, TotalsBeyondThirtyTwoBitsAreRefusedBeforeAnythingIsWritten)
{
    // Frame counts as two long recordings would have them; their sum overflows, and so does
    // the data size of frames that fit but whose bytes do not.
    JoinFileInfo longFile = add("a.wav", canonicalWave({2, 44100, 16}, patternBytes(40, 26)));
    longFile.frameCount = 1 << 30;
    const QString out = folder.path("out.wav");

    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(out, std::vector<JoinFileInfo>{longFile, longFile}); }),
              join_error::kOverflow);
    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(out, std::vector<JoinFileInfo>{longFile}); }),
              join_error::kOverflow);
    EXPECT_FALSE(QFile::exists(out));
}

TEST(JoinedHeader, LargestDataSizeThatFitsIsWrittenAndOneFrameMoreIsAnOverflow)
{
    // 36 + dataSize must fit the signed 32-bit RIFF size.
    const std::vector<std::uint8_t> header = joinedHeaderBytes(2, 16, 44100, 536870902);
    ASSERT_EQ(header.size(), 44u);
    const QByteArray bytes(reinterpret_cast<const char *>(header.data()), 44);
    EXPECT_EQ(field32(bytes, 40), 2147483608u);
    EXPECT_EQ(field32(bytes, 4), 2147483644u);

    EXPECT_EQ(errorNumberOf([] { joinedHeaderBytes(2, 16, 44100, 536870903); }), join_error::kOverflow);
}

TEST_F(JoinedFile, JoinsTheListedRecordsOfTheSharedList)
{
    resetJoinList();
    const QByteArray a = patternBytes(200, 27);
    const QByteArray b = patternBytes(100, 28);
    const JoinFileInfo first = add("a.wav", canonicalWave({1, 11025, 16}, a));
    JoinFiles = {first, add("b.wav", canonicalWave({1, 11025, 16}, b)), first};
    JoinFileCount = 2;

    JoinWaveFiles(folder.path("out.wav"));

    EXPECT_EQ(readFileBytes(folder.path("out.wav")).mid(44), a + b);
    resetJoinList();
}
