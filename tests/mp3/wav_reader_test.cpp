// cWavReader: how Read hands out the data block by block, and files that are not what
// they claim (refused with the reader's error, or, for a cut-off data chunk, read as far as it
// goes, never past their end).
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

} // namespace

TEST(WavReader, ReadHandsOutTheDataInBlocksAndTheLastReadIsFalse)
{
    TestFolder folder;
    const QByteArray data = patternBytes(10000, 1), cut = patternBytes(10000, 4), listed = patternBytes(1000, 7);
    const QByteArray placeholder = riffWave(formatChunk({}) + chunk("data", {}, true, 0xFFFFFFFF));
    const struct {
        const char *name;
        QByteArray file, data;
        int bufferFrames;
        std::vector<int> reads; // ReadSize of each Read; all but the last return true
    } cases[] = {
        {"two full blocks and 452 frames", waveFile({}, data), data, 1024, {1024, 1024, 452}},
        {"exactly two blocks", waveFile({}, data.left(8192)), data.left(8192), 1024, {1024, 1024}},
        {"empty data chunk", waveFile({}, {}), {}, 32768, {0}},
        {"LIST and fact chunks around fmt",
         riffWave(chunk("LIST", QByteArray("INFOISFT\x05\0\0\0abcde", 17)) + formatChunk({}) +
                  chunk("fact", QByteArray(4, '\1')) + chunk("data", listed)),
         listed, 32768, {250}},
        {"data chunk cut short", waveFile({}, cut).left(44 + 3000), cut.left(3000), 1024, {750}},
        // Whole frames up to the end of the file (and its closing ID3v1 tag).
        {"size left at 0 before the sound", waveFile({}, {}) + cut.left(1002), cut.left(1000), 1024, {250}},
        {"placeholder size from a pipe", placeholder + data + "TAG" + QByteArray(125, 'x'), data, 1024, {1024, 1024, 452}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        cWavReader reader;
        reader.setReadBufferSize(c.bufferFrames);
        reader.setFileName(folder.write(QStringLiteral("source.wav"), c.file));
        ASSERT_TRUE(reader.isOpen());
        EXPECT_EQ(reader.AudioLength(), c.data.size() / 4);
        int offset = 0;
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            EXPECT_EQ(reader.Read(), i + 1 < c.reads.size()) << "read " << i;
            EXPECT_EQ(reader.ReadSize(), c.reads[i]);
            EXPECT_TRUE(bufferBytes(reader, c.reads[i]) == c.data.mid(offset, c.reads[i] * 4)) << "read " << i;
            offset += c.reads[i] * 4;
        }
        EXPECT_FALSE(reader.Read());
    }

    // 9 GiB of sound after ffmpeg's placeholder size, sparse: it takes no room on the disk.
    const QString path = folder.write("long.wav", placeholder);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.resize(44 + (qint64(9) << 30)));
    cWavReader reader;
    reader.setFileName(path);
    EXPECT_EQ(reader.audioFrames(), (qint64(9) << 30) / 4);
    EXPECT_EQ(reader.AudioLength(), std::numeric_limits<std::int32_t>::max());
}

TEST(WavReader, OnlySixteenBitStereoPcmAtAnyRateIsAcceptedAndDamagedFilesAreRefused)
{
    TestFolder folder;
    const auto extensible = [](std::uint16_t subFormat) {
        QByteArray payload = formatFields(0xFFFE, 2, 44100, 4, 16);
        appendLe(payload, 22, 2);
        appendLe(payload, 16, 2);
        appendLe(payload, 3, 4);
        appendLe(payload, subFormat, 2);
        return riffWave(chunk("fmt ", payload + QByteArray::fromHex("000000001000800000aa00389b71")) +
                        chunk("data", patternBytes(400, 3)));
    };
    cWavReader reader;
    const QString good = folder.write("good.wav", waveFile({.rateHz = 12345}, patternBytes(400, 3)));
    reader.setFileName(good);
    EXPECT_EQ(reader.sampleRate(), 12345u);
    reader.setFileName(folder.write("extensible.wav", extensible(1)));
    EXPECT_EQ(reader.formatTag(), 0xFFFE);

    const QByteArray whole = waveFile({}, patternBytes(4000, 3));
    const struct {
        QByteArray bytes;
        int number;
        const char *format; // the reason names the format of a file that is no PCM
    } cases[] = {
        {waveFile({.formatTag = 0x55}, patternBytes(400, 3)), 29671, "0x0055"},
        {waveFile({.formatTag = 6}, patternBytes(400, 3)), 29671, "0x0006"},
        {extensible(3), 29671, "0xfffe"},
        {waveFile({.channels = 1}, patternBytes(400, 4)), 29671, nullptr},
        {waveFile({.bits = 8}, patternBytes(400, 4)), 29671, nullptr},
        {QByteArray(), 29673, nullptr},
        {QByteArray("hello, this is text and not sound\n"), 29673, nullptr},
        {QByteArray("RIFF\x04\0\0\0AVI ", 12), 29673, nullptr},
        {riffWave(chunk("data", patternBytes(400, 2))), 29674, nullptr}, // no fmt chunk
        {whole.left(30), 29671, nullptr},                                  // cut inside the format fields
        {whole.left(40), 29676, nullptr},                                  // cut inside the data chunk's header
        {riffWave(formatChunk({})), 29676, nullptr},                       // no data chunk
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes.left(24).toHex().toStdString());
        reader.setFileName(good);
        const QString path = folder.write("refused.wav", c.bytes);
        const AppError error = raisedBy([&] { reader.setFileName(path); });
        EXPECT_EQ(error.number(), c.number);
        if (c.number == 29671) {
            EXPECT_EQ(error.text(), "Only stereo 16 bit wave files supported.");
        }
        if (c.format) {
            EXPECT_EQ(error.reason(), path + " n'est pas en PCM (format " + c.format + ").");
        }
        EXPECT_FALSE(reader.isOpen());
        EXPECT_EQ(reader.ReadBufferPtr(), nullptr);
    }
    EXPECT_EQ(raisedBy([&] { reader.setFileName(folder.path("absent.wav")); }).number(), 29672);
}

TEST(WavReader, ReadsNothingWithoutAFileKeepsItsReadSizeWhileOpenAndSeeksWithinTheData)
{
    TestFolder folder;
    cWavReader reader;
    expectError(raisedBy([&] { reader.Read(); }), 29676, "No Wave File Open");
    reader.setFileName(folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(400, 9))));
    expectError(raisedBy([&] { reader.setReadBufferSize(20); }), 29679,
                "Cannot change buffer size whilst a file is open.");
    reader.CloseFile();
    reader.setReadBufferSize(10);
    const QByteArray data = patternBytes(4000, 9);
    reader.setFileName(folder.write(QStringLiteral("source.wav"), waveFile({}, data)));
    reader.SeekAbsolute(500);
    reader.SeekRelative(-20);
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 10) == data.mid(1920, 40));
    EXPECT_EQ(raisedBy([&] { reader.SeekRelative(-491); }).number(), 29678);
    EXPECT_EQ(raisedBy([&] { reader.SeekRelative(1000); }).number(), 29678);
    reader.setFileName(QString()); // closes, raises nothing and keeps the name
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.ReadBufferPtr(), nullptr);
    EXPECT_EQ(reader.fileName(), folder.path("source.wav"));
    reader.setReadBufferSize(0);
    EXPECT_EQ(raisedBy([&] { reader.setFileName(folder.path("source.wav")); }).number(), 29677);
}

TEST(WavReader, FileThatShrinksWhileOpenRaisesAReadErrorInsteadOfStaleSound)
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(40000, 5)));
    cWavReader reader;
    reader.setReadBufferSize(1024);
    reader.setFileName(path);
    EXPECT_TRUE(reader.Read());
    ASSERT_TRUE(QFile::resize(path, 44 + 6000));
    expectError(raisedBy([&] { reader.Read(); }), 29675, "Error reading format");
}

TEST(WavReader, AnRf64FileBeyondFourGibibytesIsReadToTheLastFrameItsDs64Gives)
{
    // 6 GiB of sound, sparse but for its last 4000 bytes, then a LIST chunk.
    TestFolder folder;
    const std::uint64_t dataBytes = std::uint64_t(6) << 30;
    const QByteArray header = rf64Wave(formatChunk({}) + chunk("data", {}, true, 0xFFFFFFFF),
                                       {dataBytes + 80, dataBytes, dataBytes / 4});
    const QByteArray last = patternBytes(4000, 12);
    const QString path = folder.write("long.wav", header);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.resize(header.size() + qint64(dataBytes) - last.size()) &&
                file.seek(file.size()) && file.write(last + chunk("LIST", "INFO")) > 0);
    file.close();

    cWavReader reader;
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
