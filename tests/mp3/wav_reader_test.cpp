// cWavReader on well-formed files: what it accepts, how Read hands out the data block by
// block, seeking, and the rules about the read size.
#include "mp3/wav_reader.h"

#include "mp3_fixtures.h"

#include "common/app_error.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The number raised by f, 0 when nothing is raised.
template <typename F>
int errorNumberOf(F &&f)
{
    try {
        f();
    } catch (const AppError &error) {
        return error.number();
    }
    return 0;
}

QByteArray bufferBytes(const cWavReader &reader, int frames)
{
    return QByteArray(reinterpret_cast<const char *>(reader.ReadBufferPtr()), frames * 4);
}

class WavReaderFile : public ::testing::Test {
protected:
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("source.wav"))
    {
        const QString path = folder.path(name);
        EXPECT_TRUE(writeBytes(path, bytes));
        return path;
    }
    TestFolder folder;
};

} // namespace

TEST_F(WavReaderFile, TenThousandBytesComeAsTwoFullBlocksAndAFinalOneOf452Frames)
{
    const QByteArray data = patternBytes(10000, 1);
    cWavReader reader;
    reader.setReadBufferSize(1024);
    reader.setFileName(write(waveFile({}, data)));
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.AudioLength(), 2500);

    EXPECT_TRUE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1024);
    EXPECT_TRUE(bufferBytes(reader, 1024) == data.mid(0, 4096));
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 1024) == data.mid(4096, 4096));
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 452);
    EXPECT_TRUE(bufferBytes(reader, 452) == data.mid(8192, 1808));
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 452);
}

TEST_F(WavReaderFile, ExactlyTwoBlocksEndWithAFalseReadThatHoldsAFullBlock)
{
    const QByteArray data = patternBytes(8192, 2);
    cWavReader reader;
    reader.setReadBufferSize(1024);
    reader.setFileName(write(waveFile({}, data)));
    EXPECT_TRUE(reader.Read());
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1024);
    EXPECT_TRUE(bufferBytes(reader, 1024) == data.mid(4096));
}

TEST_F(WavReaderFile, EmptyDataChunkReadsNothing)
{
    cWavReader reader;
    reader.setFileName(write(waveFile({}, {})));
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.AudioLength(), 0);
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 0);
}

TEST_F(WavReaderFile, AnyFormatTagAndRateAreAcceptedForSixteenBitStereo)
{
    cWavReader reader;
    reader.setFileName(write(waveFile({.channels = 2, .rateHz = 12345, .bits = 16, .formatTag = 0x55}, patternBytes(400, 3))));
    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.sampleRate(), 12345u);
    EXPECT_EQ(reader.formatTag(), 0x55);
}

TEST_F(WavReaderFile, MonoAndEightBitFilesAreRefusedAndLeaveTheReaderClosed)
{
    for (const WaveLayout layout : {WaveLayout{.channels = 1}, WaveLayout{.channels = 2, .bits = 8}}) {
        cWavReader reader;
        reader.setFileName(write(waveFile({}, patternBytes(400, 4)), "good.wav"));
        const QString good = reader.fileName();
        try {
            reader.setFileName(write(waveFile(layout, patternBytes(400, 4)), "refused.wav"));
            ADD_FAILURE() << "a " << layout.channels << "-channel " << layout.bits << "-bit file was accepted";
        } catch (const AppError &error) {
            EXPECT_EQ(error.number(), 29671);
            EXPECT_EQ(error.text(), "Only stereo 16 bit wave files supported.");
            EXPECT_TRUE(error.source().endsWith(".cWavePlayer")) << error.source().toStdString();
        }
        EXPECT_FALSE(reader.isOpen());
        EXPECT_EQ(reader.ReadBufferPtr(), nullptr);
        EXPECT_EQ(reader.fileName(), good);
    }
}

TEST_F(WavReaderFile, EmptyNameClosesTheOpenFileAndRaisesNothing)
{
    cWavReader reader;
    reader.setFileName(write(waveFile({}, patternBytes(400, 5))));
    ASSERT_TRUE(reader.isOpen());
    EXPECT_FALSE(reader.OpenFile(QString()));
    EXPECT_FALSE(reader.isOpen());
    reader.setFileName(write(waveFile({}, patternBytes(400, 5))));
    reader.setFileName(QString());
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.fileName(), folder.path("source.wav"));
}

TEST_F(WavReaderFile, FormatChunkWithoutDataChunkIsRefusedAsNoWaveFileOpen)
{
    const QString path = write(riffWave(chunk("fmt ", formatPayload({}))));
    cWavReader reader;
    EXPECT_EQ(errorNumberOf([&] { reader.setFileName(path); }), 29676);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_TRUE(reader.fileName().isEmpty());
}

TEST_F(WavReaderFile, LongFormatChunkIsReadInItsFirstFiftyBytesAndSkippedWhole)
{
    const QByteArray data = patternBytes(4000, 6);
    const QString path = write(riffWave(chunk("fmt ", formatPayload({}, 120)) + chunk("data", data)));
    cWavReader reader;
    reader.setFileName(path);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.AudioLength(), 1000);
    EXPECT_FALSE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 1000) == data);
}

TEST_F(WavReaderFile, ChunksBeforeTheFormatAndDataAreSkipped)
{
    const QByteArray data = patternBytes(1000, 7);
    const QString path = write(riffWave(chunk("LIST", QByteArray("INFOISFT\x05\0\0\0abcde", 17)) +
                                        chunk("fmt ", formatPayload({})) + chunk("fact", QByteArray(4, '\1')) +
                                        chunk("data", data)));
    cWavReader reader;
    reader.setFileName(path);
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 250);
    EXPECT_TRUE(bufferBytes(reader, 250) == data);
}

TEST_F(WavReaderFile, SeekAbsoluteAcceptsTheEndAndRefusesBeyondItOrBeforeTheStart)
{
    cWavReader reader;
    reader.setReadBufferSize(100);
    reader.setFileName(write(waveFile({}, patternBytes(4000, 8))));
    reader.SeekAbsolute(reader.AudioLength());
    EXPECT_EQ(reader.BufferStartPosition(), 4000);
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 0);
    EXPECT_EQ(errorNumberOf([&] { reader.SeekAbsolute(reader.AudioLength() + 1); }), 29678);
    EXPECT_EQ(errorNumberOf([&] { reader.SeekAbsolute(-1); }), 29678);
    EXPECT_EQ(errorNumberOf([&] { reader.SeekAbsolute(0x7FFFFFFF); }), 29678);
    EXPECT_EQ(reader.BufferStartPosition(), 4000);
}

TEST_F(WavReaderFile, SeekMovesTheNextReadToThatFrame)
{
    const QByteArray data = patternBytes(4000, 9);
    cWavReader reader;
    reader.setReadBufferSize(10);
    reader.setFileName(write(waveFile({}, data)));
    reader.SeekAbsolute(500);
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 10) == data.mid(2000, 40));
    reader.SeekRelative(-20);
    EXPECT_EQ(reader.BufferStartPosition(), 2040 - 80);
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 10) == data.mid(1960, 40));
    EXPECT_EQ(errorNumberOf([&] { reader.SeekRelative(-501); }), 29678);
    EXPECT_EQ(errorNumberOf([&] { reader.SeekRelative(1000); }), 29678);
    reader.SeekRelative(1000 - 500);
    EXPECT_EQ(reader.BufferStartPosition(), 4000);
}

TEST_F(WavReaderFile, ReadBufferSizeCannotChangeWhileAFileIsOpen)
{
    cWavReader reader;
    EXPECT_EQ(reader.ReadBufferSize(), 32768);
    reader.setReadBufferSize(1152);
    reader.setFileName(write(waveFile({}, patternBytes(400, 10))));
    try {
        reader.setReadBufferSize(10);
        ADD_FAILURE() << "the read size changed while open";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29679);
        EXPECT_EQ(error.text(), "Cannot change buffer size whilst a file is open.");
    }
    EXPECT_EQ(reader.ReadBufferSize(), 1152);
    reader.CloseFile();
    reader.setReadBufferSize(10);
    EXPECT_EQ(reader.ReadBufferSize(), 10);
}

TEST_F(WavReaderFile, ReadWithoutAnOpenFileRaisesNoWaveFileOpen)
{
    cWavReader reader;
    try {
        reader.Read();
        ADD_FAILURE() << "Read worked without a file";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29676);
        EXPECT_EQ(error.text(), "No Wave File Open");
    }
}

TEST_F(WavReaderFile, CloseFileKeepsTheNameAndReleasesTheBuffer)
{
    cWavReader reader;
    const QString path = write(waveFile({}, patternBytes(400, 11)));
    reader.setFileName(path);
    EXPECT_NE(reader.ReadBufferPtr(), nullptr);
    reader.CloseFile();
    EXPECT_EQ(reader.ReadBufferPtr(), nullptr);
    EXPECT_EQ(reader.AudioLength(), 0);
    EXPECT_EQ(reader.fileName(), path);
}

TEST_F(WavReaderFile, NonPositiveReadSizeIsRefusedAsInsufficientMemory)
{
    cWavReader reader;
    reader.setReadBufferSize(0);
    EXPECT_EQ(errorNumberOf([&] { reader.setFileName(write(waveFile({}, patternBytes(400, 12)))); }), 29677);
    EXPECT_FALSE(reader.isOpen());
}
