// Reading a listed file's header: the layouts the recorder and other programs write, and the
// files the join must refuse instead of reading stray bytes as a format.
#include "wave_files.h"

#include "join/join_engine.h"
#include "join/join_errors.h"

#include "../support/tools.h"

#include <gtest/gtest.h>

TEST(ReadWaveHeader, HandMadeLayoutsGiveTheirFormatAndWhereTheirDataLies)
{
    TestFolder folder;
    // Between the format and the data: a LIST chunk full of "d" bytes, a fact chunk and an
    // odd-sized (padded) bext chunk.
    QByteArray fact;
    appendLe(fact, 250, 4);
    const QByteArray tags = chunk("LIST", QByteArray("INFOISFT") + QByteArray(12, 'd')) +
                            chunk("fact", fact) + chunk("bext", QByteArray("dddata", 5));
    const QByteArray d1 = patternBytes(4000, 1), d2 = patternBytes(882, 2), d3 = patternBytes(500, 3),
                     d4 = patternBytes(64, 4), d5 = patternBytes(4003, 5);
    const struct { const char *name; QByteArray bytes, data; Layout layout; int fmtSize, frameCount, dataOffset; } cases[] = {
        {"canonical.wav", canonicalWave({2, 44100, 16}, d1), d1, {2, 44100, 16}, 16, 1000, 44},
        {"recorder.wav", recorderWave({1, 22050, 16}, d2), d2, {1, 22050, 16}, 18, 441, 46},
        {"tagged.wav", riffWave(formatChunk({1, 8000, 16}) + tags + chunk("data", d3)), d3, {1, 8000, 16}, 16, 250, 98},
        {"data_first.wav", riffWave(chunk("data", d4) + formatChunk({2, 11025, 8})), d4, {2, 11025, 8}, 16, 32, 20},
        // A trailing partial frame is not counted.
        {"partial.wav", canonicalWave({2, 44100, 16}, d5), d5, {2, 44100, 16}, 16, 1000, 44},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.write(c.name, c.bytes);
        const JoinFileInfo info = readJoinFile(path);
        const int blockAlign = c.layout.channels * c.layout.bits / 8;
        EXPECT_EQ(info.fileName, path);
        EXPECT_EQ(info.fmtSize, c.fmtSize);
        EXPECT_EQ(info.formatTag, 1);
        EXPECT_EQ(info.channels, c.layout.channels);
        EXPECT_EQ(info.sampleRate, c.layout.rateHz);
        EXPECT_EQ(info.byteRate, blockAlign * c.layout.rateHz);
        EXPECT_EQ(info.blockAlign, blockAlign);
        EXPECT_EQ(info.bitsPerSample, c.layout.bits);
        EXPECT_EQ(info.dataSize, c.data.size());
        EXPECT_EQ(info.frameCount, c.frameCount);
        EXPECT_EQ(info.dataOffset, c.dataOffset);
        EXPECT_EQ(c.bytes.mid(info.dataOffset, info.dataSize), c.data);
    }
}

TEST(ReadWaveHeader, FilesMadeBySoxAndByFfmpegWithItsListChunkAreRead)
{
    TestFolder folder;
    const QString soxFile = folder.path("sox.wav");
    const QString ffmpegFile = folder.path("ffmpeg.wav");
    runOrFail("sox", {"-n", "-r", "22050", "-c", "2", "-b", "16", soxFile, "synth", "0.2", "sine", "440"});
    runOrFail("ffmpeg", {"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=44100:duration=0.25",
                         "-ac", "2", "-c:a", "pcm_s16le", ffmpegFile});
    ASSERT_TRUE(readFileBytes(ffmpegFile).left(200).contains("LIST")) << "ffmpeg wrote no LIST chunk";

    const struct { QString path; int rateHz, frameCount, minimumOffset; } cases[] = {
        {soxFile, 22050, 4410, 44}, {ffmpegFile, 44100, 11025, 45}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const JoinFileInfo info = readJoinFile(c.path);
        EXPECT_GE(info.dataOffset, c.minimumOffset);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.sampleRate, c.rateHz);
        EXPECT_EQ(info.bitsPerSample, 16);
        EXPECT_EQ(info.frameCount, c.frameCount);
        EXPECT_EQ(info.frameCount, runTool("sox", {"--i", "-s", c.path}).out.trimmed().toInt());
        EXPECT_EQ(readFileBytes(c.path).mid(info.dataOffset, info.dataSize), soxRawSamples(c.path));
    }
}

TEST(ReadWaveHeader, UnreadableFilesAreRefusedWithTheirNumberAndTextAndTheRecordKept)
{
    TestFolder folder;
    const QByteArray stereo = canonicalWave({2, 44100, 16}, patternBytes(4000, 6));
    QByteArray alignZero = canonicalWave({2, 44100, 16}, patternBytes(400, 9));
    alignZero[32] = 0;
    alignZero[33] = 0;
    const QString floating = folder.path("float.wav");
    const QString adpcm = folder.path("adpcm.wav");
    runOrFail("sox", {"-n", "-r", "44100", "-c", "2", "-e", "floating-point", "-b", "32", floating,
                      "synth", "0.05", "sine", "440"});
    runOrFail("sox", {"-n", "-r", "8000", "-c", "1", "-e", "ima-adpcm", adpcm, "synth", "0.05", "sine", "440"});
    const struct { QString path; int number; QString text; } cases[] = {
        {folder.write("truncated.wav", stereo.left(2044)), join_error::kPastEnd, "tronqué"},
        {folder.write("cut.wav", stereo.left(30)), join_error::kPastEnd, ""},
        {folder.write("notes.wav", QByteArray("Ceci n'est pas un son, mais du texte.\n").repeated(20)),
         join_error::kBadFormat, "n'est pas un fichier Wave"},
        {folder.write("movie.wav", riffWave(QByteArray()).replace(8, 4, "AVI ")), join_error::kBadFormat, ""},
        {folder.write("nodata.wav", riffWave(formatChunk({2, 44100, 16}) + chunk("LIST", QByteArray(40, 'd')))),
         join_error::kBadFormat, "data"},
        {folder.write("nofmt.wav", riffWave(chunk("data", patternBytes(400, 8)))), join_error::kBadFormat, "fmt"},
        {folder.write("align0.wav", alignZero), join_error::kDivisionByZero, ""},
        {folder.write("24bit.wav", canonicalWave({2, 44100, 24}, patternBytes(600, 10))), join_error::kBadFormat, ""},
        {floating, join_error::kBadFormat, "PCM 8 ou 16 bits"},
        {adpcm, join_error::kBadFormat, ""},
        {folder.path("absent.wav"), join_error::kFileAccess, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        JoinFileInfo record;
        record.fileName = c.path;
        record.sampleRate = 12345;
        QString text;
        EXPECT_EQ(errorNumberOf([&] { ReadWaveHeader(record); }, &text), c.number);
        EXPECT_TRUE(text.contains(c.text)) << text.toStdString();
        if (!c.text.isEmpty()) {
            EXPECT_TRUE(text.contains(c.path)) << text.toStdString();
        }
        EXPECT_EQ(record.sampleRate, 12345);
        EXPECT_EQ(record.fileName, c.path);
    }
}
