// Files that are not files, and files that shrink while they are read: every reader refuses
// the first at once (a FIFO without a writer must not hang it) and the second without handing
// out bytes that are no longer there.
#include "hostile_files.h"

#include "common/app_error.h"
#include "join/join_engine.h"
#include "mp3/wav_reader.h"
#include "platform/audio/virtual/sample_source.h"
#include "platform/riff/riff_file.h"

#include "../support/tools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <vector>

namespace {

// reason: what the system says of the file, in French.
void expectRefusedAsUnopenable(const QString &path, const QString &reason)
{
    RiffFile file;
    EXPECT_FALSE(file.open(path));
    const Verdict mp3 = mp3SourceVerdict(path);
    EXPECT_EQ(mp3.refusal.toStdString(), "29672 Unable to open file.");
    const Verdict join = joinHeaderVerdict(path);
    EXPECT_EQ(join.refusal, QStringLiteral("Impossible d'ouvrir le fichier « %1 » : %2.").arg(path, reason));
    const Verdict input = virtualInputVerdict(path);
    EXPECT_EQ(input.refusal, QStringLiteral("Entrée virtuelle « %1 » : fichier illisible.").arg(path));
}

// A stereo 16-bit file of `dataBytes` sample bytes; its data starts at byte 44.
QByteArray goodFile(int dataBytes)
{
    return riffWave(chunk("fmt ", stereo16Fields()) + chunk("data", sampleBytes(dataBytes)));
}

} // namespace

TEST(HostileSpecialFiles, ADirectoryOrAFifoWithoutWriterNamedLikeAWaveFileIsRefusedAtOnce)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString directory = folder.filePath(QStringLiteral("dossier.wav"));
    ASSERT_TRUE(QDir().mkdir(directory));
    expectRefusedAsUnopenable(directory, QStringLiteral("Est un dossier"));
    EXPECT_TRUE(QDir(directory).isEmpty());
    const QString fifo = folder.filePath(QStringLiteral("tube.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    expectRefusedAsUnopenable(fifo, QStringLiteral("Pas un fichier ordinaire (tube ou périphérique)"));
}

TEST(HostileShrinkingFiles, TheMp3SourceRaisesAReadErrorWhenTheRestIsCutOff)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("source.wav"));
    const QByteArray bytes = goodFile(40000);
    writeFile(path, bytes);

    cWavReader reader;
    reader.setReadBufferSize(1024);
    ASSERT_TRUE(reader.OpenFile(path));
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(reader.ReadBufferPtr()), 4096), bytes.mid(44, 4096));
    ASSERT_TRUE(QFile::resize(path, 44 + 6000));
    try {
        while (reader.Read()) {
        }
        FAIL() << "a source cut to 6000 bytes read as if it still held 40000";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29675);
        EXPECT_EQ(error.text().toStdString(), "Error reading format");
    }
}

TEST(HostileShrinkingFiles, TheVirtualInputPlaysWhatIsLeftThenSilence)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("entree.wav"));
    const QByteArray bytes = goodFile(400000);
    writeFile(path, bytes);

    QString error;
    auto source = valueOr(makeWavFileSource(path, WaveFormat::pcm(44100, 2, 16)), error);
    ASSERT_TRUE(source) << error.toStdString();
    ASSERT_TRUE(QFile::resize(path, 44 + 6000));
    QByteArray captured;
    std::vector<std::int16_t> block(5120);
    for (int i = 0; i < 4; ++i) {
        source->fill(block);
        captured.append(reinterpret_cast<const char *>(block.data()), 10240);
    }
    EXPECT_EQ(captured.left(6000), bytes.mid(44, 6000));
    EXPECT_EQ(captured.mid(6000), QByteArray(captured.size() - 6000, '\0'));
}

TEST(HostileShrinkingFiles, AJoinWhoseSourceShrankSinceItWasListedFailsAndLeavesNoOutput)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::vector<JoinFileInfo> records(2);
    for (int i = 0; i < 2; ++i) {
        records[i].fileName = folder.filePath(QStringLiteral("part%1.wav").arg(i));
        writeFile(records[i].fileName, goodFile(40000));
        ReadWaveHeader(records[i]);
    }
    ASSERT_TRUE(QFile::resize(records[1].fileName, 44 + 6000));
    const QString output = folder.filePath(QStringLiteral("joint.wav"));
    try {
        JoinWaveFiles(output, records);
        FAIL() << "the join copied a source that lost most of its data";
    } catch (const AppError &error) {
        EXPECT_EQ(error.text(), QStringLiteral("Fichier tronqué : %1").arg(records[1].fileName));
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2) << "an output was left behind";
}
