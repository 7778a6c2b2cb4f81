// RF64 files through the commands a user runs on them: recorded with --rf64 or made by ffmpeg
// to a file or a pipe, they are joined and converted whole and repaired only when stale; a ds64
// cut short is refused by every command, and a RIFF recording past 4 GiB is repaired into RF64.
#include "record_test_support.h"

#include "../support/signal_helpers.h"
#include "../support/wave_bytes.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;
constexpr qint64 kRecorderHeaderBytes = 82; // RF64, ds64, an 18-byte fmt chunk, data

std::uint64_t le64At(const QByteArray &bytes, int offset)
{
    return le32At(bytes, offset) | static_cast<std::uint64_t>(le32At(bytes, offset + 4)) << 32;
}

class Rf64Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Two seconds of counting past a RIFF limit lowered to 300000 bytes: the file turns RF64.
        const QString input = folder.path("count.wav");
        ASSERT_TRUE(writePcmWav(input, kRate, 2, makeCountingSignal(1, 3 * kRate)));
        QProcessEnvironment environment = virtualEnvironment(folder, "0", input);
        environment.insert("SONORIEL_MAX_WAV_BYTES", "300000");
        const ToolResult run = sonoriel({"record", recorded, "--seconds", "2", "--rf64"}, environment);
        ASSERT_TRUE(run.exitCode == 0 && readFileBytes(recorded).startsWith("RF64")) << run.err.toStdString();
        recordedSamples = decodeWithSox(recorded); // whole and unbroken: see record_take_tests.cpp
        // ffmpeg's RF64 has a LIST chunk before its data.
        ASSERT_EQ(runShell("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=0.5 -ac 2 -ar 44100 -c:a pcm_s16le "
                           "-rf64 always " + byFfmpeg).exitCode, 0);
        ASSERT_TRUE(readFileBytes(byFfmpeg).startsWith("RF64"));
        // Written to a pipe, its ds64 holds zeros: ffmpeg cannot come back to fill it.
        ASSERT_EQ(runShell(QStringLiteral("ffmpeg -v error -i '%1' -c:a pcm_s16le -rf64 always -f wav - | cat > '%2'")
                               .arg(byFfmpeg, piped)).exitCode, 0);
        ASSERT_EQ(le64At(readFileBytes(piped), 20), 0u);
    }

    TestFolder folder;
    QString recorded = folder.path("recorded.wav"), byFfmpeg = folder.path("ffmpeg.wav"), piped = folder.path("piped.wav");
    std::vector<std::int16_t> recordedSamples;
};

} // namespace

TEST_F(Rf64Files, JoinedAndConvertedTheyGiveEveryFrameTheyHold)
{
    const QString riff = folder.path("riff.wav");
    const std::vector<std::int16_t> tone = makeTone(1000, kRate, 2, kRate / 3);
    ASSERT_TRUE(writePcmWav(riff, kRate, 2, tone));
    std::vector<std::int16_t> expected = recordedSamples;
    for (const auto &samples : {decodeWithSox(byFfmpeg), decodeWithSox(byFfmpeg), tone})
        expected.insert(expected.end(), samples.begin(), samples.end());
    const QString joined = folder.path("joined.wav");
    const ToolResult run = sonoriel({"join", joined, recorded, byFfmpeg, piped, riff});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(decodeWithSox(joined) == expected) << "the joined file is not the samples of the four files";

    // lame reads its own tag: the decoded sound has the frames of the source, to the frame.
    for (const QString &source : {recorded, piped}) {
        const QString mp3 = folder.path("out.mp3"), decoded = folder.path("decoded.wav");
        ASSERT_EQ(sonoriel({"convert", source, mp3}).exitCode, 0) << source.toStdString();
        ASSERT_EQ(runTool("lame", {"--quiet", "--decode", mp3, decoded}).exitCode, 0);
        EXPECT_EQ(decodeWithSox(decoded).size(), decodeWithSox(source == piped ? byFfmpeg : recorded).size());
    }
}

TEST_F(Rf64Files, RepairFixesStaleDs64SizesAndLeavesRightOnesAndCutOnesAsTheyAre)
{
    for (const QString &path : {recorded, byFfmpeg}) {
        const QByteArray before = readFileBytes(path);
        const ToolResult run = sonoriel({"repair", path});
        EXPECT_TRUE(run.exitCode == 0 && run.err.contains("déjà correct")) << run.err.toStdString();
        EXPECT_TRUE(readFileBytes(path) == before) << path.toStdString();
    }

    // A recording cut off a second after the header's last update, in the middle of a frame.
    const QByteArray whole = readFileBytes(recorded);
    const qint64 dataBytes = whole.size() - kRecorderHeaderBytes, staleBytes = dataBytes - 4 * kRate;
    QByteArray stale = whole + QByteArray("\x01\x02\x03", 3);
    QByteArray sizes;
    appendLe(sizes, kRecorderHeaderBytes + staleBytes - 8, 8);
    appendLe(sizes, staleBytes, 8);
    appendLe(sizes, staleBytes / 4, 8);
    stale.replace(20, 24, sizes);
    const QString cut = folder.write("cut.wav", stale);
    const ToolResult run = sonoriel({"repair", cut});
    EXPECT_TRUE(run.exitCode == 0 && run.err.contains(QString("données : %1 octets").arg(dataBytes))) << run.err.toStdString();
    EXPECT_TRUE(readFileBytes(cut) == whole + QByteArray("\x01\x02\x03", 3)) << "more than the ds64 sizes changed";

    // A ds64 cut short cannot be read: every command says why, and nothing is written.
    const QString truncated = folder.write("truncated.wav", whole.left(30));
    for (const QStringList &command : {QStringList{"repair", truncated}, QStringList{"join", folder.path("j.wav"), truncated, recorded},
                                       QStringList{"convert", truncated, folder.path("t.mp3")}}) {
        const ToolResult refused = sonoriel(command);
        EXPECT_TRUE(refused.exitCode == 1 && refused.err.contains(truncated + " : bloc « ds64 » tronqué")) << refused.err.toStdString();
    }
    EXPECT_EQ(readFileBytes(truncated), whole.left(30));
    EXPECT_FALSE(QFile::exists(folder.path("j.wav")) || QFile::exists(folder.path("t.mp3")));
}

TEST(Rf64Repair, ARiffRecordingCutOffPast4GiBBecomesRf64InTheRoomItsJunkChunkKept)
{
    // The recorder's RIFF header as it stood at its last update, under 4 GiB, and the sound
    // that went on past 4 GiB before the recording was cut off; the file is sparse.
    const QByteArray sound = patternBytes(4000, 7);
    const QByteArray header = riffWave(chunk("JUNK", QByteArray(28, '\0')) + formatChunk(WaveLayout{}, true) +
                                           chunk("data", {}, true, sound.size()),
                                       kRecorderHeaderBytes + sound.size() - 8);
    TestFolder folder;
    const QString path = folder.write("long.wav", header + sound);
    const qint64 fileBytes = (qint64(1) << 32) + 1000003;
    ASSERT_TRUE(QFile::resize(path, fileBytes));
    const std::uint64_t wholeFrames = (fileBytes - kRecorderHeaderBytes) / 4;

    const ToolResult run = sonoriel({"repair", path});
    EXPECT_TRUE(run.exitCode == 0 && run.err.contains("désormais au format RF64")) << run.err.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), fileBytes);
    const QByteArray start = file.read(kRecorderHeaderBytes + sound.size());
    EXPECT_EQ(start.left(16), QByteArray("RF64\xff\xff\xff\xffWAVEds64", 16));
    EXPECT_TRUE(le64At(start, 28) == wholeFrames * 4 && le64At(start, 36) == wholeFrames);
    EXPECT_EQ(start.mid(48, 30), header.mid(48, 30)) << "the format chunk changed";
    EXPECT_EQ(start.mid(kRecorderHeaderBytes), sound);
    // ffprobe reads its length from ds64 (sox would read all of the 4 GiB to find it).
    EXPECT_NEAR(ffprobeInfo(path).seconds, static_cast<double>(wholeFrames) / kRate, 1e-3);
    EXPECT_TRUE(sonoriel({"repair", path}).err.contains("déjà correct"));
}
