// The streaming copy under the join: a byte range of one file appended to another, by the
// kernel or through a buffer, exactly and with its failures told apart.
#include "wave_files.h"

#include "join/posix_file.h"

#include "../support/tools.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct CopyCase {
    QByteArray output;
    CopyResult result;
};

// Copies `bytes` bytes of source from offset after a 3-byte prefix already in the output.
CopyCase copyCase(const TestFolder &folder, const QByteArray &source, std::int64_t offset,
                  std::int64_t bytes, std::size_t bufferBytes, bool kernelFirst)
{
    const QString in = folder.path("in.bin");
    const QString out = folder.path("out.bin");
    EXPECT_TRUE(writeBytes(in, source));
    PosixFile from = PosixFile::openForReading(in);
    PosixFile to = PosixFile::create(out);
    EXPECT_TRUE(from.isOpen() && to.isOpen());
    EXPECT_TRUE(to.writeAll(std::vector<std::uint8_t>{'h', 'd', 'r'}));
    std::vector<std::uint8_t> buffer(bufferBytes);
    const CopyResult result = kernelFirst ? copyRange(from, offset, bytes, to, buffer)
                                          : copyRangeThroughBuffer(from, offset, bytes, to, buffer);
    EXPECT_TRUE(to.close());
    return {readFileBytes(out), result};
}

} // namespace

TEST(StreamCopy, BufferedCopyAppendsExactlyTheRangeWhateverTheBufferSize)
{
    TestFolder folder;
    const QByteArray source = patternBytes(10007, 1);
    for (std::size_t bufferBytes : {1u, 7u, 4096u, 10000u, 65536u}) {
        const CopyCase copy = copyCase(folder, source, 46, 9000, bufferBytes, false);
        EXPECT_EQ(copy.result, CopyResult::Done);
        EXPECT_TRUE(copy.output == "hdr" + source.mid(46, 9000)) << "buffer " << bufferBytes;
    }
}

TEST(StreamCopy, RangeBeyondTheEndOfTheSourceIsToldApart)
{
    TestFolder folder;
    const QByteArray source = patternBytes(500, 3);
    for (bool kernelFirst : {false, true}) {
        const CopyCase copy = copyCase(folder, source, 100, 1000, 64, kernelFirst);
        EXPECT_EQ(copy.result, CopyResult::SourceEnded);
        // What there was has been copied; the caller decides what an incomplete output means.
        EXPECT_TRUE(copy.output == "hdr" + source.mid(100));
    }
}

TEST(StreamCopy, FullDiskIsAWriteFailure)
{
    TestFolder folder;
    const QString in = folder.path("in.bin");
    ASSERT_TRUE(writeBytes(in, patternBytes(5000, 4)));
    PosixFile from = PosixFile::openForReading(in);
    PosixFile full = PosixFile::create(QStringLiteral("/dev/full"));
    ASSERT_TRUE(from.isOpen() && full.isOpen());
    std::vector<std::uint8_t> buffer(1000);

    EXPECT_EQ(copyRange(from, 0, 5000, full, buffer), CopyResult::WriteFailed);
    EXPECT_EQ(copyRangeThroughBuffer(from, 0, 5000, full, buffer), CopyResult::WriteFailed);
}
