// The program refuses a second running instance: the second start ends without a window
// while the first keeps its lock, which is free again once the first ends.
#include "window_test_support.h"

#include "app/window/single_instance.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "../support/tools.h"

namespace {

// Points the lock at a private runtime folder for the life of the object.
struct PrivateRuntime {
    QTemporaryDir folder;
    QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    PrivateRuntime() { qputenv("XDG_RUNTIME_DIR", folder.path().toUtf8()); }
    ~PrivateRuntime() { qputenv("XDG_RUNTIME_DIR", saved); }
};

// Starts the program on the virtual device with its own home, under the offscreen platform.
void startProgram(QProcess &program, const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SONORIEL_HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/config");
    environment.insert("SONORIEL_AUDIO", "virtual");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(SONORIEL_EXECUTABLE), {});
}

} // namespace

TEST(SingleInstance, ASecondStartEndsWithoutAWindowWhileTheFirstRuns)
{
    PrivateRuntime runtime;
    QTemporaryDir home;
    ASSERT_TRUE(runtime.folder.isValid() && home.isValid());
    QProcess first;
    startProgram(first, home.path());
    ASSERT_TRUE(first.waitForStarted());
    // The first instance holds the lock once its window is up.
    SingleInstance probe;
    EXPECT_TRUE(waitUntil([&] { return first.state() != QProcess::Running || QFileInfo::exists(SingleInstance::lockPath()); },
                          std::chrono::seconds(20)));
    EXPECT_FALSE(probe.acquire());
    EXPECT_EQ(first.state(), QProcess::Running);

    QProcess second;
    startProgram(second, home.path());
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished(10000);
    }
    EXPECT_TRUE(waitUntil([&] { return probe.acquire(); })) << "the lock is free again once its holder ended";
}
