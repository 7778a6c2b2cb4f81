// `sonoriel repair FILE.wav`: header sizes made to match the sound really present, in whole
// blocks, without a sound byte changed; files that are right or that cannot be made sense of
// are left byte for byte as they were.
#include "../support/signal_helpers.h"
#include "../support/tools.h"
#include "../support/wave_bytes.h"

#include <gtest/gtest.h>

namespace {

ToolResult repair(const QStringList &arguments)
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"repair"} + arguments);
}

QByteArray le32(std::uint32_t value)
{
    QByteArray bytes;
    appendLe(bytes, value, 4);
    return bytes;
}

void put32(QByteArray &bytes, int offset, std::uint32_t value)
{
    bytes.replace(offset, 4, le32(value));
}

// The recorder's own layout, 16-bit stereo at 44100 Hz: a 46-byte header, then `sound`.
QByteArray recorderFile(const QByteArray &sound, std::uint32_t riffSize, std::uint32_t dataSize)
{
    return riffWave(formatChunk({}, true) + chunk("data", sound, false, dataSize), riffSize);
}

// The 128 bytes of an ID3v1 tag, as taggers append it to the end of a file.
QByteArray id3v1Tag()
{
    QByteArray tag = "TAG";
    for (const char *field : {"Titre", "Artiste", "Album"})
        tag += QByteArray(field).leftJustified(30, '\0');
    return tag + "2024" + QByteArray(30, '\0') + '\x0c';
}

// An ID3v2.3 tag with one title frame.
QByteArray id3v2Tag()
{
    const QByteArray frame = "TIT2" + QByteArray("\0\0\0\x06\0\0", 6) + QByteArray("\0Titre", 6);
    return "ID3" + QByteArray(1, 3) + QByteArray(5, '\0') + char(frame.size()) + frame;
}

} // namespace

TEST(RepairCommand, SizesThatAreZeroTooLargeOrTooSmallBecomeTheWholeBlocksPresent)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    const struct {
        const char *name;
        int present; // sound bytes in the file
        std::uint32_t riff, data, repaired;
        QByteArray tag = {}; // added after the sound since
    } cases[] = {
        {"cut off by a crash: zero sizes", 40000, 0, 0, 40000},
        {"sizes too large: a placeholder", 40000, 0xFFFFFFFF, 0xFFFFFFFF, 40000},
        {"sizes too small: the last update", 40000, 38 + 1000, 1000, 40000},
        {"odd trailing bytes: a partial block", 40003, 0, 0, 40000},
        {"zero sizes, then an ID3v1 tag", 40000, 0, 0, 40000, id3v1Tag()},
    };
    TestFolder folder;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray before = recorderFile(patternBytes(c.present, 3), c.riff, c.data) + c.tag;
        const QString path = folder.write("cut.wav", before);

        const ToolResult run = repair({path});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Fichier réparé")) << run.err.toStdString();
        const QByteArray after = readFileBytes(path);
        ASSERT_EQ(after.size(), before.size()); // nothing cut, nothing added
        // Only the two size fields changed.
        QByteArray expected = before;
        put32(expected, 4, 46 + c.repaired - 8);
        put32(expected, 42, c.repaired);
        EXPECT_TRUE(after == expected);
        EXPECT_NEAR(soxInfo(path).seconds, c.repaired / 176400.0, 1e-5);
        EXPECT_NEAR(ffprobeInfo(path).seconds, c.repaired / 176400.0, 1e-4);
    }
}

TEST(RepairCommand, CompressedFileWithAFactChunkGetsItsSizesAndSampleCountBack)
{
    ASSERT_TRUE(haveTool("ffmpeg") && haveTool("sox"));
    TestFolder folder;
    const QString made = folder.filePath("ima.wav");
    ASSERT_EQ(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-ac", "2",
                                 "-c:a", "adpcm_ima_wav", made})
                  .exitCode,
              0);
    const QByteArray original = readFileBytes(made);
    const int fact = original.indexOf("fact");
    const int data = original.indexOf("data");
    ASSERT_TRUE(fact > 0 && data > fact);
    const std::uint16_t blockAlign = le16At(original, 32);
    const std::uint16_t samplesPerBlock = le16At(original, 38);
    ASSERT_EQ(le32At(original, data + 4) % blockAlign, 0u);

    // Sizes zeroed, as a program killed before its last header write leaves them: repaired
    // back to the very file the program meant to write.
    QByteArray zeroed = original;
    put32(zeroed, 4, 0);
    put32(zeroed, data + 4, 0);
    const QString path = folder.write("zeroed.wav", zeroed);
    ToolResult run = repair({path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(readFileBytes(path) == original);

    // Cut short in the middle of a block, with the sizes and the count of the whole file.
    const int blocks = 30;
    const QByteArray cut = original.left(data + 8 + blocks * blockAlign + blockAlign / 2);
    const QString cutPath = folder.write("cut.wav", cut);
    run = repair({cutPath});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QByteArray after = readFileBytes(cutPath);
    ASSERT_EQ(after.size(), cut.size());
    EXPECT_EQ(le32At(after, data + 4), static_cast<std::uint32_t>(blocks * blockAlign));
    EXPECT_EQ(le32At(after, 4), static_cast<std::uint32_t>(data + 8 + blocks * blockAlign - 8));
    EXPECT_EQ(le32At(after, fact + 8), static_cast<std::uint32_t>(blocks * samplesPerBlock));
    EXPECT_TRUE(after.mid(data + 8) == cut.mid(data + 8));
    EXPECT_NEAR(soxInfo(cutPath).seconds, blocks * samplesPerBlock / 44100.0, 1e-4);
    EXPECT_NEAR(ffprobeInfo(cutPath).seconds, blocks * samplesPerBlock / 44100.0, 1e-3);
}

TEST(RepairCommand, FilesThatAreRightOrMakeNoSenseAreLeftByteForByteAndSaySo)
{
    ASSERT_TRUE(haveTool("sox"));
    TestFolder folder;
    const QString soxFile = folder.filePath("sox.wav");
    ASSERT_EQ(runTool("sox", {"-n", "-r", "22050", "-c", "1", "-b", "16", soxFile, "synth", "0.5", "sine", "300"}).exitCode, 0);
    const QByteArray soxBytes = readFileBytes(soxFile);
    // A chunk after the data, as some programs write their tags, is not sound.
    QByteArray tagged = recorderFile(patternBytes(4000, 3), 0, 4000) + "LIST" + le32(6) + "INFOab";
    put32(tagged, 4, tagged.size() - 8);
    // An ID3v2 tag in an "id3 " chunk that the RIFF size covers.
    QByteArray id3Chunk = soxBytes + "id3 " + le32(id3v2Tag().size()) + id3v2Tag() + id3v1Tag();
    put32(id3Chunk, 4, soxBytes.size() + 8 + id3v2Tag().size() - 8);
    QByteArray chunkPastTheEnd = recorderFile(patternBytes(100, 3), 0, 0);
    put32(chunkPastTheEnd, 16, 5000); // a format chunk longer than the file
    const char *right = "déjà correct";
    const struct {
        const char *name;
        QByteArray bytes;
        const char *message; // right: exit 0; otherwise exit 1 and "Rien n'a été modifié"
    } cases[] = {
        {"sox.wav", soxBytes, right},
        {"tagged.wav", tagged, right},
        {"trailing.wav", recorderFile(patternBytes(4002, 3), 46 + 4000 - 8, 4000), right}, // a partial block already left out
        {"id3v1.wav", soxBytes + id3v1Tag(), right},
        {"id3chunk.wav", id3Chunk, right},
        {"id3v2.wav", soxBytes + id3v2Tag() + id3v1Tag(), right},
        {"text.wav", "Ceci n'est pas un son, seulement du texte.\n", "n'est pas un fichier Wave"},
        {"zeroed.wav", QByteArray(46, '\0') + patternBytes(1000, 3), "n'est pas un fichier Wave"}, // no format to go by
        {"past.wav", chunkPastTheEnd, "n'est pas un fichier Wave"},
        {"nodata.wav", recorderFile({}, 0, 0).left(38), "aucun bloc de données"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.write(c.name, c.bytes);
        const ToolResult run = repair({path});
        EXPECT_EQ(run.exitCode, c.message == right ? 0 : 1);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_TRUE(c.message == right || run.err.contains("Rien n'a été modifié")) << run.err.toStdString();
        EXPECT_TRUE(readFileBytes(path) == c.bytes);
    }
    const ToolResult directory = repair({folder.path()});
    EXPECT_EQ(directory.exitCode, 1);
    EXPECT_TRUE(directory.err.contains("n'est pas un fichier")) << directory.err.toStdString();
    const ToolResult missing = repair({folder.filePath("absent.wav")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("Impossible d'ouvrir")) << missing.err.toStdString();
    for (const QStringList &arguments : {QStringList{}, QStringList{"a.wav", "b.wav"}, QStringList{"--force", "a.wav"}}) {
        const ToolResult usage = repair(arguments);
        EXPECT_EQ(usage.exitCode, 2);
        EXPECT_TRUE(usage.err.contains("usage: sonoriel repair")) << usage.err.toStdString();
    }
}
