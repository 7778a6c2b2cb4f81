// cWavReader on files that are not what they claim: each one is refused with the reader's
// error (or, for a cut-off data chunk, read as far as it goes), never read past its end.
#include "mp3/wav_reader.h"

#include "mp3_fixtures.h"

#include "common/app_error.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

int openError(const QString &path)
{
    cWavReader reader;
    try {
        reader.setFileName(path);
    } catch (const AppError &error) {
        EXPECT_FALSE(reader.isOpen());
        return error.number();
    }
    return 0;
}

} // namespace

TEST(WavReaderDamaged, MissingFileCannotBeOpened)
{
    TestFolder folder;
    EXPECT_EQ(openError(folder.path("absent.wav")), 29672);
}

TEST(WavReaderDamaged, FilesWithoutARiffWaveFormAreNotWaveFiles)
{
    TestFolder folder;
    const QByteArray avi = QByteArray("RIFF\x04\0\0\0AVI ", 12);
    const QList<QByteArray> contents = {
        QByteArray(), QByteArray("hello, this is text and not sound\n"), patternBytes(5000, 1), avi,
        QByteArray("RIFF", 4)};
    for (const QByteArray &bytes : contents) {
        const QString path = folder.path("damaged.wav");
        ASSERT_TRUE(writeBytes(path, bytes));
        EXPECT_EQ(openError(path), 29673) << bytes.left(16).toHex().toStdString();
    }
}

TEST(WavReaderDamaged, WaveFormWithoutFormatChunkIsRefused)
{
    TestFolder folder;
    ASSERT_TRUE(writeBytes(folder.path("a.wav"), riffWave(chunk("data", patternBytes(400, 2)))));
    EXPECT_EQ(openError(folder.path("a.wav")), 29674);
}

TEST(WavReaderDamaged, FileCutInsideTheHeaderIsRefusedByTheReader)
{
    TestFolder folder;
    const QByteArray whole = waveFile({}, patternBytes(4000, 3));
    const QString path = folder.path("cut.wav");
    ASSERT_TRUE(writeBytes(path, whole.left(30))); // inside the format fields
    EXPECT_EQ(openError(path), 29671);
    ASSERT_TRUE(writeBytes(path, whole.left(40))); // inside the data chunk's header
    EXPECT_EQ(openError(path), 29676);
    ASSERT_TRUE(writeBytes(path, whole.left(16))); // inside the format chunk's own header
    EXPECT_EQ(openError(path), 29674);
}

TEST(WavReaderDamaged, DataChunkCutShortIsReadOnlyAsFarAsTheFileGoes)
{
    TestFolder folder;
    const QByteArray data = patternBytes(10000, 4);
    const QString path = folder.path("cut.wav");
    ASSERT_TRUE(writeBytes(path, waveFile({}, data).left(44 + 3000)));
    cWavReader reader;
    reader.setReadBufferSize(1024);
    reader.setFileName(path);
    EXPECT_EQ(reader.AudioLength(), 750);
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 750);
    EXPECT_TRUE(QByteArray(reinterpret_cast<const char *>(reader.ReadBufferPtr()), 3000) == data.left(3000));
}

TEST(WavReaderDamaged, FileThatShrinksWhileOpenRaisesAReadErrorInsteadOfStaleSound)
{
    TestFolder folder;
    const QString path = folder.path("shrinking.wav");
    ASSERT_TRUE(writeBytes(path, waveFile({}, patternBytes(40000, 5))));
    cWavReader reader;
    reader.setReadBufferSize(1024);
    reader.setFileName(path);
    EXPECT_TRUE(reader.Read());
    ASSERT_TRUE(QFile::resize(path, 44 + 6000));
    try {
        reader.Read();
        ADD_FAILURE() << "a short read was handed out as a full block";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 29675);
        EXPECT_EQ(error.text(), "Error reading format");
    }
}
