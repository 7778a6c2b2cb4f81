// Reading a listed file's header, and the files the join must refuse.
#include "wave_files.h"

TEST(ReadWaveHeader, LayoutsGiveTheirFormatAndWhereTheirDataLies)
{
    TestFolder folder;
    const QByteArray d1 = patternBytes(4003, 1), d2 = patternBytes(882, 2), d3 = patternBytes(500, 3);
    const QString extensible = folder.path("extensible.wav"); // above 48 kHz, ffmpeg writes WAVE_FORMAT_EXTENSIBLE
    runOrFail("ffmpeg", {"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=96000:duration=0.25", "-ac", "2", "-c:a",
                         "pcm_s16le", extensible});
    const struct { QString path; Layout layout; int fmtSize, frameCount, dataOffset; QByteArray data; } cases[] = {
        // A trailing partial frame is not counted.
        {folder.write("canonical.wav", waveFile({2, 44100, 16}, d1)), {2, 44100, 16}, 16, 1000, 44, d1},
        {folder.write("recorder.wav", recorderWave({1, 22050, 16}, d2)), {1, 22050, 16}, 18, 441, 46, d2},
        {extensible, {2, 96000, 16}, 40, 24000, 0, soxRawSamples(extensible)},
        // Written to a pipe: the data sizes stay ffmpeg's 0xFFFFFFFF or sox's 0x7FFFF000, or the
        // recorder's 0 before its first header update; the data runs to the end of the file.
        {folder.write("ffmpeg_pipe.wav", riffWave(formatChunk({}) + chunk("data", {}, true, 0xFFFFFFFF)) + d1),
         {2, 44100, 16}, 16, 1000, 44, d1},
        {folder.write("crashed.wav", recorderWave({}, {}) + d3), {2, 44100, 16}, 18, 125, 46, d3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const JoinFileInfo info = readJoinFile(c.path);
        EXPECT_EQ(info.channels, c.layout.channels);
        EXPECT_EQ(info.sampleRate, c.layout.rateHz);
        EXPECT_EQ(info.blockAlign, c.layout.channels * c.layout.bits / 8);
        EXPECT_EQ(info.frameCount, c.frameCount);
        EXPECT_EQ(info.dataOffset, c.dataOffset ? c.dataOffset : info.dataOffset); // ffmpeg's is not fixed
        const qsizetype bytes = c.frameCount * info.blockAlign;
        EXPECT_TRUE(readFileBytes(c.path).mid(info.dataOffset, bytes) == c.data.left(bytes));
    }
}

TEST(ReadWaveHeader, UnreadableFilesAreRefusedWithTheirNumberAndTextAndTheRecordKept)
{
    TestFolder folder;
    const QByteArray stereo = waveFile({2, 44100, 16}, patternBytes(4000, 6));
    const QString floating = folder.path("float.wav");
    runOrFail("sox", {"-n", "-r", "44100", "-c", "2", "-e", "floating-point", "-b", "32", floating, "synth", "0.05", "sine", "440"});
    const struct { QString path; int number; QString text; } cases[] = {
        {folder.write("truncated.wav", stereo.left(2044)), join_error::kPastEnd, "tronqué"},
        {folder.write("notes.wav", QByteArray("Ceci n'est pas un son, mais du texte.\n").repeated(20)),
         join_error::kBadFormat, "n'est pas un fichier Wave"},
        {floating, join_error::kBadFormat, "PCM 8 ou 16 bits"},
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
