// The program refuses a second running instance: the second start ends without a window
// while the first keeps its lock.
#include "window_test_support.h"

#include "app/window/single_instance.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "../support/tools.h"

namespace {

QProcessEnvironment programEnvironment(const QString &runtime, const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("SONORIEL_HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/config");
    environment.insert("SONORIEL_AUDIO", "virtual");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

} // namespace

TEST(SingleInstance, ASecondStartEndsWithoutAWindowWhileTheFirstRuns)
{
    QTemporaryDir runtime;
    QTemporaryDir home;
    ASSERT_TRUE(runtime.isValid() && home.isValid());
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());

    QProcess first;
    first.setProcessEnvironment(programEnvironment(runtime.path(), home.path()));
    first.start(QStringLiteral(SONORIEL_EXECUTABLE), {});
    ASSERT_TRUE(first.waitForStarted());
    // The first instance holds the lock once its window is up.
    SingleInstance probe;
    EXPECT_TRUE(waitUntil([&] { return first.state() != QProcess::Running || QFileInfo::exists(SingleInstance::lockPath()); },
                          std::chrono::seconds(20)));
    EXPECT_FALSE(probe.acquire());
    EXPECT_EQ(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(programEnvironment(runtime.path(), home.path()));
    second.start(QStringLiteral(SONORIEL_EXECUTABLE), {});
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished(10000);
    }
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}

TEST(SingleInstance, TheLockIsFreeAgainWhenItsHolderEnds)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    {
        SingleInstance first;
        EXPECT_TRUE(first.acquire());
    }
    SingleInstance next;
    EXPECT_TRUE(next.acquire());
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}
