// Reading a listed file's header: the layouts the recorder and other programs write, and the
// files the join must refuse instead of reading stray bytes as a format.
#include "wave_files.h"

#include "join/join_engine.h"
#include "join/join_errors.h"

#include "common/app_error.h"

#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

// The number of the error that reading path raises; 0 when it reads.
int refusalNumber(const QString &path, QString *text = nullptr)
{
    try {
        readJoinFile(path);
    } catch (const AppError &error) {
        if (text)
            *text = error.text();
        return error.number();
    }
    return 0;
}

} // namespace

TEST(ReadWaveHeader, CanonicalFileHasItsDataAtOffset44)
{
    TestFolder folder;
    const QString path = folder.path("a.wav");
    ASSERT_TRUE(writeBytes(path, canonicalWave({2, 44100, 16}, patternBytes(4000, 1))));

    const JoinFileInfo info = readJoinFile(path);
    EXPECT_EQ(info.fileName, path);
    EXPECT_EQ(info.fmtSize, 16);
    EXPECT_EQ(info.formatTag, 1);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.byteRate, 176400);
    EXPECT_EQ(info.blockAlign, 4);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.dataSize, 4000);
    EXPECT_EQ(info.frameCount, 1000);
    EXPECT_EQ(info.dataOffset, 44);
}

TEST(ReadWaveHeader, RecorderFileWithEighteenByteFormatChunkHasItsDataAtOffset46)
{
    TestFolder folder;
    const QString path = folder.path("rec.wav");
    ASSERT_TRUE(writeBytes(path, recorderWave({1, 22050, 16}, patternBytes(882, 2))));

    const JoinFileInfo info = readJoinFile(path);
    EXPECT_EQ(info.fmtSize, 18);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.sampleRate, 22050);
    EXPECT_EQ(info.dataSize, 882);
    EXPECT_EQ(info.frameCount, 441);
    EXPECT_EQ(info.dataOffset, 46);
}

TEST(ReadWaveHeader, ChunksBeforeDataAreSteppedOverEvenWhenTheyHoldTheLetterD)
{
    TestFolder folder;
    const QString path = folder.path("tagged.wav");
    // A LIST chunk full of "d" bytes, a fact chunk and an odd-sized (padded) bext chunk
    // between the format and the data.
    const QByteArray list = chunk("LIST", QByteArray("INFOISFT") + QByteArray(12, 'd'));
    QByteArray fact;
    append32(fact, 250);
    const QByteArray bext = chunk("bext", QByteArray("dddata", 5));
    const QByteArray data = patternBytes(500, 3);
    ASSERT_TRUE(writeBytes(path, riffWave(formatChunk({1, 8000, 16}) + list + chunk("fact", fact) +
                                          bext + chunk("data", data))));

    const JoinFileInfo info = readJoinFile(path);
    EXPECT_EQ(info.dataSize, 500);
    EXPECT_EQ(info.frameCount, 250);
    const QByteArray onDisk = readFileBytes(path);
    EXPECT_EQ(onDisk.mid(info.dataOffset, info.dataSize), data);
}

TEST(ReadWaveHeader, DataChunkThatComesBeforeTheFormatIsFound)
{
    TestFolder folder;
    const QString path = folder.path("data_first.wav");
    const QByteArray data = patternBytes(64, 4);
    ASSERT_TRUE(writeBytes(path, riffWave(chunk("data", data) + formatChunk({2, 11025, 8}))));

    const JoinFileInfo info = readJoinFile(path);
    EXPECT_EQ(info.sampleRate, 11025);
    EXPECT_EQ(info.bitsPerSample, 8);
    EXPECT_EQ(info.dataOffset, 20);
    EXPECT_EQ(info.frameCount, 32);
}

TEST(ReadWaveHeader, FileMadeBySoxIsRead)
{
    ASSERT_TRUE(haveTool("sox"));
    TestFolder folder;
    const QString path = folder.path("sox.wav");
    ASSERT_EQ(runTool("sox", {"-n", "-r", "22050", "-c", "2", "-b", "16", path, "synth", "0.2",
                              "sine", "440"})
                  .exitCode,
              0);

    const JoinFileInfo info = readJoinFile(path);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 22050);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.frameCount, runTool("sox", {"--i", "-s", path}).out.trimmed().toInt());
    EXPECT_EQ(readFileBytes(path).mid(info.dataOffset, info.dataSize), soxRawSamples(path));
}

TEST(ReadWaveHeader, FileMadeByFfmpegWithItsListChunkIsRead)
{
    ASSERT_TRUE(haveTool("ffmpeg"));
    TestFolder folder;
    const QString path = folder.path("ffmpeg.wav");
    ASSERT_EQ(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                                 "sine=frequency=300:sample_rate=44100:duration=0.25", "-ac", "2",
                                 "-c:a", "pcm_s16le", path})
                  .exitCode,
              0);
    ASSERT_TRUE(readFileBytes(path).left(200).contains("LIST")) << "ffmpeg wrote no LIST chunk";

    const JoinFileInfo info = readJoinFile(path);
    EXPECT_GT(info.dataOffset, 44);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.frameCount, 11025);
    EXPECT_EQ(readFileBytes(path).mid(info.dataOffset, info.dataSize), soxRawSamples(path));
}

TEST(ReadWaveHeader, TrailingPartialFrameIsNotCounted)
{
    TestFolder folder;
    const QString path = folder.path("partial.wav");
    ASSERT_TRUE(writeBytes(path, canonicalWave({2, 44100, 16}, patternBytes(4003, 5))));

    const JoinFileInfo info = readJoinFile(path);
    EXPECT_EQ(info.dataSize, 4003);
    EXPECT_EQ(info.frameCount, 1000);
}

TEST(ReadWaveHeader, FileThatEndsBeforeItsAnnouncedDataIsRefused)
{
    TestFolder folder;
    const QString path = folder.path("truncated.wav");
    ASSERT_TRUE(writeBytes(path, canonicalWave({2, 44100, 16}, patternBytes(4000, 6)).left(2044)));

    QString text;
    EXPECT_EQ(refusalNumber(path, &text), join_error::kPastEnd);
    EXPECT_TRUE(text.contains("tronqué")) << text.toStdString();
    EXPECT_TRUE(text.contains(path));
}

TEST(ReadWaveHeader, FileCutInsideItsFormatChunkIsRefused)
{
    TestFolder folder;
    const QString path = folder.path("cut.wav");
    ASSERT_TRUE(writeBytes(path, canonicalWave({2, 44100, 16}, patternBytes(400, 7)).left(30)));

    EXPECT_EQ(refusalNumber(path), join_error::kPastEnd);
}

TEST(ReadWaveHeader, FileThatIsNotWaveIsRefused)
{
    TestFolder folder;
    const QString text = folder.path("notes.wav");
    ASSERT_TRUE(writeBytes(text, QByteArray("Ceci n'est pas un son, mais du texte.\n").repeated(20)));
    const QString avi = folder.path("movie.wav");
    ASSERT_TRUE(writeBytes(avi, riffWave(QByteArray()).replace(8, 4, "AVI ")));

    QString message;
    EXPECT_EQ(refusalNumber(text, &message), join_error::kBadFormat);
    EXPECT_TRUE(message.contains("n'est pas un fichier Wave")) << message.toStdString();
    EXPECT_EQ(refusalNumber(avi), join_error::kBadFormat);
}

TEST(ReadWaveHeader, FileWithoutDataChunkIsRefused)
{
    TestFolder folder;
    const QString path = folder.path("nodata.wav");
    ASSERT_TRUE(writeBytes(path, riffWave(formatChunk({2, 44100, 16}) +
                                          chunk("LIST", QByteArray(40, 'd')))));

    QString text;
    EXPECT_EQ(refusalNumber(path, &text), join_error::kBadFormat);
    EXPECT_TRUE(text.contains("data")) << text.toStdString();
}

TEST(ReadWaveHeader, FileWithoutFormatChunkIsRefused)
{
    TestFolder folder;
    const QString path = folder.path("nofmt.wav");
    ASSERT_TRUE(writeBytes(path, riffWave(chunk("data", patternBytes(400, 8)))));

    QString text;
    EXPECT_EQ(refusalNumber(path, &text), join_error::kBadFormat);
    EXPECT_TRUE(text.contains("fmt")) << text.toStdString();
}

TEST(ReadWaveHeader, BlockAlignOfZeroIsRefused)
{
    TestFolder folder;
    const QString path = folder.path("align0.wav");
    QByteArray bytes = canonicalWave({2, 44100, 16}, patternBytes(400, 9));
    bytes[32] = 0;
    bytes[33] = 0;
    ASSERT_TRUE(writeBytes(path, bytes));

    EXPECT_EQ(refusalNumber(path), join_error::kDivisionByZero);
}

TEST(ReadWaveHeader, FormatsTheJoinCannotCopyAreRefused)
{
    ASSERT_TRUE(haveTool("sox"));
    TestFolder folder;
    const QString floating = folder.path("float.wav");
    ASSERT_EQ(runTool("sox", {"-n", "-r", "44100", "-c", "2", "-e", "floating-point", "-b", "32",
                              floating, "synth", "0.05", "sine", "440"})
                  .exitCode,
              0);
    const QString deep = folder.path("24bit.wav");
    ASSERT_TRUE(writeBytes(deep, canonicalWave({2, 44100, 24}, patternBytes(600, 10))));
    const QString adpcm = folder.path("adpcm.wav");
    ASSERT_EQ(runTool("sox", {"-n", "-r", "8000", "-c", "1", "-e", "ima-adpcm", adpcm, "synth",
                              "0.05", "sine", "440"})
                  .exitCode,
              0);

    QString text;
    EXPECT_EQ(refusalNumber(floating, &text), join_error::kBadFormat);
    EXPECT_TRUE(text.contains("PCM 8 ou 16 bits")) << text.toStdString();
    EXPECT_EQ(refusalNumber(deep), join_error::kBadFormat);
    EXPECT_EQ(refusalNumber(adpcm), join_error::kBadFormat);
}

TEST(ReadWaveHeader, MissingFileIsRefused)
{
    TestFolder folder;
    EXPECT_EQ(refusalNumber(folder.path("absent.wav")), join_error::kFileAccess);
}

TEST(ReadWaveHeader, RefusalLeavesTheRecordAsItWas)
{
    TestFolder folder;
    const QString path = folder.path("bad.wav");
    ASSERT_TRUE(writeBytes(path, QByteArray("RIFF\x10\0\0\0WAVEjunk", 16)));
    JoinFileInfo record;
    record.fileName = path;
    record.sampleRate = 12345;

    EXPECT_THROW(ReadWaveHeader(record), AppError);
    EXPECT_EQ(record.sampleRate, 12345);
    EXPECT_EQ(record.fileName, path);
}
