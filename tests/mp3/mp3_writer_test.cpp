// cMp3Writer: its buffer, the file it creates, and what WriteBufferToFile accepts.
#include "mp3/mp3_writer.h"

#include "mp3_fixtures.h"

#include "../support/tools.h"
#include "common/app_error.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>

namespace {

void fill(cMp3Writer &writer, const QByteArray &bytes)
{
    std::memcpy(writer.BufferPointer(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

TEST(Mp3Writer, AcceptsAWholeBufferAndRefusesOneByteMoreWritingNothing)
{
    TestFolder folder;
    cMp3Writer writer;
    writer.setBufferSize(1000);
    writer.setFileName(folder.path("out.mp3"));
    const QByteArray bytes = patternBytes(1000, 1);
    fill(writer, bytes);
    EXPECT_EQ(writer.WriteBufferToFile(1000), 1000);
    try {
        writer.WriteBufferToFile(1001);
        ADD_FAILURE() << "a write past the buffer was accepted";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29873);
        EXPECT_EQ(error.text(), "Cannot write more data than is available in the buffer");
        EXPECT_TRUE(error.source().endsWith(".WriteBufferToFile")) << error.source().toStdString();
    }
    EXPECT_EQ(writer.WriteBufferToFile(0), 0);
    writer.CloseFile();
    EXPECT_TRUE(readFileBytes(folder.path("out.mp3")) == bytes);
}

TEST(Mp3Writer, WritingBeforeAnyFileIsNamedRaisesFileNotOpen)
{
    cMp3Writer writer;
    writer.setBufferSize(100);
    try {
        writer.WriteBufferToFile(10);
        ADD_FAILURE() << "a write without a file was accepted";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29874);
        EXPECT_EQ(error.text(), "File not open for writing");
    }
}

TEST(Mp3Writer, NamingAnExistingFileTruncatesIt)
{
    TestFolder folder;
    const QString path = folder.path("old.mp3");
    ASSERT_TRUE(writeBytes(path, patternBytes(5000, 2)));
    cMp3Writer writer;
    writer.setFileName(path);
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_EQ(writer.BufferSize(), 8192);
    EXPECT_NE(writer.BufferPointer(), nullptr);
}

TEST(Mp3Writer, NameInAMissingFolderRaisesUnableToOpenAndIsStillRemembered)
{
    TestFolder folder;
    const QString path = folder.path("no/such/folder/out.mp3");
    cMp3Writer writer;
    try {
        writer.setFileName(path);
        ADD_FAILURE() << "a file was created in a missing folder";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29872);
        EXPECT_EQ(error.text(), "Unable to open file for writing");
        EXPECT_TRUE(error.source().endsWith(".OpenFile")) << error.source().toStdString();
    }
    EXPECT_EQ(writer.fileName(), path);
    EXPECT_FALSE(writer.isFileOpen());
}

TEST(Mp3Writer, NamingASecondFileClosesTheFirstWithWhatWasWrittenToIt)
{
    TestFolder folder;
    cMp3Writer writer;
    writer.setBufferSize(100);
    writer.setFileName(folder.path("first.mp3"));
    const QByteArray a = patternBytes(100, 3), b = patternBytes(60, 4);
    fill(writer, a);
    writer.WriteBufferToFile(100);
    writer.setFileName(folder.path("second.mp3"));
    fill(writer, b);
    writer.WriteBufferToFile(60);
    writer.CloseFile();
    EXPECT_TRUE(readFileBytes(folder.path("first.mp3")) == a);
    EXPECT_TRUE(readFileBytes(folder.path("second.mp3")) == b);
}

TEST(Mp3Writer, FailedBufferSizeLeavesNoBufferAndTheOldSize)
{
    cMp3Writer writer;
    writer.setBufferSize(500);
    try {
        writer.setBufferSize(-1);
        ADD_FAILURE() << "a negative buffer was allocated";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29871);
        EXPECT_EQ(error.text(), "Unable to allocate output buffer for writing");
        EXPECT_TRUE(error.source().endsWith(".AllocateBuffer")) << error.source().toStdString();
    }
    EXPECT_EQ(writer.BufferPointer(), nullptr);
    EXPECT_EQ(writer.BufferSize(), 500);
}

TEST(Mp3Writer, BufferMadeBeforeTheFileIsKeptAndSurvivesClosing)
{
    TestFolder folder;
    cMp3Writer writer;
    writer.setBufferSize(64);
    std::uint8_t *buffer = writer.BufferPointer();
    writer.setFileName(folder.path("a.mp3"));
    EXPECT_EQ(writer.BufferPointer(), buffer);
    EXPECT_EQ(writer.BufferSize(), 64);
    writer.CloseFile();
    EXPECT_EQ(writer.BufferPointer(), buffer);
    EXPECT_FALSE(writer.isFileOpen());
}

TEST(Mp3Writer, FullDiskRaisesFailedToWrite)
{
    cMp3Writer writer;
    writer.setBufferSize(4096);
    writer.setFileName(QStringLiteral("/dev/full"));
    try {
        writer.WriteBufferToFile(4096);
        ADD_FAILURE() << "a write to a full disk was reported as done";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29875);
        EXPECT_EQ(error.text(), "Failed to write buffer to file");
    }
}

TEST(Mp3Writer, WritingAtTheStartReplacesTheFirstBytesAndKeepsTheLength)
{
    TestFolder folder;
    cMp3Writer writer;
    writer.setBufferSize(100);
    writer.setFileName(folder.path("a.mp3"));
    const QByteArray body = patternBytes(100, 5), head = patternBytes(30, 6);
    fill(writer, body);
    writer.WriteBufferToFile(100);
    writer.WriteBufferToFile(100);
    fill(writer, head);
    writer.WriteBufferAtStart(30);
    writer.CloseFile();
    EXPECT_TRUE(readFileBytes(folder.path("a.mp3")) == head + body.mid(30) + body);
}
