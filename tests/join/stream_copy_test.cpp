// The streaming copy under the join: a byte range of one file appended to another, by the
// kernel or through a buffer, exactly and with its failures told apart.
#include "wave_files.h"

#include "join/posix_file.h"

#include "../support/tools.h"

#include <gtest/gtest.h>

#include <vector>

TEST(StreamCopy, AppendsExactlyTheRangeWhateverTheBufferAndTellsASourceThatEndsTooSoon)
{
    TestFolder folder;
    const QByteArray source = patternBytes(10007, 1);
    const QString in = folder.write("in.bin", source);
    const QString out = folder.path("out.bin");
    const struct { std::int64_t offset, bytes; std::size_t bufferBytes; bool kernelFirst; CopyResult result; } cases[] = {
        {46, 9000, 1, false, CopyResult::Done},     {46, 9000, 7, false, CopyResult::Done},
        {46, 9000, 4096, false, CopyResult::Done},  {46, 9000, 10000, false, CopyResult::Done},
        {46, 9000, 65536, false, CopyResult::Done},
        // Beyond the end, what there was has been copied; the caller decides what an
        // incomplete output means.
        {9507, 1000, 64, false, CopyResult::SourceEnded}, {9507, 1000, 64, true, CopyResult::SourceEnded},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "buffer " << c.bufferBytes << " kernel " << c.kernelFirst
                                        << " offset " << c.offset);
        // After a 3-byte prefix already in the output.
        PosixFile from = PosixFile::openForReading(in);
        PosixFile to = PosixFile::create(out);
        ASSERT_TRUE(from.isOpen() && to.isOpen());
        EXPECT_TRUE(to.writeAll(std::vector<std::uint8_t>{'h', 'd', 'r'}));
        std::vector<std::uint8_t> buffer(c.bufferBytes);
        EXPECT_EQ(c.kernelFirst ? copyRange(from, c.offset, c.bytes, to, buffer)
                                : copyRangeThroughBuffer(from, c.offset, c.bytes, to, buffer),
                  c.result);
        EXPECT_TRUE(to.close());
        EXPECT_TRUE(readFileBytes(out) == "hdr" + source.mid(c.offset, c.bytes));
    }
}

TEST(StreamCopy, FullDiskIsAWriteFailure)
{
    TestFolder folder;
    PosixFile from = PosixFile::openForReading(folder.write("in.bin", patternBytes(5000, 4)));
    PosixFile full = PosixFile::create(QStringLiteral("/dev/full"));
    ASSERT_TRUE(from.isOpen() && full.isOpen());
    std::vector<std::uint8_t> buffer(1000);

    EXPECT_EQ(copyRange(from, 0, 5000, full, buffer), CopyResult::WriteFailed);
    EXPECT_EQ(copyRangeThroughBuffer(from, 0, 5000, full, buffer), CopyResult::WriteFailed);
}
