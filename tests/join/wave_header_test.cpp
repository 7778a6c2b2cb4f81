// Reading a listed file's header: the layouts the recorder and other programs write, and the
// files the join must refuse instead of reading stray bytes as a format.
#include "wave_files.h"

#include "join/join_engine.h"
#include "join/join_errors.h"

#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(ReadWaveHeader, LayoutsGiveTheirFormatAndWhereTheirDataLies)
{
    TestFolder folder;
    // Between the format and the data: a LIST chunk full of "d" bytes, a fact chunk and an
    // odd-sized (padded) bext chunk.
    const QByteArray tags = chunk("LIST", QByteArray("INFOISFT") + QByteArray(12, 'd')) +
                            chunk("fact", QByteArray("\xfa\0\0\0", 4)) + chunk("bext", QByteArray("dddata", 5));
    const QByteArray d1 = patternBytes(4003, 1), d2 = patternBytes(882, 2), d3 = patternBytes(500, 3), d4 = patternBytes(64, 4);
    const QString extensible = folder.path("extensible.wav"); // above 48 kHz, ffmpeg writes WAVE_FORMAT_EXTENSIBLE
    runOrFail("ffmpeg", {"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=96000:duration=0.25", "-ac", "2", "-c:a",
                         "pcm_s16le", extensible});
    ASSERT_EQ(field(readFileBytes(extensible), 20, 2), 0xFFFEu);
    const struct { QString path; Layout layout; int fmtSize, frameCount, dataOffset; QByteArray data; } cases[] = {
        // A trailing partial frame is not counted.
        {folder.write("canonical.wav", canonicalWave({2, 44100, 16}, d1)), {2, 44100, 16}, 16, 1000, 44, d1},
        {folder.write("recorder.wav", recorderWave({1, 22050, 16}, d2)), {1, 22050, 16}, 18, 441, 46, d2},
        {folder.write("tagged.wav", riffWave(formatChunk({1, 8000, 16}) + tags + chunk("data", d3))), {1, 8000, 16}, 16, 250, 98, d3},
        {folder.write("data_first.wav", riffWave(chunk("data", d4) + formatChunk({2, 11025, 8}))), {2, 11025, 8}, 16, 32, 20, d4},
        {extensible, {2, 96000, 16}, 40, 24000, 0, soxRawSamples(extensible)},
        // Written to a pipe: the data sizes stay ffmpeg's 0xFFFFFFFF or sox's 0x7FFFF000, or the
        // recorder's 0 before its first header update; the data runs to the end of the file.
        {folder.write("ffmpeg_pipe.wav", riffWave(formatChunk({}) + chunk("data", {}, true, 0xFFFFFFFF)) + d1),
         {2, 44100, 16}, 16, 1000, 44, d1},
        {folder.write("sox_pipe.wav", riffWave(formatChunk({}) + chunk("data", {}, true, 0x7FFFF000)) + d2),
         {2, 44100, 16}, 16, 220, 44, d2},
        {folder.write("crashed.wav", recorderWave({}, {}) + d3), {2, 44100, 16}, 18, 125, 46, d3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const JoinFileInfo info = readJoinFile(c.path);
        EXPECT_EQ(info.fmtSize, c.fmtSize);
        EXPECT_EQ(info.channels, c.layout.channels);
        EXPECT_EQ(info.sampleRate, c.layout.rateHz);
        EXPECT_EQ(info.blockAlign, c.layout.channels * c.layout.bits / 8);
        EXPECT_EQ(info.bitsPerSample, c.layout.bits);
        EXPECT_EQ(info.frameCount, c.frameCount);
        if (c.dataOffset) {
            EXPECT_EQ(info.dataOffset, c.dataOffset);
        }
        const qsizetype bytes = c.frameCount * info.blockAlign;
        EXPECT_TRUE(readFileBytes(c.path).mid(info.dataOffset, bytes) == c.data.left(bytes));
    }
}

TEST(ReadWaveHeader, UnreadableFilesAreRefusedWithTheirNumberAndTextAndTheRecordKept)
{
    TestFolder folder;
    const QByteArray stereo = canonicalWave({2, 44100, 16}, patternBytes(4000, 6));
    QByteArray alignZero = canonicalWave({2, 44100, 16}, patternBytes(400, 9));
    alignZero[32] = 0;
    const QString floating = folder.path("float.wav");
    runOrFail("sox", {"-n", "-r", "44100", "-c", "2", "-e", "floating-point", "-b", "32", floating, "synth", "0.05", "sine", "440"});
    const struct { QString path; int number; QString text; } cases[] = {
        {folder.write("truncated.wav", stereo.left(2044)), join_error::kPastEnd, "tronqué"},
        {folder.write("cut.wav", stereo.left(30)), join_error::kPastEnd, ""},
        {folder.write("notes.wav", QByteArray("Ceci n'est pas un son, mais du texte.\n").repeated(20)),
         join_error::kBadFormat, "n'est pas un fichier Wave"},
        {folder.write("nodata.wav", riffWave(formatChunk({2, 44100, 16}) + chunk("LIST", QByteArray(40, 'd')))),
         join_error::kBadFormat, "data"},
        {folder.write("nofmt.wav", riffWave(chunk("data", patternBytes(400, 8)))), join_error::kBadFormat, "fmt"},
        {folder.write("align0.wav", alignZero), join_error::kDivisionByZero, ""},
        {folder.write("24bit.wav", canonicalWave({2, 44100, 24}, patternBytes(600, 10))), join_error::kBadFormat, ""},
        {floating, join_error::kBadFormat, "PCM 8 ou 16 bits"},
        {folder.path("absent.wav"), join_error::kFileAccess, ""},
        // 0 data bytes followed by a chunk and then bytes that are none: where is the sound?
        {folder.write("unclear.wav", recorderWave({}, {}) + chunk("LIST", "INFO") + patternBytes(4000, 3)), join_error::kBadFormat,
         " : le bloc « data » annonce 0 octet"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        JoinFileInfo record;
        record.fileName = c.path;
        record.sampleRate = 12345;
        QString text;
        EXPECT_EQ(errorNumberOf([&] { ReadWaveHeader(record); }, &text), c.number);
        EXPECT_TRUE(text.contains(c.text) && (c.text.isEmpty() || text.contains(c.path))) << text.toStdString();
        EXPECT_EQ(record.sampleRate, 12345);
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
