// cWavReader: what it accepts, how Read hands out the data block by block, seeking, the rules
// about the read size, and files that are not what they claim (refused with the reader's error,
// or, for a cut-off data chunk, read as far as it goes, never read past their end).
#include "mp3/wav_reader.h"

#include "mp3_fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

QByteArray bufferBytes(const cWavReader &reader, int frames)
{
    return QByteArray(reinterpret_cast<const char *>(reader.ReadBufferPtr()), frames * 4);
}

class WavReaderFile : public ::testing::Test {
protected:
    TestFolder folder;
    cWavReader reader;
};

} // namespace

TEST_F(WavReaderFile, ReadHandsOutTheDataInBlocksAndTheLastReadIsFalse)
{
    const QByteArray data = patternBytes(10000, 1), cutData = patternBytes(10000, 4);
    const QByteArray longFmt = patternBytes(4000, 6), listed = patternBytes(1000, 7);
    struct Case {
        const char *name;
        QByteArray file, data;
        int bufferFrames;
        int frames;
        std::vector<int> reads; // ReadSize of each Read; all but the last return true
        bool readAgain;         // one more Read stays false and keeps the size
    };
    const Case cases[] = {
        {"two full blocks and 452 frames", waveFile({}, data), data, 1024, 2500, {1024, 1024, 452}, true},
        {"exactly two blocks", waveFile({}, data.left(8192)), data.left(8192), 1024, 2048, {1024, 1024}, false},
        {"empty data chunk", waveFile({}, {}), {}, 32768, 0, {0}, false},
        {"fmt chunk of 136 bytes", riffWave(chunk("fmt ", formatPayload({}, 120)) + chunk("data", longFmt)), longFmt,
         32768, 1000, {1000}, false},
        {"LIST and fact chunks around fmt",
         riffWave(chunk("LIST", QByteArray("INFOISFT\x05\0\0\0abcde", 17)) + chunk("fmt ", formatPayload({})) +
                  chunk("fact", QByteArray(4, '\1')) + chunk("data", listed)),
         listed, 32768, 250, {250}, false},
        {"data chunk cut short", waveFile({}, cutData).left(44 + 3000), cutData.left(3000), 1024, 750, {750}, false},
        // Whole frames up to the end of the file (and its closing ID3v1 tag).
        {"size left at 0 before the sound", waveFile({}, {}) + cutData.left(1002), cutData.left(1000), 1024, 250,
         {250}, false},
        {"placeholder size from a pipe", riffWave(chunk("fmt ", formatPayload({})) + chunk("data", {}, true, 0xFFFFFFFF)) +
                                             data + "TAG" + QByteArray(125, 'x'), data, 1024, 2500, {1024, 1024, 452}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        cWavReader fresh;
        fresh.setReadBufferSize(c.bufferFrames);
        fresh.setFileName(folder.write(QStringLiteral("source.wav"), c.file));
        ASSERT_TRUE(fresh.isOpen());
        EXPECT_EQ(fresh.AudioLength(), c.frames);
        int offset = 0;
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            EXPECT_EQ(fresh.Read(), i + 1 < c.reads.size()) << "read " << i;
            EXPECT_EQ(fresh.ReadSize(), c.reads[i]);
            EXPECT_TRUE(bufferBytes(fresh, c.reads[i]) == c.data.mid(offset, c.reads[i] * 4)) << "read " << i;
            offset += c.reads[i] * 4;
        }
        if (c.readAgain) {
            EXPECT_FALSE(fresh.Read());
            EXPECT_EQ(fresh.ReadSize(), c.reads.back());
        }
    }
}

TEST_F(WavReaderFile, AnyRateIsAcceptedForSixteenBitStereoButOnlyInPcm)
{
    // The extensible layout: extra size 22, valid bits, channel mask, then the sub-format GUID.
    const auto extensible = [](std::uint16_t subFormat) {
        QByteArray payload = formatPayload({.formatTag = 0xFFFE});
        appendLe(payload, 22, 2);
        appendLe(payload, 16, 2);
        appendLe(payload, 3, 4);
        appendLe(payload, subFormat, 2);
        return riffWave(chunk("fmt ", payload + QByteArray::fromHex("000000001000800000aa00389b71")) +
                        chunk("data", patternBytes(400, 3)));
    };
    reader.setFileName(folder.write(QStringLiteral("source.wav"), waveFile({.rateHz = 12345}, patternBytes(400, 3))));
    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.sampleRate(), 12345u);
    reader.setFileName(folder.write("extensible.wav", extensible(1)));
    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.formatTag(), 0xFFFE);

    // MPEG, A-law and ADPCM data under 16-bit stereo numbers, and float in the extensible layout.
    const std::pair<QByteArray, const char *> refused[] = {
        {waveFile({.formatTag = 0x55}, patternBytes(400, 3)), "0x0055"},
        {waveFile({.formatTag = 6}, patternBytes(400, 3)), "0x0006"},
        {waveFile({.formatTag = 2}, patternBytes(400, 3)), "0x0002"},
        {extensible(3), "0xfffe"},
    };
    for (const auto &[bytes, format] : refused) {
        SCOPED_TRACE(format);
        const QString path = folder.write("other.wav", bytes);
        const AppError error = raisedBy([&] { reader.setFileName(path); });
        expectError(error, 29671, "Only stereo 16 bit wave files supported.", ".cWavePlayer");
        EXPECT_EQ(error.reason(), path + " n'est pas en PCM (format " + format + ").");
        EXPECT_FALSE(reader.isOpen());
    }
}

TEST_F(WavReaderFile, AFileWrittenToAPipeBeyondFourGibibytesKeepsItsWholeLength)
{
    // 9 GiB of sound after ffmpeg's placeholder size, sparse: it takes no room on the disk.
    const QString path = folder.write("long.wav", riffWave(chunk("fmt ", formatPayload({})) + chunk("data", {}, true, 0xFFFFFFFF)));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.resize(44 + (qint64(9) << 30)));
    reader.setFileName(path);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.audioFrames(), (qint64(9) << 30) / 4);
    EXPECT_EQ(reader.AudioLength(), std::numeric_limits<std::int32_t>::max());
}

TEST_F(WavReaderFile, AnRf64FileBeyondFourGibibytesIsReadToTheLastFrameItsDs64Gives)
{
    // 6 GiB of sound, sparse but for its last 4000 bytes, then a LIST chunk.
    const std::uint64_t dataBytes = std::uint64_t(6) << 30;
    const QByteArray header =
        rf64Wave(chunk("fmt ", formatPayload({})) + chunk("data", {}, true, 0xFFFFFFFF), {dataBytes + 80, dataBytes, dataBytes / 4});
    const QByteArray last = patternBytes(4000, 12);
    const QString path = folder.write("long.wav", header);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.resize(header.size() + qint64(dataBytes) - last.size()) &&
                file.seek(file.size()) && file.write(last + chunk("LIST", "INFO")) > 0);
    file.close();

    reader.setReadBufferSize(1024);
    reader.setFileName(path);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.audioFrames(), qint64(dataBytes / 4));
    EXPECT_EQ(reader.AudioLength(), qint64(dataBytes / 4));
    reader.SeekAbsolute(reader.AudioLength() - 1000);
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1000);
    EXPECT_TRUE(bufferBytes(reader, 1000) == last);
}

TEST_F(WavReaderFile, MonoAndEightBitFilesAreRefusedAndLeaveTheReaderClosed)
{
    for (const WaveLayout layout : {WaveLayout{.channels = 1}, WaveLayout{.channels = 2, .bits = 8}}) {
        SCOPED_TRACE(layout.bits);
        cWavReader fresh;
        const QString good = folder.write("good.wav", waveFile({}, patternBytes(400, 4)));
        fresh.setFileName(good);
        const QString refused = folder.write("refused.wav", waveFile(layout, patternBytes(400, 4)));
        expectError(raisedBy([&] { fresh.setFileName(refused); }), 29671, "Only stereo 16 bit wave files supported.",
                    ".cWavePlayer");
        EXPECT_FALSE(fresh.isOpen());
        EXPECT_EQ(fresh.ReadBufferPtr(), nullptr);
        EXPECT_EQ(fresh.fileName(), good);
    }
}

TEST_F(WavReaderFile, DamagedFilesAreRefusedWithTheReadersErrorNumber)
{
    const QByteArray whole = waveFile({}, patternBytes(4000, 3));
    const std::pair<QByteArray, int> cases[] = {
        {QByteArray(), 29673},
        {QByteArray("hello, this is text and not sound\n"), 29673},
        {patternBytes(5000, 1), 29673},
        {QByteArray("RIFF\x04\0\0\0AVI ", 12), 29673},
        {QByteArray("RIFF", 4), 29673},
        {riffWave(chunk("data", patternBytes(400, 2))), 29674}, // no fmt chunk
        {whole.left(30), 29671},                                 // cut inside the format fields
        {whole.left(40), 29676},                                 // cut inside the data chunk's header
        {whole.left(16), 29674},                                 // cut inside the fmt chunk's own header
        {riffWave(chunk("fmt ", formatPayload({}))), 29676},     // no data chunk
    };
    for (const auto &[bytes, number] : cases) {
        SCOPED_TRACE(bytes.left(16).toHex().toStdString());
        cWavReader fresh;
        const QString path = folder.write("damaged.wav", bytes);
        EXPECT_EQ(raisedBy([&] { fresh.setFileName(path); }).number(), number);
        EXPECT_FALSE(fresh.isOpen());
        EXPECT_TRUE(fresh.fileName().isEmpty());
    }
    EXPECT_EQ(raisedBy([&] { reader.setFileName(folder.path("absent.wav")); }).number(), 29672);
    EXPECT_FALSE(reader.isOpen());
}

TEST_F(WavReaderFile, SeekMovesTheNextReadAndRefusesFramesOutsideTheData)
{
    const QByteArray data = patternBytes(4000, 9);
    reader.setReadBufferSize(10);
    reader.setFileName(folder.write(QStringLiteral("source.wav"), waveFile({}, data)));
    reader.SeekAbsolute(500);
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 10) == data.mid(2000, 40));
    reader.SeekRelative(-20);
    EXPECT_EQ(reader.BufferStartPosition(), 2040 - 80);
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 10) == data.mid(1960, 40));
    EXPECT_EQ(raisedBy([&] { reader.SeekRelative(-501); }).number(), 29678);
    EXPECT_EQ(raisedBy([&] { reader.SeekRelative(1000); }).number(), 29678);
    reader.SeekRelative(1000 - 500);
    EXPECT_EQ(reader.BufferStartPosition(), 4000);

    cWavReader fresh; // the end is accepted
    fresh.setReadBufferSize(100);
    fresh.setFileName(folder.path("source.wav"));
    fresh.SeekAbsolute(fresh.AudioLength());
    EXPECT_EQ(fresh.BufferStartPosition(), 4000);
    EXPECT_FALSE(fresh.Read());
    EXPECT_EQ(fresh.ReadSize(), 0);
    for (const std::int32_t frame : {fresh.AudioLength() + 1, -1, 0x7FFFFFFF})
        EXPECT_EQ(raisedBy([&] { fresh.SeekAbsolute(frame); }).number(), 29678) << frame;
    EXPECT_EQ(fresh.BufferStartPosition(), 4000);
}

TEST_F(WavReaderFile, ReadSizeRulesAndReadingWithoutAFile)
{
    EXPECT_EQ(reader.ReadBufferSize(), 32768);
    expectError(raisedBy([&] { reader.Read(); }), 29676, "No Wave File Open");
    reader.setReadBufferSize(1152);
    reader.setFileName(folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(400, 10))));
    expectError(raisedBy([&] { reader.setReadBufferSize(10); }), 29679,
                "Cannot change buffer size whilst a file is open.");
    EXPECT_EQ(reader.ReadBufferSize(), 1152);
    reader.CloseFile();
    reader.setReadBufferSize(10);
    EXPECT_EQ(reader.ReadBufferSize(), 10);
    reader.setReadBufferSize(0);
    EXPECT_EQ(raisedBy([&] { reader.setFileName(folder.path("source.wav")); }).number(), 29677);
    EXPECT_FALSE(reader.isOpen());
}

TEST_F(WavReaderFile, ClosingOrAnEmptyNameKeepsTheNameAndReleasesTheBuffer)
{
    const QString path = folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(400, 11)));
    reader.setFileName(path);
    EXPECT_NE(reader.ReadBufferPtr(), nullptr);
    reader.CloseFile();
    EXPECT_EQ(reader.ReadBufferPtr(), nullptr);
    EXPECT_EQ(reader.AudioLength(), 0);
    EXPECT_EQ(reader.fileName(), path);
    reader.setFileName(path);
    EXPECT_FALSE(reader.OpenFile(QString()));
    EXPECT_FALSE(reader.isOpen());
    reader.setFileName(path);
    reader.setFileName(QString()); // closes and raises nothing
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.fileName(), path);
}

TEST_F(WavReaderFile, FileThatShrinksWhileOpenRaisesAReadErrorInsteadOfStaleSound)
{
    const QString path = folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(40000, 5)));
    reader.setReadBufferSize(1024);
    reader.setFileName(path);
    EXPECT_TRUE(reader.Read());
    ASSERT_TRUE(QFile::resize(path, 44 + 6000));
    expectError(raisedBy([&] { reader.Read(); }), 29675, "Error reading format");
}
