// The main window on the tests' private PulseAudio server: opening it and choosing a line leave
// the source's volume as the server has it.
#include "window_test_support.h"

#include "../support/pulse_server.h"
#include "../support/tools.h"

#include "app/window/frm_rec.h"

#include <QComboBox>
#include <QLabel>
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
