// `sonoriel join OUT IN1 IN2 ...`, run as the user runs it: exit codes, the log on stderr and
// the file it writes.
#include "wave_files.h"

#include "../support/child_process.h"
#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

ToolResult sonoriel(const QStringList &arguments)
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"join"} + arguments);
}

// A canonical 16-bit stereo WAV file whose data is dataBytes of silence, sparse (it takes no
// room on the disk), with marks written at offsets of its data.
void writeSparseWave(const QString &path, qint64 dataBytes, const std::map<qint64, QByteArray> &marks = {})
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(riffWave(formatChunk({}) + chunk("data", {}, true, dataBytes), 36 + dataBytes));
    ASSERT_TRUE(file.resize(44 + dataBytes));
    for (const auto &[at, mark] : marks)
        ASSERT_TRUE(file.seek(44 + at) && file.write(mark) == mark.size());
}

// Reads a pipe that `writer` fills until the writer has closed it and ended, and hands it to
// `take` in whole blocks of 1 MiB (the last one shorter) with the offset of each. Opened
// without waiting, so that a writer that fails before it opens the pipe blocks nothing.
void readPipe(const QString &path, ChildProcess &writer, const std::function<void(qint64, const QByteArray &)> &take)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ::fcntl(fd, F_SETPIPE_SZ, 1 << 20); // fewer, larger reads where the system allows
    QByteArray block;
    std::vector<char> bytes(1 << 20);
    qint64 offset = 0;
    for (;;) {
        const ssize_t n = ::read(fd, bytes.data(), bytes.size());
        if (n > 0)
            block.append(bytes.data(), n);
        const bool ended = n == 0 && writer.hasEnded();
        while (block.size() >= (1 << 20) || (ended && !block.isEmpty())) {
            const QByteArray whole = block.left(1 << 20);
            take(offset, whole);
            offset += whole.size();
            block.remove(0, whole.size());
        }
        if (ended)
            break;
        if (n == 0) {
            ::usleep(1000); // no writer yet, or it is ending
        } else if (n < 0) {
            pollfd ready{fd, POLLIN, 0};
            ::poll(&ready, 1, 100);
        }
    }
    ::close(fd);
}

} // namespace

TEST(JoinCommand, JoinsTheFilesInTheGivenOrderOrRefusesWithTheExitCodeAndMessageLeavingTheOutputAsItWas)
{
    TestFolder folder;
    const QByteArray a = patternBytes(4000, 1), b = patternBytes(2000, 2);
    const QString aFile = folder.write("a.wav", canonicalWave({2, 44100, 16}, a));
    const QString bFile = folder.write("b.wav", recorderWave({2, 44100, 16}, b));
    const QString out = folder.path("out.wav");
    const ToolResult joined = sonoriel({out, bFile, aFile});
    EXPECT_EQ(joined.exitCode, 0) << joined.err.toStdString();
    EXPECT_TRUE(joined.err.contains("Fichier enregistré:\n " + out)) << joined.err.toStdString();
    EXPECT_TRUE(readFileBytes(out).mid(44) == b + a);
    EXPECT_NEAR(soxInfo(out).seconds, 1500.0 / 44100.0, 1e-4);

    const QString other = folder.write("other.wav", canonicalWave({2, 22050, 16}, patternBytes(400, 5)));
    const QString notes = folder.write("notes.txt", "quelques mots, pas de son");
    const QString cut = folder.write("cut.wav", canonicalWave({2, 44100, 16}, patternBytes(4000, 9)).left(1000));
    const QByteArray earlier = canonicalWave({1, 8000, 8}, patternBytes(10, 10));
    const struct { const char *what; QStringList inputs; int exitCode; QString err; } cases[] = {
        {"formats differ", {aFile, other}, 1, "Message d'erreur:\n" + aFile + " and " + other + "\nkhz Non compatible\n"},
        {"not a wave file", {aFile, notes}, 1, notes + " n'est pas un fichier Wave"},
        {"truncated file", {aFile, cut}, 1, "tronqué"},
        {"one input", {aFile}, 2, "usage: sonoriel join"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        folder.write("out.wav", earlier);
        const ToolResult result = sonoriel(QStringList{out} + c.inputs);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_TRUE(result.err.contains(c.err)) << result.err.toStdString();
        EXPECT_TRUE(readFileBytes(out) == earlier);
    }
    EXPECT_EQ(sonoriel({}).exitCode, 2);
}

TEST(JoinCommand, JoinsMoreThanTwoGibibytesAsOneWaveFile)
{
    TestFolder folder;
    // Two sources of just over 1 GiB of data each, sparse, with marks at both ends of their
    // data.
    constexpr qint64 kDataBytes = qint64(1025) << 20;
    std::map<qint64, QByteArray> marks; // offset in the joined file -> the bytes expected there
    QStringList inputs;
    for (qint64 i = 0; i < 2; ++i) {
        const std::map<qint64, QByteArray> ends = {{0, patternBytes(4, int(2 * i))}, {kDataBytes - 4, patternBytes(4, int(2 * i + 1))}};
        inputs << folder.path(QStringLiteral("big%1.wav").arg(i));
        writeSparseWave(inputs.last(), kDataBytes, ends);
        for (const auto &[at, mark] : ends)
            marks[44 + i * kDataBytes + at] = mark;
    }
    // The joined file goes to a pipe that this test reads, so that 2 GiB need no disk.
    const QString out = folder.path("out.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(out).constData(), 0600), 0);
    ChildProcess join;
    ChildProcess::Setup setup;
    setup.errorFile = folder.path("err.txt");
    ASSERT_TRUE(join.start(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"join", out} + inputs, setup)) << join.errorText().toStdString();

    QByteArray header;
    qint64 total = 0;
    readPipe(out, join, [&](qint64 offset, const QByteArray &block) {
        if (offset == 0)
            header = block.left(44);
        for (auto it = marks.lower_bound(offset); it != marks.end() && it->first < offset + block.size(); ++it)
            EXPECT_EQ(block.mid(it->first - offset, 4), it->second) << "at " << it->first;
        total += block.size();
    });
    ASSERT_TRUE(join.waitForEnd(std::chrono::minutes(2)));
    EXPECT_EQ(join.exitCode(), 0) << readFileBytes(setup.errorFile).toStdString();
    EXPECT_EQ(total, 44 + 2 * kDataBytes);
    ASSERT_EQ(header.size(), 44);
    EXPECT_EQ(field(header, 40, 4), quint32(2 * kDataBytes));
    EXPECT_EQ(field(header, 4, 4), quint32(2 * kDataBytes + 36));
}

TEST(JoinCommand, InterruptingAJoinRemovesItsPartialFileAndEndsAsTheSignalAsks)
{
    TestFolder folder;
    const QStringList inputs = {folder.path("big0.wav"), folder.path("big1.wav")};
    for (const QString &input : inputs)
        writeSparseWave(input, qint64(768) << 20);
    const QString out = folder.path("out.wav");
    const QString where = folder.QTemporaryDir::path();
    const QByteArray earlier = canonicalWave({}, patternBytes(400, 1));
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        folder.write("out.wav", earlier); // an older file of that name stays as it was
        ChildProcess join;
        ChildProcess::Setup setup;
        setup.errorFile = folder.path("err.txt");
        ASSERT_TRUE(join.start(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"join", out} + inputs, setup));
        const auto writing = [&] { return folderEntries(where).join(' ').contains(".part"); };
        ASSERT_TRUE(waitUntil([&] { return writing() || join.hasEnded(); }, std::chrono::seconds(60)) && writing());

        EXPECT_TRUE(join.sendSignal(signal));
        ASSERT_TRUE(join.waitForEnd(std::chrono::seconds(60)));

        EXPECT_EQ(join.endSignal(), signal);
        EXPECT_EQ(readFileBytes(setup.errorFile).toStdString(),
                  ("Jonction interrompue : " + out + " n'a pas été enregistré.\n").toStdString());
        EXPECT_EQ(folderEntries(where).join(' ').toStdString(), "big0.wav big1.wav err.txt out.wav");
        EXPECT_TRUE(readFileBytes(out) == earlier);
    }
}
