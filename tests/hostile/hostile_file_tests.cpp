// The readers of files from outside fed malformed headers, directories, FIFOs, a shrinking file
// and the fuzzing corpus: each refuses with its own message or reads only the samples there.
#include "../support/tools.h"
#include "../support/wave_bytes.h"

#include "common/app_error.h"
#include "join/join_engine.h"
#include "mp3/wav_reader.h"
#include "platform/audio/virtual/sample_source.h"
#include "platform/riff/riff_file.h"
#include "repair/wave_repair.h"

#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>

#include <sys/stat.h>

namespace {

// What a reader made of a file: the error it refused it with, or the sample bytes it delivered.
struct Verdict { bool accepted = false; QString refusal; QByteArray data; };

// cWavReader, read through in small blocks.
Verdict mp3SourceVerdict(const QString &path)
{
    Verdict verdict;
    cWavReader reader;
    reader.setReadBufferSize(64);
    try {
        reader.OpenFile(path);
        for (bool more = true; more;) {
            const std::int32_t before = reader.BufferStartPosition();
            more = reader.Read();
            verdict.data.append(reinterpret_cast<const char *>(reader.ReadBufferPtr()), reader.BufferStartPosition() - before);
        }
        verdict.accepted = true;
    } catch (const AppError &error) {
        verdict.refusal = QStringLiteral("%1 %2").arg(error.number()).arg(error.text());
        EXPECT_FALSE(reader.isOpen()) << "a refused source stays closed";
    }
    return verdict;
}

// ReadWaveHeader, and the data bytes it points at.
Verdict joinHeaderVerdict(const QString &path)
{
    JoinFileInfo record;
    record.fileName = path;
    try {
        ReadWaveHeader(record);
    } catch (const AppError &error) {
        EXPECT_EQ(record.dataSize, 0) << "a refused file leaves the record as it was";
        return {false, error.text(), {}};
    }
    const QByteArray data = readFileBytes(path).mid(record.dataOffset, record.copyBytes());
    EXPECT_EQ(data.size(), record.copyBytes()) << "the record points inside the file";
    return {true, {}, data};
}

// Captured at 44100 Hz stereo, up to the silence after the file.
Verdict virtualInputVerdict(const QString &path)
{
    Verdict verdict;
    auto source = valueOr(makeWavFileSource(path, WaveFormat::pcm(44100, 2, 16)), verdict.refusal);
    if (!(verdict.accepted = source != nullptr))
        return verdict;
    std::vector<std::int16_t> block(5120);
    for (qint64 captured = 0; captured <= QFileInfo(path).size(); captured += 10240) {
        source->fill(block);
        verdict.data.append(reinterpret_cast<const char *>(block.data()), 10240);
    }
    while (verdict.data.endsWith(QByteArray(2, '\0')))
        verdict.data.chop(2);
    return verdict;
}

const QByteArray kData = patternBytes(400, 1); // ends on bytes that are not silence
const QByteArray kFields = formatFields(1, 2, 44100, 4, 16);
const QByteArray kFmt = chunk("fmt ", kFields);
const QByteArray kGood = riffWave(kFmt + chunk("data", kData));
// A reader's expected verdict: its refusal ("%1" is the file's path), or "" for reading kData.
const char *const kReads = "";
const char *const kNoData = "29676 No Wave File Open";
const char *const kNotStereo16 = "29671 Only stereo 16 bit wave files supported.";
const char *const kJoinNoData = "Pas de bloc « data » dans le fichier %1";
const char *const kJoinFormat = "Format non pris en charge (seuls les fichiers PCM 8 ou 16 bits peuvent être joints) : %1";
const char *const kVirtualNoData = "Entrée virtuelle « %1 » : pas de bloc « data ».";
const char *const kVirtualFormat = "Entrée virtuelle « %1 » : seul le PCM 16 bits mono ou stéréo est lu.";

void expectVerdict(const Verdict &verdict, const char *expected, const QString &path, const char *reader)
{
    SCOPED_TRACE(reader);
    // An empty refusal is an accepted file.
    EXPECT_EQ(verdict.refusal.toStdString(), QString::fromUtf8(expected).replace("%1", path).toStdString());
    EXPECT_TRUE(*expected || (verdict.accepted && verdict.data == kData)) << verdict.data.size() << " bytes read, 400 expected";
}

} // namespace

TEST(HostileHeaders, EachReaderRefusesWithItsMessageOrReadsOnlyTheSamplesReallyThere)
{
    const QByteArray data = chunk("data", kData);
    const auto withFields = [&](std::uint16_t channels, std::uint16_t align, std::uint16_t bits) {
        return riffWave(chunk("fmt ", formatFields(1, channels, 44100, align, bits)) + data);
    };
    const struct { const char *name; QByteArray file; const char *mp3Source, *joinHeader, *virtualInput; } cases[] = {
        {"cut inside the RIFF header", kGood.left(10), "29673 Not a Wave file.", "%1 n'est pas un fichier Wave",
         "Entrée virtuelle « %1 » : ce n'est pas un fichier WAV."},
        {"cut inside the format fields", kGood.left(24), kNotStereo16, "Fichier tronqué dans son en-tête : %1",
         "Entrée virtuelle « %1 » : pas de bloc « fmt »."},
        {"format chunk of 15 bytes", riffWave(chunk("fmt ", kFields.left(15)) + data), kReads, "Bloc « fmt » trop court dans le fichier %1", kVirtualFormat},
        {"format chunk of 2^32-1 bytes", riffWave(chunk("fmt ", kFields, true, 0xffffffff) + data), kNoData, kJoinNoData, kVirtualNoData},
        {"data chunk past the end of the file", riffWave(kFmt + chunk("data", kData, true, 100000)), kReads,
         "Fichier tronqué : %1 (le bloc « data » annonce 100000 octets, le fichier en contient 400)", kReads},
        {"odd-sized chunk without its pad byte", riffWave(kFmt + chunk("junk", "abc", false) + data), kNoData, kJoinNoData, kVirtualNoData},
        {"data chunk before the format chunk", riffWave(data + kFmt), kNoData, kReads, kReads},
        {"block align of 0", withFields(2, 0, 16), kReads, "Alignement de bloc nul dans le fichier %1", kVirtualFormat},
        {"RIFF size smaller than the file", riffWave(kFmt + data, 4 + kFmt.size()), kNoData, kReads, kReads},
        {"0 channels", withFields(0, 4, 16), kNotStereo16, kJoinFormat, kVirtualFormat},
        {"33 bits per sample", withFields(2, 4, 33), kNotStereo16, kJoinFormat, kVirtualFormat},
    };
    TestFolder folder;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.write("hostile.wav", c.file);
        expectVerdict(mp3SourceVerdict(path), c.mp3Source, path, "MP3 source");
        expectVerdict(joinHeaderVerdict(path), c.joinHeader, path, "join header");
        expectVerdict(virtualInputVerdict(path), c.virtualInput, path, "virtual input");
        EXPECT_EQ(readFileBytes(path), c.file) << "a reader changed the file";
        EXPECT_EQ(folderEntries(folder.path()).size(), 1) << "a reader left a file behind";
    }
}

TEST(HostileSpecialFiles, ADirectoryOrAFifoWithoutWriterNamedLikeAWaveFileIsRefusedAtOnce)
{
    TestFolder folder;
    const QString directory = folder.path("dossier.wav"), fifo = folder.path("tube.wav");
    ASSERT_TRUE(QDir().mkdir(directory));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const auto &[path, reason] : {std::pair{directory, QStringLiteral("Est un dossier")},
                                       {fifo, QStringLiteral("Pas un fichier ordinaire (tube ou périphérique)")}}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(RiffFile().open(path));
        EXPECT_EQ(mp3SourceVerdict(path).refusal.toStdString(), "29672 Unable to open file.");
        EXPECT_EQ(joinHeaderVerdict(path).refusal, QStringLiteral("Impossible d'ouvrir le fichier « %1 » : %2.").arg(path, reason));
        EXPECT_EQ(virtualInputVerdict(path).refusal, QStringLiteral("Entrée virtuelle « %1 » : fichier illisible.").arg(path));
    }
    EXPECT_TRUE(QDir(directory).isEmpty());
}

TEST(HostileShrinkingFiles, AJoinWhoseSourceShrankSinceItWasListedFailsAndLeavesNoOutput)
{
    TestFolder folder;
    std::vector<JoinFileInfo> records(2);
    for (int i = 0; i < 2; ++i)
        ReadWaveHeader(records[i] = {.fileName = folder.write(QStringLiteral("part%1.wav").arg(i), riffWave(kFmt + chunk("data", patternBytes(40000, 1))))});
    ASSERT_TRUE(QFile::resize(records[1].fileName, 44 + 6000));
    try {
        JoinWaveFiles(folder.path("joint.wav"), records);
        FAIL() << "the join copied a source that lost most of its data";
    } catch (const AppError &error) {
        EXPECT_EQ(error.text(), QStringLiteral("Fichier tronqué : %1").arg(records[1].fileName));
    }
    EXPECT_EQ(folderEntries(folder.path()).size(), 2) << "an output was left behind";
}

TEST(HostileCorpus, EveryFileIsRefusedWithAReaderErrorOrReadSanelyAndRepairOnlyTouchesTheSizes)
{
    QStringList files;
    for (QDirIterator it(QStringLiteral(SONORIEL_FUZZ_CORPUS), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    ASSERT_GE(files.filter(QStringLiteral("/regressions/")).size(), 1);
    TestFolder folder;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray before = readFileBytes(path);
        // Skipping every chunk at the top level must end however the sizes lie.
        RiffFile file;
        ASSERT_TRUE(file.open(path));
        EXPECT_FALSE(file.descendRiff("WAVE") && file.descend("\xff\xff\xff\xff")); // an id no file holds
        const Verdict mp3 = mp3SourceVerdict(path), join = joinHeaderVerdict(path), input = virtualInputVerdict(path);
        EXPECT_TRUE(mp3.accepted ? mp3.data.size() <= before.size() : mp3.refusal.startsWith("2967")) << mp3.refusal.toStdString();
        EXPECT_TRUE(join.accepted || join.refusal.contains(path)) << join.refusal.toStdString();
        EXPECT_TRUE(input.accepted || input.refusal.startsWith("Entrée virtuelle")) << input.refusal.toStdString();
        EXPECT_EQ(readFileBytes(path), before) << "a reader changed the file";

        const QString copy = folder.write("copie.wav", before);
        const WaveRepairOutcome outcome = repairWaveFile(copy).outcome;
        const QByteArray after = readFileBytes(copy);
        ASSERT_EQ(after.size(), before.size());
        const auto changed = std::ranges::count_if(std::views::iota(0, int(after.size())), [&](int i) { return after[i] != before[i]; });
        if (outcome != WaveRepairOutcome::Repaired) {
            EXPECT_EQ(changed, 0) << "a file that was not repaired was changed";
            continue;
        }
        // RIFF: the RIFF, data and fact sizes; RF64: the ds64 sizes and the 32-bit fields.
        EXPECT_LE(changed, before.startsWith("RIFF") ? 12 : 32) << "more than the sizes changed";
        EXPECT_EQ(repairWaveFile(copy).outcome, WaveRepairOutcome::AlreadyRight);
        EXPECT_FALSE(joinHeaderVerdict(copy).refusal.contains(QStringLiteral("tronqué")));
    }
}
