// Writing the joined file: its 44-byte header, the data of every source in list order byte
// for byte, files written by other programs, and the failures that must leave no file behind.
#include "wave_files.h"

#include "join/join_engine.h"
#include "join/join_errors.h"

#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace {

class JoinedFile : public ::testing::Test {
protected:
    // Writes bytes to a file of the folder and lists it.
    JoinFileInfo add(const QString &name, const QByteArray &bytes) { return readJoinFile(folder.write(name, bytes)); }

    TestFolder folder;
};

} // namespace

TEST_F(JoinedFile, ReplacesTheOutputWithOneCanonicalHeaderAndTheSourcesDataInListOrder)
{
    const QByteArray big = patternBytes(3 * qsizetype(kJoinCopyBufferBytes) + 4 * 777, 10);
    const QByteArray buffer = patternBytes(qsizetype(kJoinCopyBufferBytes), 11);
    const QByteArray a = patternBytes(4000, 1), b = patternBytes(2000, 2);
    const QByteArray m1 = patternBytes(1, 7), m2 = patternBytes(101, 5), m3 = patternBytes(57, 6);
    const QByteArray tagged = riffWave(formatChunk({2, 44100, 16}) +
                                       chunk("LIST", QByteArray("INFOIART") + QByteArray(30, 'd')) +
                                       chunk("data", a.left(800) + QByteArray("\x01\x02\x03", 3)) +
                                       chunk("id3 ", patternBytes(40, 9)));
    const struct { const char *what; Layout layout; std::vector<QByteArray> sources; QByteArray data; } cases[] = {
        {"two stereo", {2, 44100, 16}, {canonicalWave({2, 44100, 16}, a), canonicalWave({2, 44100, 16}, b)}, a + b},
        // 18-byte format chunks and 46-byte headers.
        {"recorder mono", {1, 22050, 16},
         {recorderWave({1, 22050, 16}, b.left(300)), recorderWave({1, 22050, 16}, a.left(100))}, b.left(300) + a.left(100)},
        // Odd data: no pad byte, exactly 44 + data.
        {"8-bit mono", {1, 8000, 8},
         {canonicalWave({1, 8000, 8}, m1), canonicalWave({1, 8000, 8}, m2), canonicalWave({1, 8000, 8}, m3)}, m1 + m2 + m3},
        // Other chunks and partial frames of the sources are not copied.
        {"tagged", {2, 44100, 16}, {tagged, canonicalWave({2, 44100, 16}, a.left(800))}, a.left(800) + a.left(800)},
        {"many buffers", {2, 44100, 16}, {canonicalWave({2, 44100, 16}, big), recorderWave({2, 44100, 16}, buffer)}, big + buffer},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<JoinFileInfo> files;
        for (const QByteArray &source : c.sources)
            files.push_back(add(QStringLiteral("%1_%2.wav").arg(c.what).arg(files.size()), source));
        const QString out = folder.write(QStringLiteral("%1_out.wav").arg(c.what), patternBytes(100000, 15));

        JoinWaveFiles(out, files);

        const QByteArray joined = readFileBytes(out);
        const quint32 size = quint32(c.data.size());
        QByteArray header("RIFF");
        appendLe(header, 36 + size, 4);
        header += "WAVE" + formatChunk(c.layout) + "data";
        appendLe(header, size, 4);
        ASSERT_EQ(joined.size(), 44 + c.data.size());
        EXPECT_EQ(joined.left(44), header);
        EXPECT_TRUE(joined.mid(44) == c.data);
    }
}

TEST_F(JoinedFile, FilesFromSoxFfmpegAndTheRecorderJoinIntoOneThatSoxReads)
{
    const QString soxFile = folder.path("sox.wav");
    const QString ffmpegFile = folder.path("ffmpeg.wav");
    runOrFail("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", soxFile, "synth", "0.5", "sine", "440"});
    runOrFail("ffmpeg", {"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=44100:duration=0.25",
                         "-ac", "2", "-c:a", "pcm_s16le", ffmpegFile});
    const QString recorded = folder.write("rec.wav", recorderWave({2, 44100, 16}, patternBytes(44100, 12)));
    const QString out = folder.path("joined.wav");

    JoinWaveFiles(out, std::vector<JoinFileInfo>{readJoinFile(soxFile), readJoinFile(ffmpegFile), readJoinFile(recorded)});

    const MediaInfo info = soxInfo(out);
    EXPECT_EQ(info.rateHz, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_NEAR(info.seconds, 0.5 + 0.25 + 0.25, 1e-4);
    EXPECT_EQ(runTool("sox", {"--i", "-s", out}).out.trimmed().toInt(), 22050 + 11025 + 11025);
    EXPECT_TRUE(soxRawSamples(out) == soxRawSamples(soxFile) + soxRawSamples(ffmpegFile) + soxRawSamples(recorded));
    EXPECT_NEAR(ffprobeInfo(out).seconds, 1.0, 1e-3);
}

TEST_F(JoinedFile, FailuresAreReportedByNumberAndLeaveTheSourcesAndNoOutputBehind)
{
    const auto stereo = [](int seed, qsizetype bytes) { return canonicalWave({2, 44100, 16}, patternBytes(bytes, seed)); };
    const std::vector<JoinFileInfo> pair = {add("a.wav", stereo(16, 400)), add("b.wav", stereo(17, 400))};
    const std::vector<JoinFileInfo> shrunk = {add("c.wav", stereo(18, 4000)), add("d.wav", stereo(19, 4000))};
    folder.write("d.wav", stereo(19, 4000).left(1000));
    const QString link = folder.path("link.wav");
    ASSERT_TRUE(QFile::link(pair[0].fileName, link));
    // Frame counts as two long recordings would have them: their sum overflows, and so does
    // the data size of frames that fit but whose bytes do not.
    JoinFileInfo longFile = pair[0];
    longFile.frameCount = 1 << 30;
    const QString out = folder.path("out.wav");
    const struct { const char *what; QString output; std::vector<JoinFileInfo> files; int number; } cases[] = {
        {"output is a source", pair[0].fileName, pair, join_error::kFileAccess},
        {"output is a source through a link", link, pair, join_error::kFileAccess},
        {"source shrank after it was listed", out, shrunk, join_error::kPastEnd},
        {"output cannot be created", folder.path("no/such/folder/out.wav"), pair, join_error::kFileAccess},
        {"full disk", QStringLiteral("/dev/full"), pair, join_error::kFileAccess},
        {"different formats", out, {pair[0], add("mono.wav", canonicalWave({1, 44100, 16}, patternBytes(40, 25)))},
         join_error::kBadFormat},
        {"frame total overflows", out, {longFile, longFile}, join_error::kOverflow},
        {"data size overflows", out, {longFile}, join_error::kOverflow},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<QByteArray> before;
        for (const JoinFileInfo &file : c.files)
            before.push_back(readFileBytes(file.fileName));

        EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(c.output, c.files); }), c.number);

        for (std::size_t i = 0; i < c.files.size(); ++i)
            EXPECT_EQ(readFileBytes(c.files[i].fileName), before[i]);
        EXPECT_FALSE(QFile::exists(out));
        EXPECT_TRUE(QFile::exists(QStringLiteral("/dev/full")));
    }
}

TEST(JoinedHeader, LargestDataSizeThatFitsIsWrittenAndOneFrameMoreIsAnOverflow)
{
    // 36 + dataSize must fit the unsigned 32-bit RIFF size: just below 4 GiB.
    const struct { std::int16_t channels, bits; std::int64_t frames; quint32 dataSize, riffSize; } cases[] = {
        {2, 16, 1073741814, 4294967256u, 4294967292u},
        {1, 8, 4294967259, 4294967259u, 4294967295u},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bits);
        const std::vector<std::uint8_t> header = joinedHeaderBytes(c.channels, c.bits, 44100, c.frames);
        ASSERT_EQ(header.size(), 44u);
        const QByteArray bytes(reinterpret_cast<const char *>(header.data()), 44);
        EXPECT_EQ(field(bytes, 40, 4), c.dataSize);
        EXPECT_EQ(field(bytes, 4, 4), c.riffSize);
        EXPECT_EQ(errorNumberOf([&] { joinedHeaderBytes(c.channels, c.bits, 44100, c.frames + 1); }), join_error::kOverflow);
    }
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
