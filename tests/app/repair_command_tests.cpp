// `sonoriel repair FILE.wav`: header sizes made to match the whole blocks present, no sound byte
// changed; files that are right or make no sense are left byte for byte as they were.
#include "record_test_support.h"

#include "../support/signal_helpers.h"
#include "../support/wave_bytes.h"

#include <gtest/gtest.h>

namespace {

ToolResult repair(const QStringList &arguments) { return sonoriel(QStringList{"repair"} + arguments); }

void put32(QByteArray &bytes, int offset, std::uint32_t value)
{
    QByteArray le;
    appendLe(le, value, 4);
    bytes.replace(offset, 4, le);
}

// The recorder's own layout, 16-bit stereo at 44100 Hz: a 46-byte header, then the sound.
const QByteArray kRecorderFormat = formatChunk({}, true);

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
    // The sound bytes present, the sizes in the header, the size repaired, a tag added after the sound.
    const struct { const char *name; int present; std::uint32_t riff, data, repaired; QByteArray tag = {}; } cases[] = {
        {"cut off by a crash: zero sizes", 40000, 0, 0, 40000},
        {"sizes too large: a placeholder", 40000, 0xFFFFFFFF, 0xFFFFFFFF, 40000},
        {"sizes too small: the last update", 40000, 38 + 1000, 1000, 40000},
        {"odd trailing bytes: a partial block", 40003, 0, 0, 40000},
        {"zero sizes, then an ID3v1 tag", 40000, 0, 0, 40000, id3v1Tag()},
    };
    TestFolder folder;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray before = riffWave(kRecorderFormat + chunk("data", patternBytes(c.present, 3), false, c.data), c.riff) + c.tag;
        const QString path = folder.write("cut.wav", before);

        const ToolResult run = repair({path});
        EXPECT_TRUE(run.exitCode == 0 && run.err.contains("Fichier réparé")) << run.err.toStdString();
        // Only the two size fields changed: nothing cut, nothing added.
        QByteArray expected = before;
        put32(expected, 4, 46 + c.repaired - 8);
        put32(expected, 42, c.repaired);
        EXPECT_TRUE(readFileBytes(path) == expected);
        EXPECT_NEAR(soxInfo(path).seconds, c.repaired / 176400.0, 1e-5);
    }
}

TEST(RepairCommand, FilesWithAFactChunkGetTheirSizesAndSampleCountBack)
{
    // IMA ADPCM by ffmpeg (its format chunk gives the samples in a block) and 32-bit float by sox.
    TestFolder folder;
    const QString ima = folder.filePath("ima.wav"), floating = folder.filePath("float.wav");
    ASSERT_EQ(runShell("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=2 -ac 2 -c:a adpcm_ima_wav " + ima).exitCode, 0);
    ASSERT_EQ(runTool("sox", {"-n", "-r", "44100", "-c", "2", "-e", "floating-point", "-b", "32", floating, "synth", "2", "sine", "440"}).exitCode, 0);
    for (const QString &made : {ima, floating}) {
        SCOPED_TRACE(made.toStdString());
        const QByteArray original = readFileBytes(made);
        const int fact = original.indexOf("fact"), data = original.indexOf("data");
        ASSERT_TRUE(fact > 0 && data > fact);
        const std::uint16_t blockAlign = le16At(original, 32), samplesPerBlock = made == ima ? le16At(original, 38) : 1;

        // Sizes zeroed, as a program killed before its last header write leaves them: repaired to the whole file.
        QByteArray zeroed = original;
        put32(zeroed, 4, 0);
        put32(zeroed, data + 4, 0);
        const QString path = folder.write("zeroed.wav", zeroed);
        EXPECT_TRUE(repair({path}).exitCode == 0 && readFileBytes(path) == original);

        // Cut short in the middle of a block, with the sizes and the count of the whole file.
        const int blocks = 30;
        const QByteArray cut = original.left(data + 8 + blocks * blockAlign + blockAlign / 2);
        const QString cutPath = folder.write("cut.wav", cut);
        ASSERT_EQ(repair({cutPath}).exitCode, 0);
        QByteArray expected = cut;
        put32(expected, 4, data + blocks * blockAlign);
        put32(expected, data + 4, blocks * blockAlign);
        put32(expected, fact + 8, blocks * samplesPerBlock);
        EXPECT_TRUE(readFileBytes(cutPath) == expected);
        EXPECT_NEAR(soxInfo(cutPath).seconds, blocks * samplesPerBlock / 44100.0, 1e-4);
    }
}

TEST(RepairCommand, FilesThatAreRightOrMakeNoSenseAreLeftByteForByteAndSaySo)
{
    TestFolder folder;
    const QString soxFile = folder.filePath("sox.wav");
    ASSERT_EQ(runTool("sox", {"-n", "-r", "22050", "-c", "1", "-b", "16", soxFile, "synth", "0.5", "sine", "300"}).exitCode, 0);
    const QByteArray soxBytes = readFileBytes(soxFile);
    // A chunk after the data, as some programs write their tags, is not sound.
    const QByteArray tagged = riffWave(kRecorderFormat + chunk("data", patternBytes(4000, 3)) + chunk("LIST", "INFOab"));
    // An ID3v2 tag in an "id3 " chunk that the RIFF size covers.
    QByteArray id3Chunk = soxBytes + chunk("id3 ", id3v2Tag()) + id3v1Tag();
    put32(id3Chunk, 4, soxBytes.size() + 8 + id3v2Tag().size() - 8);
    QByteArray chunkPastTheEnd = riffWave(kRecorderFormat + chunk("data", patternBytes(100, 3), false, 0), 0);
    put32(chunkPastTheEnd, 16, 5000); // a format chunk longer than the file
    const char *right = "déjà correct"; // exit 0; the others exit 1 and say "Rien n'a été modifié".
    const struct { const char *name; QByteArray bytes; const char *message; } cases[] = {
        {"sox.wav", soxBytes, right}, {"tagged.wav", tagged, right},
        {"trailing.wav", riffWave(kRecorderFormat + chunk("data", patternBytes(4002, 3), false, 4000), 46 + 4000 - 8), right}, // a partial block already left out
        {"id3v1.wav", soxBytes + id3v1Tag(), right}, {"id3chunk.wav", id3Chunk, right},
        {"id3v2.wav", soxBytes + id3v2Tag() + id3v1Tag(), right}, {"id3v2end.wav", soxBytes + id3v2Tag(), right},
        {"text.wav", "Ceci n'est pas un son, seulement du texte.\n", "n'est pas un fichier Wave"},
        {"zeroed.wav", QByteArray(46, '\0') + patternBytes(1000, 3), "n'est pas un fichier Wave"}, // no format to go by
        {"past.wav", chunkPastTheEnd, "n'est pas un fichier Wave"},
        {"nodata.wav", riffWave(kRecorderFormat, 0), "aucun bloc de données"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.write(c.name, c.bytes);
        const ToolResult run = repair({path});
        EXPECT_EQ(run.exitCode, c.message == right ? 0 : 1);
        EXPECT_TRUE(run.err.contains(c.message) && (c.message == right || run.err.contains("Rien n'a été modifié")))
            << run.err.toStdString();
        EXPECT_TRUE(readFileBytes(path) == c.bytes);
    }
    const char *usage = "usage: sonoriel repair";
    const struct { QStringList arguments; int exitCode; const char *message; } refusals[] = {
        {{folder.path()}, 1, "n'est pas un fichier"}, {{folder.filePath("absent.wav")}, 1, "Impossible d'ouvrir"},
        {{}, 2, usage}, {{"a.wav", "b.wav"}, 2, usage}, {{"--force", "a.wav"}, 2, usage}};
    for (const auto &[arguments, exitCode, message] : refusals) {
        const ToolResult run = repair(arguments);
        EXPECT_TRUE(run.exitCode == exitCode && run.err.contains(message)) << run.err.toStdString();
    }
}
