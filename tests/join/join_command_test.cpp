// `sonoriel join OUT IN1 IN2 ...`, run as the user runs it: exit codes, the log on stderr and
// the file it writes.
#include "wave_files.h"

#include "../support/tools.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

ToolResult sonoriel(const QStringList &arguments)
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"join"} + arguments);
}

} // namespace

TEST(JoinCommand, JoinsTheFilesInTheGivenOrderAndSaysWhereItSavedThem)
{
    TestFolder folder;
    const QByteArray a = patternBytes(4000, 1);
    const QByteArray b = patternBytes(2000, 2);
    const QByteArray c = patternBytes(400, 3);
    ASSERT_TRUE(writeBytes(folder.path("a.wav"), canonicalWave({2, 44100, 16}, a)));
    ASSERT_TRUE(writeBytes(folder.path("b.wav"), recorderWave({2, 44100, 16}, b)));
    ASSERT_TRUE(writeBytes(folder.path("c.wav"), canonicalWave({2, 44100, 16}, c)));
    const QString out = folder.path("out.wav");

    const ToolResult result =
        sonoriel({out, folder.path("b.wav"), folder.path("a.wav"), folder.path("c.wav")});

    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Fichier enregistré:\n " + out)) << result.err.toStdString();
    const QByteArray joined = readFileBytes(out);
    EXPECT_EQ(joined.size(), 44 + 6400);
    EXPECT_TRUE(joined.mid(44) == b + a + c);
    EXPECT_NEAR(soxInfo(out).seconds, 1600.0 / 44100.0, 1e-4);
}

TEST(JoinCommand, FormatMismatchPrintsTheThreeLinesExitsOneAndWritesNothing)
{
    TestFolder folder;
    ASSERT_TRUE(writeBytes(folder.path("a.wav"), canonicalWave({2, 44100, 16}, patternBytes(400, 4))));
    ASSERT_TRUE(writeBytes(folder.path("b.wav"), canonicalWave({2, 22050, 16}, patternBytes(400, 5))));
    const QString out = folder.path("out.wav");

    const ToolResult result = sonoriel({out, folder.path("a.wav"), folder.path("b.wav")});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Message d'erreur:\n" + folder.path("a.wav") + " and " +
                              folder.path("b.wav") + "\nkhz Non compatible\n");
    EXPECT_FALSE(QFile::exists(out));
}

TEST(JoinCommand, FewerThanTwoInputsIsAUsageError)
{
    TestFolder folder;
    ASSERT_TRUE(writeBytes(folder.path("a.wav"), canonicalWave({2, 44100, 16}, patternBytes(400, 6))));
    const QString out = folder.path("out.wav");

    const ToolResult one = sonoriel({out, folder.path("a.wav")});
    EXPECT_EQ(one.exitCode, 2);
    EXPECT_TRUE(one.err.contains("usage: sonoriel join")) << one.err.toStdString();
    EXPECT_EQ(sonoriel({out}).exitCode, 2);
    EXPECT_EQ(sonoriel({}).exitCode, 2);
    EXPECT_FALSE(QFile::exists(out));
}

TEST(JoinCommand, FileThatIsNotWaveExitsOneWithItsMessageAndWritesNothing)
{
    TestFolder folder;
    ASSERT_TRUE(writeBytes(folder.path("a.wav"), canonicalWave({2, 44100, 16}, patternBytes(400, 7))));
    ASSERT_TRUE(writeBytes(folder.path("notes.txt"), "quelques mots, pas de son"));
    const QString out = folder.path("out.wav");

    const ToolResult result = sonoriel({out, folder.path("a.wav"), folder.path("notes.txt")});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(folder.path("notes.txt") + " n'est pas un fichier Wave"))
        << result.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

TEST(JoinCommand, TruncatedFileExitsOneAndLeavesAnExistingOutputAlone)
{
    TestFolder folder;
    ASSERT_TRUE(writeBytes(folder.path("a.wav"), canonicalWave({2, 44100, 16}, patternBytes(400, 8))));
    ASSERT_TRUE(writeBytes(folder.path("b.wav"),
                           canonicalWave({2, 44100, 16}, patternBytes(4000, 9)).left(1000)));
    const QString out = folder.path("out.wav");
    const QByteArray earlier = canonicalWave({1, 8000, 8}, patternBytes(10, 10));
    ASSERT_TRUE(writeBytes(out, earlier));

    const ToolResult result = sonoriel({out, folder.path("a.wav"), folder.path("b.wav")});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("tronqué")) << result.err.toStdString();
    EXPECT_EQ(readFileBytes(out), earlier);
}
