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

TEST(JoinCommand, JoinsTheFilesInTheGivenOrderAndSaysWhereItSavedThem)
{
    TestFolder folder;
    const QByteArray a = patternBytes(4000, 1);
    const QByteArray b = patternBytes(2000, 2);
    const QByteArray c = patternBytes(400, 3);
    const QString aFile = folder.write("a.wav", canonicalWave({2, 44100, 16}, a));
    const QString bFile = folder.write("b.wav", recorderWave({2, 44100, 16}, b));
    const QString cFile = folder.write("c.wav", canonicalWave({2, 44100, 16}, c));
    const QString out = folder.path("out.wav");

    const ToolResult result = sonoriel({out, bFile, aFile, cFile});

    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Fichier enregistré:\n " + out)) << result.err.toStdString();
    const QByteArray joined = readFileBytes(out);
    EXPECT_TRUE(joined.mid(44) == b + a + c);
    EXPECT_NEAR(soxInfo(out).seconds, 1600.0 / 44100.0, 1e-4);
}

TEST(JoinCommand, RefusalsExitWithTheirCodeAndMessageAndLeaveTheOutputAsItWas)
{
    TestFolder folder;
    const QString a = folder.write("a.wav", canonicalWave({2, 44100, 16}, patternBytes(400, 4)));
    const QString b = folder.write("b.wav", canonicalWave({2, 22050, 16}, patternBytes(400, 5)));
    const QString notes = folder.write("notes.txt", "quelques mots, pas de son");
    const QString cut = folder.write("cut.wav", canonicalWave({2, 44100, 16}, patternBytes(4000, 9)).left(1000));
    const QString out = folder.path("out.wav");
    const QByteArray earlier = canonicalWave({1, 8000, 8}, patternBytes(10, 10));
    const struct { const char *what; QStringList inputs; int exitCode; QString err; bool exactErr, outputExists; } cases[] = {
        {"formats differ", {a, b}, 1, "Message d'erreur:\n" + a + " and " + b + "\nkhz Non compatible\n", true, false},
        {"not a wave file", {a, notes}, 1, notes + " n'est pas un fichier Wave", false, false},
        {"truncated file", {a, cut}, 1, "tronqué", false, true},
        {"one input", {a}, 2, "usage: sonoriel join", false, false},
        {"no input", {}, 2, "", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.outputExists)
            folder.write("out.wav", earlier);

        const ToolResult result = sonoriel(QStringList{out} + c.inputs);

        EXPECT_EQ(result.exitCode, c.exitCode);
        if (c.exactErr) {
            EXPECT_EQ(result.err, c.err);
        } else {
            EXPECT_TRUE(result.err.contains(c.err)) << result.err.toStdString();
        }
        EXPECT_EQ(readFileBytes(out), c.outputExists ? earlier : QByteArray());
        EXPECT_EQ(QFile::exists(out), c.outputExists);
        QFile::remove(out);
    }
    EXPECT_EQ(sonoriel({}).exitCode, 2);
}

TEST(JoinCommand, JoinsEightAndSixteenBitPcmThatFfmpegWritesInTheExtensibleLayout)
{
    TestFolder folder;
    // Above 48 kHz, or with a speaker layout other than the plain one, ffmpeg writes
    // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
    const struct { const char *codec, *layout; } kinds[] = {{"pcm_s16le", "stereo"}, {"pcm_u8", "downmix"}};
    for (const auto &kind : kinds) {
        SCOPED_TRACE(kind.codec);
        QStringList inputs;
        for (const char *tone : {"440", "660"}) {
            inputs << folder.path(QStringLiteral("%1_%2.wav").arg(kind.codec, tone));
            runOrFail("ffmpeg", {"-y", "-f", "lavfi", "-i", QStringLiteral("sine=frequency=%1:sample_rate=96000:duration=0.3").arg(tone),
                                 "-af", QStringLiteral("aformat=channel_layouts=%1").arg(kind.layout), "-c:a", kind.codec,
                                 inputs.last()});
            ASSERT_EQ(field(readFileBytes(inputs.last()), 20, 2), 0xFFFEu);
        }
        const QString out = folder.path(QStringLiteral("%1_joined.wav").arg(kind.codec));

        const ToolResult result = sonoriel(QStringList{out} + inputs);

        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(field(readFileBytes(out), 20, 2), 1u);
        EXPECT_EQ(soxInfo(out).rateHz, 96000);
        EXPECT_TRUE(soxRawSamples(out) == soxRawSamples(inputs[0]) + soxRawSamples(inputs[1]));
    }
    // The same layout around A-law data is refused.
    QByteArray alaw = readFileBytes(folder.path("pcm_u8_440.wav"));
    alaw[44] = 6;
    const QString alawFile = folder.write("alaw.wav", alaw);
    const ToolResult refused = sonoriel({folder.path("out.wav"), alawFile, alawFile});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("seuls les fichiers PCM 8 ou 16 bits peuvent être joints")) << refused.err.toStdString();
}

TEST(JoinCommand, FilesWrittenToAPipeOrCutOffBeforeTheirFirstHeaderUpdateJoinWhole)
{
    TestFolder folder;
    const QString raw = folder.path("tone.raw");
    runOrFail("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", "-t", "raw", raw, "synth", "0.3",
                      "sine", "440"});
    const QByteArray sound = readFileBytes(raw);
    // Written to a pipe, the data sizes stay ffmpeg's 0xFFFFFFFF and sox's 0x7FFFF000.
    const QString ffmpeg = folder.path("ffmpeg.wav"), sox = folder.path("sox.wav");
    ASSERT_EQ(runShell(QStringLiteral("ffmpeg -v error -f s16le -ar 44100 -ac 2 -i '%1' -f wav - | cat > '%2'").arg(raw, ffmpeg)).exitCode, 0);
    ASSERT_EQ(runShell(QStringLiteral("cat '%1' | sox -q -t raw -r 44100 -c 2 -b 16 -e signed-integer - -t wav - | cat > '%2'")
                           .arg(raw, sox)).exitCode, 0);
    for (const auto &[file, placeholder] : {std::pair{ffmpeg, 0xFFFFFFFFu}, {sox, 0x7FFFF000u}}) {
        const QByteArray bytes = readFileBytes(file);
        ASSERT_EQ(field(bytes, int(bytes.indexOf("data")) + 4, 4), placeholder);
    }
    // The recorder's header before its first update: 0 data bytes, the sound (and a partial
    // frame) behind it.
    const QString crashed = folder.write("crashed.wav", recorderWave({}, {}) + sound + "xyz");
    const QString empty = folder.write("empty.wav", recorderWave({}, {}) + chunk("LIST", "INFOISFT\4\0\0\0abcd"));
    const QString out = folder.path("out.wav");

    const ToolResult result = sonoriel({out, ffmpeg, crashed, empty, sox});

    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(readFileBytes(out).mid(44) == sound + sound + sound);
    EXPECT_NEAR(soxInfo(out).seconds, 0.9, 1e-4);

    // 0 data bytes followed by a chunk and then bytes that are none: where is the sound?
    const QString unclear = folder.write("unclear.wav", recorderWave({}, {}) + chunk("LIST", "INFO") + sound);
    const ToolResult refused = sonoriel({folder.path("refused.wav"), ffmpeg, unclear});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(unclear + " : le bloc « data » annonce 0 octet")) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(folder.path("refused.wav")));
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
