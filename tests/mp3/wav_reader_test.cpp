// cWavReader: how Read hands out the data block by block, and files that are not what they claim.
#include "mp3/wav_reader.h"

#include "mp3_fixtures.h"

#include <QFile>

static QByteArray bufferBytes(const cWavReader &reader, int frames)
{
    return QByteArray(reinterpret_cast<const char *>(reader.ReadBufferPtr()), frames * 4);
}

TEST(WavReader, ReadHandsOutTheDataInBlocksAndTheLastReadIsFalse)
{
    TestFolder folder;
    const QByteArray data = patternBytes(10000, 1), cut = patternBytes(10000, 4);
    const QByteArray placeholder = riffWave(formatChunk({}) + chunk("data", {}, true, 0xFFFFFFFF));
    // reads: ReadSize of each Read; all but the last return true.
    const struct { const char *name; QByteArray file, data; int bufferFrames; std::vector<int> reads; } cases[] = {
        {"two full blocks and 452 frames", waveFile({}, data), data, 1024, {1024, 1024, 452}},
        {"empty data chunk", waveFile({}, {}), {}, 32768, {0}},
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

}

TEST(WavReader, OnlySixteenBitStereoPcmAtAnyRateIsAcceptedAndDamagedFilesAreRefused)
{
    TestFolder folder;
    cWavReader reader;
    const QString good = folder.write("good.wav", waveFile({.rateHz = 12345}, patternBytes(400, 3)));
    reader.setFileName(good);
    EXPECT_EQ(reader.sampleRate(), 12345u);

    const QByteArray whole = waveFile({}, patternBytes(4000, 3));
    // format: the reason names the format of a file that is no PCM.
    const struct { QByteArray bytes; int number; const char *format; } cases[] = {
        {waveFile({.formatTag = 0x55}, patternBytes(400, 3)), 29671, "0x0055"},
        {waveFile({.channels = 1}, patternBytes(400, 4)), 29671, nullptr},
        {QByteArray("hello, this is text and not sound\n"), 29673, nullptr},
        {riffWave(chunk("data", patternBytes(400, 2))), 29674, nullptr}, // no fmt chunk
        {whole.left(40), 29676, nullptr},                                  // cut inside the data chunk's header
        {riffWave(formatChunk({})), 29676, nullptr},                       // no data chunk
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes.left(24).toHex().toStdString());
        reader.setFileName(good);
        const QString path = folder.write("refused.wav", c.bytes);
        const AppError error = raisedBy([&] { reader.setFileName(path); });
        EXPECT_EQ(error.number(), c.number);
        if (c.format) {
            EXPECT_EQ(error.reason(), path + " n'est pas en PCM (format " + c.format + ").");
        }
        EXPECT_FALSE(reader.isOpen());
        EXPECT_EQ(reader.ReadBufferPtr(), nullptr);
    }
    EXPECT_EQ(raisedBy([&] { reader.setFileName(folder.path("absent.wav")); }).number(), 29672);
}

TEST(WavReader, ReadsNothingWithoutAFileAndSeeksWithinTheData)
{
    TestFolder folder;
    cWavReader reader;
    EXPECT_EQ(raisedBy([&] { reader.Read(); }).text(), "No Wave File Open");
    reader.setReadBufferSize(10);
    const QByteArray data = patternBytes(4000, 9);
    reader.setFileName(folder.write(QStringLiteral("source.wav"), waveFile({}, data)));
    reader.SeekAbsolute(500);
    reader.SeekRelative(-20);
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 10) == data.mid(1920, 40));
    EXPECT_EQ(raisedBy([&] { reader.SeekRelative(-491); }).number(), 29678);
    EXPECT_EQ(raisedBy([&] { reader.SeekRelative(1000); }).number(), 29678);
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
    const AppError error = raisedBy([&] { reader.Read(); });
    EXPECT_EQ(error.number(), 29675);
    EXPECT_EQ(error.text(), "Error reading format");
}

TEST(WavReader, AnRf64FileBeyondFourGibibytesEndsWhereItsDs64SaysNotAtTheFilesEnd)
{
    // 6 GiB of sound, sparse but for its last 4000 bytes, then bytes that are no chunk.
    TestFolder folder;
    const std::uint64_t dataBytes = std::uint64_t(6) << 30;
    const QByteArray header = rf64Wave(formatChunk({}) + chunk("data", {}, true, 0xFFFFFFFF),
                                       {dataBytes + 80, dataBytes, dataBytes / 4});
    const QByteArray last = patternBytes(4000, 12);
    const QString path = folder.write("long.wav", header);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.resize(header.size() + qint64(dataBytes) - last.size()) &&
                file.seek(file.size()) && file.write(last + QByteArray(1000, '\x01')) > 0);
    file.close();

    cWavReader reader;
    reader.setReadBufferSize(1000);
    reader.setFileName(path);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.AudioLength(), qint64(dataBytes / 4));
    reader.SeekAbsolute(reader.AudioLength() - 1000);
    EXPECT_FALSE(reader.Read());
    EXPECT_TRUE(bufferBytes(reader, 1000) == last);
}
