// cMp3Writer: the file it writes, the rewrite of its first bytes, and what it refuses.
#include "mp3/mp3_writer.h"

#include "mp3_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Mp3Writer, WritesWholeBuffersRewritesTheStartAndRefusesWhatItCannotWrite)
{
    TestFolder folder;
    cMp3Writer writer;
    writer.setBufferSize(100);
    expectError(raisedBy([&] { writer.WriteBufferToFile(10); }), 29874, "File not open for writing");
    writer.setFileName(folder.write("a.mp3", patternBytes(5000, 2))); // truncated
    const QByteArray body = patternBytes(100, 5), head = patternBytes(30, 6);
    std::memcpy(writer.BufferPointer(), body.constData(), 100);
    EXPECT_EQ(writer.WriteBufferToFile(100), 100);
    EXPECT_EQ(writer.WriteBufferToFile(100), 100);
    expectError(raisedBy([&] { writer.WriteBufferToFile(101); }), 29873,
                "Cannot write more data than is available in the buffer", ".WriteBufferToFile");
    std::memcpy(writer.BufferPointer(), head.constData(), 30);
    writer.WriteBufferAtStart(30);
    EXPECT_TRUE(writer.CloseFile());
    EXPECT_TRUE(readFileBytes(folder.path("a.mp3")) == head + body.mid(30) + body);

    writer.setFileName(QStringLiteral("/dev/full"));
    const AppError full = raisedBy([&] { writer.WriteBufferToFile(100); });
    expectError(full, 29875, "Failed to write buffer to file");
    EXPECT_EQ(full.reason(), "« /dev/full » : Aucun espace disponible sur le périphérique.");
    const QString path = folder.path("no/such/folder/out.mp3");
    expectError(raisedBy([&] { writer.setFileName(path); }), 29872, "Unable to open file for writing", ".OpenFile");
    EXPECT_FALSE(writer.isFileOpen());
    expectError(raisedBy([&] { writer.setBufferSize(-1); }), 29871, "Unable to allocate output buffer for writing");
}
