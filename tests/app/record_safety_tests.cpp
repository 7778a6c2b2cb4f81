// `sonoriel record` when things go wrong: a recording killed outright leaves a WAV file that
// our reader, sox and ffprobe read up to its last whole second, and that `sonoriel repair`
// completes; a closed terminal, a removed file or folder end it with a complete header.
#include "join/join_engine.h"

#include "../support/signal_helpers.h"
#include "../support/tools.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr std::uint32_t kStereoSecond = 176400;
constexpr std::uint32_t kBlockBytes = 10240;

QProcessEnvironment virtualDevice(const QTemporaryDir &home, const QString &speed)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SONORIEL_HOME", home.path());
    environment.insert("SONORIEL_AUDIO", "virtual");
    environment.insert("SONORIEL_VIRTUAL_SPEED", speed);
    environment.remove("SONORIEL_VIRTUAL_INPUT"); // the test signal: 440 Hz left, 880 Hz right
    return environment;
}

// The data size the header on disk gives; 0 while the file is shorter than its header.
std::uint32_t describedBytes(const QString &path)
{
    const QByteArray head = readFileBytes(path).left(46);
    return head.size() == 46 ? le32At(head, 42) : 0;
}

} // namespace

TEST(RecordCommandKilled, FileHoldsEverySecondUpToTheLastUpdateAndRepairAddsTheRest)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    QTemporaryDir home;
    const QString path = home.filePath("killed.wav");
    QProcess process;
    process.setProcessEnvironment(virtualDevice(home, "1"));
    process.start(QStringLiteral(SONORIEL_EXECUTABLE), {"record", path});
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return describedBytes(path) >= 2 * kStereoSecond; }, std::chrono::seconds(30)));
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGKILL), 0);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);

    const QByteArray file = readFileBytes(path);
    const std::uint32_t described = le32At(file, 42);
    const auto onDisk = static_cast<std::uint32_t>(file.size() - 46);
    EXPECT_EQ(le32At(file, 4), described + 38);
    EXPECT_EQ(described % kBlockBytes, 0u); // whole capture blocks
    EXPECT_LE(described, onDisk);
    // Less than a second and a block is ever left out of the header.
    EXPECT_LT(onDisk - described, kStereoSecond + kBlockBytes);

    JoinFileInfo record;
    record.fileName = path;
    ASSERT_NO_THROW(ReadWaveHeader(record)); // refuses a file that ends before its data
    EXPECT_EQ(record.dataSize, static_cast<std::int32_t>(described));
    EXPECT_EQ(record.dataOffset, 46);
    EXPECT_EQ(record.sampleRate, 44100);
    EXPECT_EQ(record.channels, 2);
    EXPECT_NEAR(soxInfo(path).seconds, described / double(kStereoSecond), 1e-5);
    EXPECT_NEAR(ffprobeInfo(path).seconds, described / double(kStereoSecond), 1e-4);
    EXPECT_NEAR(measureFrequency(decodeWithSox(path), 2, 44100), 440, 2);

    QProcess repair;
    repair.start(QStringLiteral(SONORIEL_EXECUTABLE), {"repair", path});
    ASSERT_TRUE(repair.waitForFinished(30000));
    EXPECT_EQ(repair.exitCode(), 0);
    const QByteArray repaired = readFileBytes(path);
    ASSERT_EQ(repaired.size(), file.size());
    EXPECT_EQ(le32At(repaired, 42), onDisk / 4 * 4);
    EXPECT_TRUE(repaired.mid(46) == file.mid(46));
    EXPECT_NEAR(soxInfo(path).seconds, onDisk / 4 * 4 / double(kStereoSecond), 1e-5);
}

TEST(RecordCommandSignals, AClosedTerminalEndsTheRecordingWithItsHeaderComplete)
{
    QTemporaryDir home;
    const QString path = home.filePath("hangup.wav");
    QProcess process;
    process.setProcessEnvironment(virtualDevice(home, "1"));
    process.start(QStringLiteral(SONORIEL_EXECUTABLE), {"record", path});
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() > 46 + 4 * kBlockBytes; }));
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGHUP), 0);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray file = readFileBytes(path);
    EXPECT_EQ(le32At(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    EXPECT_EQ(le32At(file, 42), static_cast<std::uint32_t>(file.size() - 46));
}

TEST(RecordCommandOutput, AFileOrFolderRemovedWhileRecordingStopsTheRecordingAndSaysSo)
{
    for (const bool wholeFolder : {false, true}) {
        SCOPED_TRACE(wholeFolder ? "folder removed" : "file removed");
        QTemporaryDir home;
        QDir().mkpath(home.filePath("takes"));
        const QString path = home.filePath("takes/gone.wav");
        QProcess process;
        process.setProcessEnvironment(virtualDevice(home, "1"));
        process.start(QStringLiteral(SONORIEL_EXECUTABLE), {"record", path, "--seconds", "30"});
        ASSERT_TRUE(process.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return readFileBytes(path).size() > 46 + 2 * kBlockBytes; }));
        ASSERT_TRUE(wholeFolder ? QDir(home.filePath("takes")).removeRecursively() : QFile::remove(path));
        ASSERT_TRUE(process.waitForFinished(10000)) << "the recording went on into a file that is gone";
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError())
                        .contains("Enregistrement arrêté : le fichier Wav a été supprimé pendant l'enregistrement."));
    }
}
