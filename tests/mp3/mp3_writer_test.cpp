// cMp3Writer: its buffer, the file it creates, and what WriteBufferToFile accepts.
#include "mp3/mp3_writer.h"

#include "mp3_fixtures.h"

#include "../support/tools.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Mp3Writer : public ::testing::Test {
protected:
    // Puts bytes at the start of the buffer and writes that many.
    void put(const QByteArray &bytes, bool atStart = false)
    {
        std::memcpy(writer.BufferPointer(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (atStart)
            writer.WriteBufferAtStart(static_cast<std::int32_t>(bytes.size()));
        else
            EXPECT_EQ(writer.WriteBufferToFile(static_cast<std::int32_t>(bytes.size())), bytes.size());
    }
    TestFolder folder;
    cMp3Writer writer;
};

} // namespace

TEST_F(Mp3Writer, AcceptsAWholeBufferAndRefusesOneByteMoreWritingNothing)
{
    writer.setBufferSize(1000);
    writer.setFileName(folder.path("out.mp3"));
    const QByteArray bytes = patternBytes(1000, 1);
    put(bytes);
    expectError(raisedBy([&] { writer.WriteBufferToFile(1001); }), 29873,
                "Cannot write more data than is available in the buffer", ".WriteBufferToFile");
    EXPECT_EQ(writer.WriteBufferToFile(0), 0);
    EXPECT_TRUE(writer.CloseFile());
    EXPECT_TRUE(readFileBytes(folder.path("out.mp3")) == bytes);
}

TEST_F(Mp3Writer, NamingAnExistingFileTruncatesIt)
{
    const QString path = folder.write("old.mp3", patternBytes(5000, 2));
    writer.setFileName(path);
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_EQ(writer.BufferSize(), 8192);
    EXPECT_NE(writer.BufferPointer(), nullptr);
}

TEST_F(Mp3Writer, NamingASecondFileClosesTheFirstWithWhatWasWrittenToIt)
{
    writer.setBufferSize(100);
    writer.setFileName(folder.path("first.mp3"));
    const QByteArray a = patternBytes(100, 3), b = patternBytes(60, 4);
    put(a);
    writer.setFileName(folder.path("second.mp3"));
    put(b);
    EXPECT_TRUE(writer.CloseFile());
    EXPECT_TRUE(readFileBytes(folder.path("first.mp3")) == a);
    EXPECT_TRUE(readFileBytes(folder.path("second.mp3")) == b);
}

TEST_F(Mp3Writer, FilesThatCannotBeWrittenAndBadBufferSizesRaiseTheirErrors)
{
    writer.setBufferSize(4096);
    expectError(raisedBy([&] { writer.WriteBufferToFile(10); }), 29874, "File not open for writing");
    writer.setFileName(QStringLiteral("/dev/full"));
    const AppError full = raisedBy([&] { writer.WriteBufferToFile(4096); });
    expectError(full, 29875, "Failed to write buffer to file");
    EXPECT_EQ(full.reason(), "« /dev/full » : Aucun espace disponible sur le périphérique.");

    const QString path = folder.path("no/such/folder/out.mp3");
    const AppError unopened = raisedBy([&] { writer.setFileName(path); });
    expectError(unopened, 29872, "Unable to open file for writing", ".OpenFile");
    EXPECT_EQ(unopened.reason(), "« " + path + " » : Aucun fichier ou dossier de ce type.");
    EXPECT_EQ(writer.fileName(), path);
    EXPECT_FALSE(writer.isFileOpen());

    writer.setBufferSize(500);
    expectError(raisedBy([&] { writer.setBufferSize(-1); }), 29871, "Unable to allocate output buffer for writing",
                ".AllocateBuffer");
    EXPECT_EQ(writer.BufferPointer(), nullptr);
    EXPECT_EQ(writer.BufferSize(), 500);
}

TEST_F(Mp3Writer, BufferMadeBeforeTheFileIsKeptAndSurvivesClosing)
{
    writer.setBufferSize(64);
    std::uint8_t *buffer = writer.BufferPointer();
    writer.setFileName(folder.path("a.mp3"));
    EXPECT_EQ(writer.BufferPointer(), buffer);
    EXPECT_EQ(writer.BufferSize(), 64);
    EXPECT_TRUE(writer.CloseFile());
    EXPECT_EQ(writer.BufferPointer(), buffer);
    EXPECT_FALSE(writer.isFileOpen());
}

TEST_F(Mp3Writer, WritingAtTheStartReplacesTheFirstBytesAndKeepsTheLength)
{
    writer.setBufferSize(100);
    writer.setFileName(folder.path("a.mp3"));
    const QByteArray body = patternBytes(100, 5), head = patternBytes(30, 6);
    put(body);
    put(body);
    put(head, true);
    EXPECT_TRUE(writer.CloseFile());
    EXPECT_TRUE(readFileBytes(folder.path("a.mp3")) == head + body.mid(30) + body);
}
