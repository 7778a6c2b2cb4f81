// `sonoriel convert IN OUT [--preset INDEX]` as the user runs it: exit codes, stderr, Ctrl+C,
// and never destroying a file: not the source under another name, not on a full disk.
#include "mp3_fixtures.h"

#include "../support/child_process.h"
#include "../support/small_disk.h"

#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <unistd.h>

static QProcessEnvironment environment(const QString &locale = QStringLiteral("C"))
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("SONORIEL_LAME_SHIM"); // the program finds the shim beside itself
    env.insert("LC_ALL", locale);
    return env;
}

static ToolResult sonoriel(const QStringList &arguments, const QString &locale = QStringLiteral("C"))
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"convert"} + arguments, environment(locale));
}

class ConvertCommand : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writeToneFile(source, 44100, 2.0)); before = readFileBytes(source); }
    QByteArray before;
    TestFolder folder;
    QString source = folder.path("in.wav");
    QString target = folder.path("out.mp3");
};

TEST_F(ConvertCommand, ConvertsWithTheChosenPresetShowingProgressInTheUsersLocale)
{
    const ToolResult run = sonoriel({source, target, "--preset", "7"}, QStringLiteral("fr_FR.UTF-8"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Encodage en cours... 100,0%")) << run.err.toStdString();
    EXPECT_NEAR(ffprobeInfo(target).seconds, 2.0, 0.05);
    EXPECT_EQ(ffprobeBitRate(target), 320000); // "Insane"
}

TEST_F(ConvertCommand, ConvertsIntoAPipeThatCannotGoBackToItsFirstFrame)
{
    const QString status = folder.path("status");
    const ToolResult run = runShell(QStringLiteral("('%1' convert '%2' /dev/stdout; echo $? > '%3') | cat > '%4'")
                                        .arg(QStringLiteral(SONORIEL_EXECUTABLE), source, status, target));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFileBytes(status), "0\n") << run.err.toStdString();
    const Heard heard = hearWithLame(target, folder.path("decoded.wav"));
    EXPECT_NEAR(heard.info.seconds, 2.0, 0.1);
    EXPECT_NEAR(heard.leftHz, 440, 5);
}

TEST_F(ConvertCommand, UsageErrorsExitTwoAndUnconvertibleSourcesExitOneLeavingTheFilesAsTheyWere)
{
    for (const QStringList &arguments :
         {QStringList{source}, QStringList{source, target, "--preset", "16"}, QStringList{source, target, "--preset"}, QStringList{source, target, "third"}}) {
        const ToolResult run = sonoriel(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("usage: sonoriel convert")) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(target));
    }
    QByteArray slow = readFileBytes(source);
    slow.replace(24, 4, QByteArray("\1\0\0\0", 4)); // 1 Hz: hours of MP3 from two seconds
    const QString oneHertz = folder.write("1hz.wav", slow);
    const QString mono = folder.write("mono.wav", waveFile({.channels = 1}, patternBytes(8000, 1)));
    const std::pair<QStringList, QString> cases[] = {
        {{mono, target}, "Erreur 29671 : Only stereo 16 bit wave files supported."},
        {{oneHertz, target}, "Erreur 29772 : Invalid Format Parameters — " + oneHertz + " : fréquence d'échantillonnage de 1 Hz"},
        {{source, folder.path("./in.wav")}, {}}, // the target names the source
    };
    for (const auto &[arguments, message] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolResult run = sonoriel(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_TRUE(readFileBytes(source) == before);
    }
}

TEST_F(ConvertCommand, InterruptingAConversionRemovesItsPartialFileAndEndsAsTheSignalAsks)
{
    const QString longSource = folder.path("long.wav");
    ASSERT_TRUE(writeToneFile(longSource, 44100, 180.0));
    const QString where = QFileInfo(target).absolutePath();
    const auto writing = [&] { return folderEntries(where).join(' ').contains(".part"); };
    ChildProcess::Setup setup;
    setup.environment = environment().toStringList();
    setup.errorFile = folder.path("err.txt");
    const QStringList arguments = {"convert", longSource, target, "--preset", "13"}; // the slowest preset
    const QByteArray earlier = patternBytes(3000, 4);

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        folder.write("out.mp3", earlier); // an older file of that name stays as it was
        ChildProcess convert;
        ASSERT_TRUE(convert.start(QStringLiteral(SONORIEL_EXECUTABLE), arguments, setup));
        ASSERT_TRUE(waitUntil([&] { return writing() || convert.hasEnded(); }, std::chrono::seconds(60)) && writing());
        EXPECT_TRUE(convert.sendSignal(signal));
        ASSERT_TRUE(convert.waitForEnd(std::chrono::seconds(60)));
        EXPECT_EQ(convert.endSignal(), signal);
        EXPECT_TRUE(readFileBytes(setup.errorFile).endsWith(("Encodage annulé : " + target + " n'a pas été enregistré.\n").toUtf8()));
        EXPECT_EQ(folderEntries(where).join(' ').toStdString(), "err.txt in.wav long.wav out.mp3");
        EXPECT_TRUE(readFileBytes(target) == earlier);
    }
}

TEST_F(ConvertCommand, TargetThatIsTheSourceUnderAnotherNameIsRefusedAndTheSourceKept)
{
    const QString hardLink = folder.path("hard.mp3"), symlink = folder.path("sym.mp3");
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(hardLink).constData()), 0);
    ASSERT_TRUE(QFile::link(source, symlink));
    for (const QString &link : {hardLink, symlink}) {
        SCOPED_TRACE(link.toStdString());
        const ToolResult run = sonoriel({source, link});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("Le fichier Mp3 ne peut pas être le fichier source")) << run.err.toStdString();
        EXPECT_TRUE(readFileBytes(source) == before);
        EXPECT_TRUE(QFileInfo(symlink).isSymLink());
    }
}

TEST_F(ConvertCommand, FullDiskLeavesNoPartialFileAndAnOlderFileOfThatNameAsItWas)
{
    const QString longSource = folder.path("long.wav");
    ASSERT_TRUE(writeToneFile(longSource, 44100, 8.0)); // about 320 KB at 320 kbit/s
    SmallDisk disk(folder.path("small"));
    ASSERT_TRUE(disk.ready()) << disk.why().toStdString();
    const QString full = disk.path() + "/out.mp3";
    ToolResult run = sonoriel({longSource, full, "--preset", "7"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Erreur 2987")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(disk.fullReason())) << run.err.toStdString();
    EXPECT_TRUE(disk.entries().isEmpty()) << disk.entries().join(' ').toStdString();

    const QByteArray older = patternBytes(3000, 4);
    folder.write("small/out.mp3", older);
    run = sonoriel({longSource, full, "--preset", "7"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(readFileBytes(full) == older);
    EXPECT_EQ(disk.entries(), QStringList{"out.mp3"});
}
