// The main window on the tests' private PulseAudio server: opening it and choosing a line leave
// the source's volume as the server has it, and the device list follows the server's sources,
// the device recorded being the one shown, wherever new or removed sources move it in the list.
#include "window_test_support.h"

#include "../support/pulse_server.h"
#include "../support/tools.h"

#include "app/window/frm_rec.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {

void chooseFromList(QComboBox *list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

class FrmRecOnSoundServer : public WindowTest {
protected:
    // One server for the whole program: Qt Multimedia (the window's player) binds to the
    // server the first window finds.
    static void SetUpTestSuite() { server = new PulseServer(); }
    static void TearDownTestSuite() { delete server; }

    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(server->isRunning()) << server->errorText().toStdString();
        qputenv("SONORIEL_AUDIO", "pulse");
    }

    // The volumes of the source's channels as pactl reads them, "150% 150%" for example.
    static QString sourceVolume(const QString &source)
    {
        QStringList percents;
        const QString reply = server->pactl({"get-source-volume", source});
        for (const QString &word : reply.section('\n', 0, 0).split(' ', Qt::SkipEmptyParts))
            if (word.endsWith('%'))
                percents << word;
        return percents.join(' ');
    }

    // The name of the source the window's one recording stream takes its sound from.
    static QString recordedSource()
    {
        const QStringList streams = server->pactl({"list", "short", "source-outputs"}).split('\n', Qt::SkipEmptyParts);
        if (streams.size() != 1)
            return QStringLiteral("%1 recording streams").arg(streams.size());
        const QString index = streams.front().section('\t', 1, 1);
        for (const QString &source : server->pactl({"list", "short", "sources"}).split('\n', Qt::SkipEmptyParts))
            if (source.section('\t', 0, 0) == index)
                return source.section('\t', 1, 1);
        return QStringLiteral("no source #") + index;
    }

    static QString monitorName() { return server->sinkName() + QStringLiteral(".monitor"); }
    static QString monitorDescription() { return QStringLiteral("Monitor of ") + server->sinkDescription(); }

    static PulseServer *server;
};

PulseServer *FrmRecOnSoundServer::server = nullptr;

} // namespace

TEST_F(FrmRecOnSoundServer, OpeningTheWindowAndChoosingTheLineLeaveTheSourceVolumeAlone)
{
    const QString source = server->sourceName();
    server->pactl({"set-source-volume", source, "150%"});
    ASSERT_EQ(sourceVolume(source), QStringLiteral("150% 150%"));

    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    ASSERT_EQ(control<QComboBox>(window, "cboDev")->currentText(), server->sourceDescription());
    EXPECT_EQ(sourceVolume(source), QStringLiteral("150% 150%"));
    auto *cboRecLine = control<QComboBox>(window, "cboRecLine");
    ASSERT_GE(cboRecLine->currentIndex(), 0);
    chooseFromList(cboRecLine, cboRecLine->currentIndex());
    EXPECT_EQ(sourceVolume(source), QStringLiteral("150% 150%"));
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();

    // The user's own move of the slider sets it.
    control<QSlider>(window, "sldVol")->setValue(65535 / 2 + 1);
    EXPECT_EQ(sourceVolume(source), QStringLiteral("50% 50%"));
    EXPECT_EQ(control<QLabel>(window, "lblVolPer")->text(), QStringLiteral("50%"));
}

TEST_F(FrmRecOnSoundServer, DeviceListFollowsTheServerAndTheDeviceShownIsTheOneRecorded)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    auto *cboDev = control<QComboBox>(window, "cboDev");
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    control<QCheckBox>(window, "Check1")->click(); // a file of its own for each take
    const auto shown = [cboDev] {
        QStringList names;
        for (int i = 0; i < cboDev->count(); ++i)
            names << cboDev->itemText(i);
        return names;
    };
    // Records a moment from the device shown and tells which source the server fed the stream.
    const auto recordShown = [&] {
        cmdDo->click();
        EXPECT_TRUE(window.recorder().IsRecording()) << answerer.messages().join('|').toStdString();
        const QString source = recordedSource();
        cmdDo->click();
        return source;
    };
    ASSERT_EQ(shown(), QStringList({server->sourceDescription(), monitorDescription()}));
    chooseFromList(cboDev, 1);
    EXPECT_EQ(recordShown(), monitorName());

    // A source that appears after start-up goes ahead of the monitor, which stays chosen and
    // recorded; when it goes, the monitor moves up again and still is.
    const QString late = server->pactl({"load-module", "module-null-source", "source_name=late_one",
                                        "description=Arrivée"}).trimmed();
    ASSERT_FALSE(late.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return shown().size() == 3; })) << shown().join('|').toStdString();
    EXPECT_EQ(shown(), QStringList({server->sourceDescription(), "Arrivée", monitorDescription()}));
    EXPECT_EQ(cboDev->currentText(), monitorDescription());
    EXPECT_EQ(recordShown(), monitorName());
    server->pactl({"unload-module", late});
    EXPECT_TRUE(waitUntil([&] { return shown().size() == 2; })) << shown().join('|').toStdString();
    EXPECT_EQ(cboDev->currentText(), monitorDescription());
    EXPECT_EQ(recordShown(), monitorName());
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();
}
