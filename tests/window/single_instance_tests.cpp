// A second start ends without a window while the first runs; the lock is free once the first ends.
#include "window_test_support.h"

#include "app/window/single_instance.h"

TEST(SingleInstance, ASecondStartEndsWithoutAWindowWhileTheFirstRuns)
{
    QTemporaryDir runtime, home; // the lock lives in the runtime folder
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(); // on the virtual device
    environment.insert("SONORIEL_HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
    environment.insert("SONORIEL_AUDIO", "virtual");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const auto startProgram = [&](QProcess &program) {
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(SONORIEL_EXECUTABLE), {});
    };
    QProcess first;
    startProgram(first);
    ASSERT_TRUE(first.waitForStarted());
    SingleInstance probe;
    EXPECT_TRUE(waitUntil([&] { return first.state() != QProcess::Running || QFileInfo::exists(SingleInstance::lockPath()); },
                          std::chrono::seconds(20)));
    EXPECT_FALSE(probe.acquire());

    QProcess second;
    startProgram(second);
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
