// Byte layouts of the malformed files and the readers' verdicts (see hostile_files.h).
#include "hostile_files.h"

#include "common/app_error.h"
#include "join/join_engine.h"
#include "mp3/wav_reader.h"
#include "platform/audio/virtual/sample_source.h"

#include <QDirIterator>
#include "../support/tools.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <vector>

namespace {

QString refusalText(const AppError &error)
{
    return QStringLiteral("%1 %2").arg(error.number()).arg(error.text());
}

} // namespace

QByteArray sampleBytes(int count)
{
    QByteArray out(count, '\0');
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<char>(1 + (i * 7 + i / 5) % 255); // never 0: silence stands out
    return out;
}

QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        // FIFOs and other special files are listed by name only: reading would block.
        if (!it.fileInfo().isFile() || !file.open(QIODevice::ReadOnly)) {
            files.insert(path, "<special>");
            continue;
        }
        files.insert(path, file.readAll());
    }
    return files;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

Verdict mp3SourceVerdict(const QString &path)
{
    Verdict verdict;
    cWavReader reader;
    reader.setReadBufferSize(64);
    try {
        reader.OpenFile(path);
        for (bool more = true; more;) {
            const std::int32_t before = reader.BufferStartPosition();
            more = reader.Read();
            // The final call reads nothing when the data ended with a full block.
            verdict.data.append(reinterpret_cast<const char *>(reader.ReadBufferPtr()),
                                reader.BufferStartPosition() - before);
        }
        verdict.accepted = true;
    } catch (const AppError &error) {
        verdict.refusal = refusalText(error);
        EXPECT_FALSE(reader.isOpen()) << "a refused source stays closed";
    }
    return verdict;
}

Verdict joinHeaderVerdict(const QString &path)
{
    Verdict verdict;
    JoinFileInfo record;
    record.fileName = path;
    try {
        ReadWaveHeader(record);
    } catch (const AppError &error) {
        verdict.refusal = error.text();
        EXPECT_EQ(record.dataSize, 0) << "a refused file leaves the record as it was";
        return verdict;
    }
    verdict.accepted = true;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.seek(record.dataOffset))
        verdict.data = file.read(record.copyBytes());
    EXPECT_EQ(verdict.data.size(), record.copyBytes()) << "the record points inside the file";
    return verdict;
}

Verdict virtualInputVerdict(const QString &path)
{
    Verdict verdict;
    QString error;
    auto source = valueOr(makeWavFileSource(path, WaveFormat::pcm(44100, 2, 16)), error);
    if (!source) {
        verdict.refusal = error;
        return verdict;
    }
    verdict.accepted = true;
    const qint64 fileBytes = QFileInfo(path).size();
    std::vector<std::int16_t> block(5120);
    for (qint64 captured = 0; captured <= fileBytes; captured += 10240) {
        source->fill(block);
        verdict.data.append(reinterpret_cast<const char *>(block.data()), 10240);
    }
    while (verdict.data.endsWith(QByteArray(2, '\0')))
        verdict.data.chop(2);
    return verdict;
}
