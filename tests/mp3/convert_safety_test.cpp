// `sonoriel convert` never destroys a file: not the source under another name, not on a full disk.
#include "mp3_fixtures.h"

#include "../support/small_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

ToolResult convert(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("SONORIEL_LAME_SHIM"); // the program finds the shim beside itself
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"convert"} + arguments, environment);
}

} // namespace

TEST(ConvertSafety, TargetThatIsTheSourceUnderAnotherNameIsRefusedAndTheSourceKept)
{
    TestFolder folder;
    const QString source = folder.path("in.wav");
    ASSERT_TRUE(writeToneFile(source, 44100, 1.0));
    const QByteArray before = readFileBytes(source);
    const QString hardLink = folder.path("hard.mp3");
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QString symlink = folder.path("sym.mp3");
    ASSERT_TRUE(QFile::link(source, symlink));

    for (const QString &target : {hardLink, symlink}) {
        SCOPED_TRACE(target.toStdString());
        const ToolResult run = convert({source, target});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("Le fichier Mp3 ne peut pas être le fichier source")) << run.err.toStdString();
        EXPECT_TRUE(readFileBytes(source) == before);
        EXPECT_TRUE(readFileBytes(hardLink) == before);
        EXPECT_TRUE(QFileInfo(symlink).isSymLink());
    }
}

TEST(ConvertSafety, FullDiskLeavesNoPartialFileAndAnOlderFileOfThatNameAsItWas)
{
    TestFolder folder;
    const QString source = folder.path("long.wav");
    ASSERT_TRUE(writeToneFile(source, 44100, 8.0)); // about 320 KB at 320 kbit/s
    SmallDisk disk(folder.path("small"));
    ASSERT_TRUE(disk.ready()) << disk.why().toStdString();
    const QString target = disk.path() + "/out.mp3";

    ToolResult run = convert({source, target, "--preset", "7"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Erreur 2987")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(disk.fullReason())) << run.err.toStdString();
    EXPECT_TRUE(disk.entries().isEmpty()) << disk.entries().join(' ').toStdString();

    const QByteArray older = patternBytes(3000, 4);
    folder.write("small/out.mp3", older);
    run = convert({source, target, "--preset", "7"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(readFileBytes(target) == older);
    EXPECT_EQ(disk.entries(), QStringList{"out.mp3"});
}
