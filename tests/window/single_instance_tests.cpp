// A second start of the program ends without a window while the first runs and keeps its
// lock, which is free again once the first ends.
#include "window_test_support.h"

#include "app/window/single_instance.h"

#include "../support/tools.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

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
    QTemporaryDir runtime, home; // the lock lives in the runtime folder
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QProcess first;
    startProgram(first, home.path());
    ASSERT_TRUE(first.waitForStarted());
    SingleInstance probe;
    EXPECT_TRUE(waitUntil([&] { return first.state() != QProcess::Running || QFileInfo::exists(SingleInstance::lockPath()); },
                          std::chrono::seconds(20)));
    EXPECT_FALSE(probe.acquire());

    QProcess second;
    startProgram(second, home.path());
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    if (!first.waitForFinished(10000))
        first.kill();
    EXPECT_TRUE(waitUntil([&] { return probe.acquire(); })) << "the lock is free again once its holder ended";
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}
