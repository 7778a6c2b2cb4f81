// Reading a listed file's header: the layouts the recorder and other programs write, and the
// files the join must refuse instead of reading stray bytes as a format.
#include "wave_files.h"

#include "join/join_engine.h"
#include "join/join_errors.h"

#include "../support/tools.h"

#include <QFile>

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

TEST(ReadWaveHeader, Rf64AndBw64FilesTakeTheirSizesFromDs64EvenPast4GiB)
{
    TestFolder folder;
    // A bext chunk whose size only the ds64 table gives lies before the data.
    const QByteArray chunks = formatChunk({2, 44100, 16}) + chunk("bext", QByteArray(10, 'b'), true, 0xFFFFFFFF) +
                              chunk("data", {}, true, 0xFFFFFFFF);
    const auto file = [&](std::uint64_t dataBytes, const char(&form)[5] = "RF64") {
        return rf64Wave(chunks, {100 + dataBytes, dataBytes, dataBytes / 4, {{"bext", 10}}}, form);
    };
    const qint64 dataOffset = file(0).size();
    const QByteArray data = patternBytes(4000, 11);
    const JoinFileInfo small = readJoinFile(folder.write("small.wav", file(4000) + data + chunk("LIST", "INFO")));
    EXPECT_EQ(small.dataOffset, dataOffset);
    EXPECT_EQ(small.dataSize, 4000);
    EXPECT_EQ(small.frameCount, 1000);
    EXPECT_EQ(small.sampleRate, 44100);

    // 5 GiB of sound, in a sparse file that costs no disk.
    const std::uint64_t fiveGiB = std::uint64_t(5) << 30;
    const QString bigPath = folder.write("big.wav", file(fiveGiB, "BW64") + data);
    ASSERT_TRUE(QFile::resize(bigPath, dataOffset + static_cast<qint64>(fiveGiB)));
    const JoinFileInfo big = readJoinFile(bigPath);
    EXPECT_EQ(big.dataOffset, dataOffset);
    EXPECT_EQ(big.dataSize, static_cast<std::int64_t>(fiveGiB));
    EXPECT_EQ(big.frameCount, static_cast<std::int64_t>(fiveGiB / 4));

    QByteArray noDs64 = file(4000) + data;
    noDs64.replace(12, 4, "JUNK");
    QByteArray longTable = file(4000) + data;
    longTable.replace(44, 4, QByteArray("\x09\0\0\0", 4));
    const struct { QString path; int number; QString text; } cases[] = {
        {folder.write("past.wav", file(8000) + data), join_error::kPastEnd,
         "le bloc « data » annonce 8000 octets, le fichier en contient 4000"},
        {folder.write("cut.wav", file(4000).left(30)), join_error::kBadFormat,
         "bloc « ds64 » tronqué : le fichier (30 octets) s'arrête avant sa fin."},
        {folder.write("nods64.wav", noDs64), join_error::kBadFormat, "fichier RF64 sans bloc « ds64 » après « WAVE »"},
        {folder.write("table.wav", longTable), join_error::kBadFormat,
         "la table du bloc « ds64 » (9 entrées) déborde du bloc (40 octets)."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QString text;
        JoinFileInfo record;
        record.fileName = c.path;
        EXPECT_EQ(errorNumberOf([&] { ReadWaveHeader(record); }, &text), c.number);
        EXPECT_TRUE(text.startsWith(c.path) || text.contains(" : " + c.path)) << text.toStdString();
        EXPECT_TRUE(text.contains(c.text)) << text.toStdString();
    }
}
