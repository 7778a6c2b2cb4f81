// The main window on the private PulseAudio server: the device shown is the one recorded.
#include "window_test_support.h"

#include "../support/pulse_server.h"

struct FrmRecOnSoundServer : WindowTest {
    // One server for the whole program: Qt Multimedia binds to the first one it finds.
    static void SetUpTestSuite() { server = new PulseServer(); }
    static void TearDownTestSuite() { delete server; }

    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(server->isRunning()) << server->errorText().toStdString();
        qputenv("SONORIEL_AUDIO", "pulse");
    }

    // The name of the source the window's one recording stream takes its sound from.
    static QString recordedSource()
    {
        const QStringList streams = server->pactl({"list", "short", "source-outputs"}).split('\n', Qt::SkipEmptyParts);
        if (streams.size() != 1) return QStringLiteral("%1 recording streams").arg(streams.size());
        const QString index = streams.front().section('\t', 1, 1);
        for (const QString &source : server->pactl({"list", "short", "sources"}).split('\n', Qt::SkipEmptyParts))
            if (source.section('\t', 0, 0) == index)
                return source.section('\t', 1, 1);
        return QStringLiteral("no source #") + index;
    }

    inline static PulseServer *server = nullptr;
};

TEST_F(FrmRecOnSoundServer, DeviceListFollowsTheServerAndTheDeviceShownIsTheOneRecorded)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    auto *cboDev = control<QComboBox>(window, "cboDev");
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    control<QCheckBox>(window, "Check1")->click(); // a file of its own for each take
    const QString monitor = server->sinkName() + QStringLiteral(".monitor");
    const QString monitorText = QStringLiteral("Monitor of ") + server->sinkDescription();
    const auto shown = [cboDev] {
        QStringList names;
        for (int i = 0; i < cboDev->count(); ++i) names << cboDev->itemText(i);
        return names;
    };
    const auto recordShown = [&] {
        cmdDo->click();
        EXPECT_TRUE(window.recorder().IsRecording()) << answerer.messages.join('|').toStdString();
        const QString source = recordedSource();
        cmdDo->click();
        return source;
    };
    ASSERT_EQ(shown(), QStringList({server->sourceDescription(), monitorText}));
    cboDev->setCurrentIndex(1);
    emit cboDev->activated(1);
    EXPECT_EQ(recordShown(), monitor);

    // A source that comes goes ahead of the monitor, which stays chosen and recorded.
    const QString late = server->pactl({"load-module", "module-null-source", "source_name=late_one",
                                        "description=Arrivée"}).trimmed();
    ASSERT_FALSE(late.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return shown().size() == 3; })) << shown().join('|').toStdString();
    EXPECT_EQ(shown(), QStringList({server->sourceDescription(), "Arrivée", monitorText}));
    EXPECT_EQ(recordShown(), monitor);
    // Put back under another name before the window hears of it: the same source, renamed.
    server->pactl({"unload-module", late});
    const QString renamed = server->pactl({"load-module", "module-null-source", "source_name=late_one",
                                           "description=Renommée"}).trimmed();
    EXPECT_TRUE(waitUntil([&] { return shown().contains("Renommée"); })) << shown().join('|').toStdString();
    EXPECT_EQ(shown(), QStringList({server->sourceDescription(), "Renommée", monitorText}));
    server->pactl({"unload-module", renamed});
    EXPECT_TRUE(waitUntil([&] { return shown().size() == 2; })) << shown().join('|').toStdString();
    EXPECT_EQ(recordShown(), monitor);
    EXPECT_TRUE(answerer.messages.isEmpty()) << answerer.messages.join('|').toStdString();
}
