// `sonoriel join OUT IN1 IN2 ...` as the user runs it: exit codes and the log on stderr.
#include "wave_files.h"

#include "../support/child_process.h"

#include <QFile>

#include <csignal>

static ToolResult sonoriel(const QStringList &arguments) { return runTool(SONORIEL_EXECUTABLE, QStringList{"join"} + arguments); }

TEST(JoinCommand, JoinsTheFilesInTheGivenOrderOrRefusesWithTheExitCodeAndMessageLeavingTheOutputAsItWas)
{
    TestFolder folder;
    const QByteArray a = patternBytes(4000, 1), b = patternBytes(2000, 2);
    const QString aFile = folder.write("a.wav", waveFile({2, 44100, 16}, a));
    const QString bFile = folder.write("b.wav", recorderWave({2, 44100, 16}, b));
    const QString out = folder.path("out.wav");
    const ToolResult joined = sonoriel({out, bFile, aFile});
    EXPECT_EQ(joined.exitCode, 0) << joined.err.toStdString();
    EXPECT_TRUE(joined.err.contains("Fichier enregistré:\n " + out)) << joined.err.toStdString();
    EXPECT_TRUE(readFileBytes(out).mid(44) == b + a);

    const QString other = folder.write("other.wav", waveFile({2, 22050, 16}, patternBytes(400, 5)));
    const QByteArray earlier = waveFile({1, 8000, 8}, patternBytes(10, 10));
    const struct { const char *what; QStringList inputs; int exitCode; QString err; } cases[] = {
        {"formats differ", {aFile, other}, 1, "Message d'erreur:\n" + aFile + " and " + other + "\nkhz Non compatible\n"},
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

TEST(JoinCommand, InterruptingAJoinRemovesItsPartialFileAndEndsAsTheSignalAsks)
{
    TestFolder folder;
    const qint64 dataBytes = qint64(768) << 20; // of silence, sparse on the disk
    QStringList inputs;
    for (const QString name : {"big0.wav", "big1.wav"}) {
        inputs << folder.write(name, riffWave(formatChunk({}) + chunk("data", {}, true, dataBytes), 36 + dataBytes));
        ASSERT_TRUE(QFile::resize(inputs.last(), 44 + dataBytes));
    }
    const QString out = folder.path("out.wav");
    const QString where = folder.QTemporaryDir::path();
    const QByteArray earlier = waveFile({}, patternBytes(400, 1));
    const auto writing = [&] { return folderEntries(where).join(' ').contains(".part"); };
    ChildProcess::Setup setup;
    setup.errorFile = folder.path("err.txt");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        folder.write("out.wav", earlier); // an older file of that name stays as it was
        ChildProcess join;
        ASSERT_TRUE(join.start(SONORIEL_EXECUTABLE, QStringList{"join", out} + inputs, setup));
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
