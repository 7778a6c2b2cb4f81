// The file layer: reads and writes, refusals of non-files, locked recordings, range copies.
#include "platform/files/file.h"
#include "platform/files/file_copy.h"
#include "platform/files/same_file.h"

#include "../support/small_disk.h"
#include "../support/tools.h"
#include "../support/wave_bytes.h"

#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <unistd.h>

static std::vector<std::uint8_t> bytesOf(const QByteArray &bytes) { return {bytes.begin(), bytes.end()}; }

TEST(File, WritesWholeAtItsPositionAndAtAnOffsetAndReadsBackWhatIsThere)
{
    TestFolder folder;
    const QString path = folder.filePath("f.bin");
    Result<File> file = File::create(path);
    ASSERT_TRUE(file) << file.reason().toStdString();
    EXPECT_TRUE(file->isSeekable()); // at position 0
    const QByteArray body = patternBytes(100000, 1);
    ASSERT_TRUE(file->write(bytesOf(body)));
    ASSERT_TRUE(file->writeAt(10, bytesOf("head")));
    ASSERT_TRUE(file->write(bytesOf("tail"))); // the position is past the body, not the head
    ASSERT_TRUE(file->sync() && file->close());
    QByteArray expected = body + "tail";
    expected.replace(10, 4, "head");
    EXPECT_EQ(readFileBytes(path), expected);

    const Result<File> reader = File::openForReading(path);
    std::vector<std::uint8_t> some(8);
    ASSERT_TRUE(reader);
    EXPECT_EQ(*reader->readAt(8, some), 8u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(some.data()), 8), expected.mid(8, 8));
    EXPECT_EQ(*reader->readAt(99998, some), 6u); // fewer only where the file ends

    Result<File> cut = File::create(folder.filePath("cut.bin")); // writing goes on at the new end, no hole
    ASSERT_TRUE(cut && cut->write(bytesOf("0123456789")) && cut->truncate(4) && cut->write(bytesOf("ab")) && cut->close());
    EXPECT_EQ(readFileBytes(folder.filePath("cut.bin")), "0123ab");
}

TEST(File, PipesAndDevicesAreRefusedAtOnceForReadingUpdatingAndRecording)
{
    TestFolder folder;
    const QString pipe = folder.filePath("tube.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    for (const QString &path : {pipe, QStringLiteral("/dev/null")}) {
        EXPECT_EQ(File::openForReading(path).reason(),
                  "« " + path + " » : Pas un fichier ordinaire (tube ou périphérique).");
        EXPECT_FALSE(File::openForUpdate(path) || File::createForRecording(path, false));
        EXPECT_TRUE(File::isFolderOrDevice(path));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)); // no wait for a writer
    EXPECT_FALSE(File::isFolderOrDevice(folder.write("plain.wav", "x")));
}

TEST(File, ARecordingsFileIsLockedAndEmptiedOnlyOnceLocked)
{
    TestFolder folder;
    const QString path = folder.write("take.wav", "earlier sound");
    const QString busy = "« " + path + " » est déjà en cours d'enregistrement.";
    EXPECT_FALSE(File::createForRecording(path, true)); // exclusive: the name is taken
    EXPECT_EQ(readFileBytes(path), "earlier sound");

    Result<File> first = File::createForRecording(path, false);
    ASSERT_TRUE(first) << first.reason().toStdString();
    EXPECT_EQ(*first->length(), 0u);
    ASSERT_TRUE(first->write(bytesOf("new")));
    EXPECT_EQ(File::checkRecordingCreation(path, false).reason(), busy);
    EXPECT_EQ(File::createForRecording(path, false).reason(), busy);
    EXPECT_EQ(readFileBytes(path), "new"); // the refused second recording emptied nothing
    ASSERT_TRUE(first->close());
    EXPECT_TRUE(File::createForRecording(path, false));
}

TEST(File, KnowsWhenItsNameWasRemovedWhatBearsANameAndWhatNamesTheSameFile)
{
    TestFolder folder;
    const QString path = folder.filePath("gone.wav");
    Result<File> file = File::create(path);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->isStillLinked());
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(file->isStillLinked());
    EXPECT_FALSE(File::nameIsTaken(path));
    ASSERT_TRUE(QFile::link(folder.filePath("nowhere"), path));
    EXPECT_TRUE(File::nameIsTaken(path)); // a link to nothing takes the name all the same

    // A second name is the same file on disk; a copy is not.
    const QString input = folder.write("in.wav", "sound");
    ASSERT_EQ(::link(QFile::encodeName(input).constData(), QFile::encodeName(folder.filePath("hard.wav")).constData()), 0);
    EXPECT_TRUE(isSameFileOnDisk(input, folder.filePath("hard.wav")));
    EXPECT_FALSE(isSameFileOnDisk(input, folder.write("copy.wav", "sound")));
}

TEST(FileCopy, AppendsExactlyTheRangeWhateverTheBufferAndTellsASourceThatEndsTooSoon)
{
    TestFolder folder;
    const QByteArray source = patternBytes(10007, 1);
    const Result<File> from = File::openForReading(folder.write("in.bin", source));
    ASSERT_TRUE(from);
    const QString out = folder.filePath("out.bin");
    const struct { std::uint64_t offset, bytes; std::size_t bufferBytes; bool kernelFirst; CopyEnd end; } cases[] = {
        {46, 9000, 7, false, CopyEnd::Done}, {46, 9000, 64, true, CopyEnd::Done}, {9507, 1000, 64, true, CopyEnd::SourceEnded}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "buffer " << c.bufferBytes << " offset " << c.offset);
        Result<File> to = File::create(out);
        ASSERT_TRUE(to && to->write(bytesOf("hdr"))); // after a header already in the output
        std::vector<std::uint8_t> buffer(c.bufferBytes);
        const Result<CopyEnd> copied = c.kernelFirst ? copyRange(*from, c.offset, c.bytes, *to, buffer)
                                                     : copyRangeThroughBuffer(*from, c.offset, c.bytes, *to, buffer);
        ASSERT_TRUE(copied) << copied.reason().toStdString();
        EXPECT_EQ(*copied, c.end);
        ASSERT_TRUE(to->close());
        EXPECT_EQ(readFileBytes(out), "hdr" + source.mid(qsizetype(c.offset), qsizetype(c.bytes)));
    }
}

TEST(FileCopy, AFullDiskMetByTheKernelOrTheBufferIsAWriteErrorThatNamesTheOutput)
{
    TestFolder folder;
    SmallDisk disk(folder.filePath("small"), 24 * 1024);
    ASSERT_TRUE(disk.ready()) << disk.why().toStdString();
    const Result<File> from = File::openForReading(folder.write("small/in.bin", patternBytes(16000, 4)));
    Result<File> to = File::create(folder.filePath("small/joint.wav"));
    Result<File> full = File::create("/dev/full"); // where only the buffer can copy
    ASSERT_TRUE(from && to && full);
    full->showAs("joint.wav");
    std::vector<std::uint8_t> buffer(1000);
    const Result<CopyEnd> first = copyRange(*from, 0, 16000, *to, buffer);
    EXPECT_EQ((first ? copyRange(*from, 0, 16000, *to, buffer) : first).reason(),
              "Erreur d'écriture dans le fichier « " + folder.filePath("small/joint.wav") + " » : " + disk.fullReason() + ".");
    EXPECT_EQ(copyRangeThroughBuffer(*from, 0, 5000, *full, buffer).reason(),
              "Erreur d'écriture dans le fichier « joint.wav » : Aucun espace disponible sur le périphérique.");
}
