// The fuzzing corpus (its seeds and every input that once made a reader fail) replayed through
// the ordinary readers: each file is refused with a reader's own error or read sanely, and no
// reader changes it; the header repair, given a copy, changes nothing but the sizes.
#include "hostile_files.h"

#include "common/app_error.h"
#include "platform/riff/riff_file.h"
#include "repair/wave_repair.h"
#include "support/tools.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList corpusFiles()
{
    QStringList files;
    QDirIterator it(QStringLiteral(SONORIEL_FUZZ_CORPUS), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// Skips every chunk at the top level of the file, which must end however the sizes lie.
void skipAllChunks(const QString &path)
{
    RiffFile file;
    ASSERT_TRUE(file.open(path));
    if (file.descendRiff("WAVE")) {
        EXPECT_FALSE(file.descend("\xff\xff\xff\xff")); // an id no file holds
    }
}

} // namespace

TEST(HostileCorpus, EveryFileIsRefusedWithAReaderErrorOrReadWithinItsBytes)
{
    ASSERT_GE(corpusFiles().filter(QStringLiteral("/regressions/")).size(), 1);
    for (const QString &path : corpusFiles()) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray before = readFileBytes(path);
        const qint64 size = before.size();

        skipAllChunks(path);
        const Verdict mp3 = mp3SourceVerdict(path);
        if (mp3.accepted)
            EXPECT_LE(mp3.data.size(), size);
        else
            EXPECT_TRUE(mp3.refusal.startsWith(QStringLiteral("2967"))) << mp3.refusal.toStdString();
        const Verdict join = joinHeaderVerdict(path);
        EXPECT_TRUE(join.accepted || join.refusal.contains(path)) << join.refusal.toStdString();
        const Verdict input = virtualInputVerdict(path);
        EXPECT_TRUE(input.accepted || input.refusal.startsWith(QStringLiteral("Entrée virtuelle")))
            << input.refusal.toStdString();

        EXPECT_EQ(readFileBytes(path), before) << "a reader changed the file";
    }
}

TEST(HostileCorpus, RepairChangesNothingButTheSizesAndOnlyOnce)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const QString &source : corpusFiles()) {
        SCOPED_TRACE(source.toStdString());
        const QByteArray before = readFileBytes(source);
        const QString path = folder.filePath(QStringLiteral("copie.wav"));
        QFile::remove(path);
        writeFile(path, before);

        const WaveRepairReport report = repairWaveFile(path);
        const QByteArray after = readFileBytes(path);
        ASSERT_EQ(after.size(), before.size());
        if (report.outcome != WaveRepairOutcome::Repaired) {
            EXPECT_EQ(after, before) << "a file that was not repaired was changed";
            continue;
        }
        int changed = 0;
        for (qsizetype i = 0; i < after.size(); ++i)
            changed += after[i] != before[i];
        // RIFF: the RIFF, data and fact sizes; RF64: the ds64 sizes and the 32-bit fields.
        EXPECT_LE(changed, before.startsWith("RIFF") ? 12 : 32) << "more than the sizes changed";
        EXPECT_EQ(repairWaveFile(path).outcome, WaveRepairOutcome::AlreadyRight);
        EXPECT_TRUE(joinHeaderVerdict(path).refusal.indexOf(QStringLiteral("tronqué")) < 0);
    }
}
