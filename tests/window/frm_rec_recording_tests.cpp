// Recording from the main window on the virtual device: the record button, the frames that a
// recording disables, the live display, and closing the window during a recording.
#include "window_test_support.h"

#include "../support/signal_helpers.h"
#include "../support/tools.h"

#include "app/window/frm_rec.h"
#include "app/window/picture_widget.h"

#include <QApplication>
#include <QtEndian>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

namespace {

// Whether any pixel of the picture differs from its first one.
bool showsSomething(const PictureWidget &picture)
{
    const QImage &image = picture.image();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0))
                return true;
    return false;
}

// Whether the data chunk's length in the recorder's 46-byte PCM header matches the file's size.
bool headerMatchesSize(const QByteArray &file)
{
    return file.size() > 46 && qFromLittleEndian<quint32>(file.constData() + 42) + 46 == quint32(file.size());
}

} // namespace

class FrmRecRecording : public WindowTest {
protected:
    QTemporaryDir m_inputs;
};

TEST_F(FrmRecRecording, RecordButtonRecordsAValidFileWhileTheDisplayFollows)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    auto *sizePanel = control<QLabel>(window, "sbarPanel1");
    auto *durationPanel = control<QLabel>(window, "sbarPanel2");
    const QString path = control<QLineEdit>(window, "txtFile")->text();
    EXPECT_EQ(sizePanel->text(), QStringLiteral("Taille : 0 Octet"));
    EXPECT_EQ(durationPanel->text(), QStringLiteral("Durée : 0:00"));

    cmdDo->click();
    ASSERT_TRUE(window.recorder().IsRecording()) << answerer.messages().join('|').toStdString();
    EXPECT_EQ(cmdDo->text(), QStringLiteral("Stopper"));
    ASSERT_TRUE(waitUntil([&] { return durationPanel->text() != QStringLiteral("Durée : 0:00"); },
                          std::chrono::seconds(30)));
    EXPECT_TRUE(sizePanel->text().startsWith(QStringLiteral("Taille : ")));
    EXPECT_NE(sizePanel->text(), QStringLiteral("Taille : 0 Octet"));
    for (const char *meter : {"picVUL", "picVUR", "picAmpl", "picFreq"})
        EXPECT_TRUE(showsSomething(*control<PictureWidget>(window, meter))) << meter;

    cmdDo->click();
    EXPECT_FALSE(window.recorder().IsRecording());
    EXPECT_EQ(cmdDo->text(), QStringLiteral("Enregistrer"));
    ASSERT_TRUE(waitUntil([&] { return durationPanel->text() == QStringLiteral("Durée : 0:00"); }));
    EXPECT_EQ(sizePanel->text(), QStringLiteral("Taille : 0 Octet"));

    const MediaInfo info = soxInfo(path);
    EXPECT_EQ(info.rateHz, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_GT(info.seconds, 0.4); // the duration panel moved past 0:00
    EXPECT_TRUE(headerMatchesSize(readFileBytes(path)));
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();
}

TEST_F(FrmRecRecording, RecordingDisablesTheInputAndOutputFramesButNotLineVolumeOrEffects)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    // The opened window's keyboard focus is on the record button: Space starts the recording.
    ASSERT_EQ(window.focusWidget(), cmdDo);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(cmdDo, &press);
    QApplication::sendEvent(cmdDo, &release);
    ASSERT_TRUE(window.recorder().IsRecording());

    for (const char *name : {"frmInp", "frmOut", "Command1", "Command2", "Command10"})
        EXPECT_FALSE(control<QWidget>(window, name)->isEnabled()) << name;
    for (const char *name : {"cboRecLine", "sldVol", "chkFX0", "cmdFXOpts", "Command3", "Command8"})
        EXPECT_TRUE(control<QWidget>(window, name)->isEnabled()) << name;

    // The volume and the effects still act during the recording.
    control<QSlider>(window, "sldVol")->setValue(20000);
    EXPECT_EQ(window.recorder().MixerLineVolume(), 20000);
    control<QCheckBox>(window, "chkFX2")->click();
    EXPECT_EQ(window.effects().EffectsUsed(), 4);

    cmdDo->click();
    for (const char *name : {"frmInp", "frmOut", "Command1", "Command2", "Command10"})
        EXPECT_TRUE(control<QWidget>(window, name)->isEnabled()) << name;
}

TEST_F(FrmRecRecording, NumberedRecordingMovesTheFileNameOnWhenItStops)
{
    ModalAnswerer answerer;
    FrmREC window;
    control<QCheckBox>(window, "Check1")->click();
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    auto *txtFile = control<QLineEdit>(window, "txtFile");
    cmdDo->click();
    ASSERT_TRUE(window.recorder().IsRecording());
    EXPECT_EQ(txtFile->text(), wavFolder() + QStringLiteral("/Enreg_01.wav"));
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 200; }));
    cmdDo->click();
    EXPECT_EQ(txtFile->text(), wavFolder() + QStringLiteral("/Enreg_02.wav"));
    EXPECT_EQ(txtFile->toolTip(), txtFile->text());
    EXPECT_EQ(soxInfo(wavFolder() + QStringLiteral("/Enreg_01.wav")).channels, 2);
}

TEST_F(FrmRecRecording, ClosingDuringARecordingLeavesACompleteFileAndSavesNoSettings)
{
    ModalAnswerer answerer;
    QString path;
    {
        FrmREC window;
        window.show();
        path = control<QLineEdit>(window, "txtFile")->text();
        control<QPushButton>(window, "cmdDo")->click();
        ASSERT_TRUE(window.recorder().IsRecording());
        ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 500; }));
        window.close();
        EXPECT_FALSE(window.recorder().IsRecording());
    }
    EXPECT_TRUE(headerMatchesSize(readFileBytes(path)));
    const MediaInfo info = ffprobeInfo(path);
    EXPECT_EQ(info.rateHz, 44100);
    EXPECT_GT(info.seconds, 0.4);
    EXPECT_TRUE(settings().allKeys().isEmpty());
}

TEST_F(FrmRecRecording, RecordClickAsksBeforeReplacingATakeAndNoStartsNothing)
{
    QDir().mkpath(wavFolder());
    const QString path = wavFolder() + QStringLiteral("/Enregistrement.wav");
    QFile take(path);
    ASSERT_TRUE(take.open(QIODevice::WriteOnly) && take.write("an earlier take") == 15);
    take.close();
    ModalAnswerer answerer;
    FrmREC window;
    auto *cmdDo = control<QPushButton>(window, "cmdDo");

    cmdDo->click(); // the answerer closes the question unanswered: no
    EXPECT_FALSE(window.recorder().IsRecording());
    ASSERT_EQ(answerer.messages().size(), 1);
    EXPECT_EQ(answerer.messages().front(),
              QStringLiteral("Le fichier « %1 » existe déjà. Voulez-vous le remplacer ?").arg(path));
    EXPECT_EQ(readFileBytes(path), QByteArray("an earlier take"));

    answerer.answerQuestionsWith(QMessageBox::Yes);
    cmdDo->click();
    ASSERT_TRUE(window.recorder().IsRecording());
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 100; }));
    cmdDo->click();
    EXPECT_TRUE(headerMatchesSize(readFileBytes(path)));
}

TEST_F(FrmRecRecording, AnEffectsFaultIsShownOnceAfterItsBlockWithEveryBlockWrittenOnce)
{
    // The virtual device plays a counting signal: a block written twice, out of order or lost
    // breaks the count in the file.
    const QString input = m_inputs.filePath(QStringLiteral("count.wav"));
    ASSERT_TRUE(writePcmWav(input, 44100, 2, makeCountingSignal(1, 20 * 44100)));
    qputenv("SONORIEL_VIRTUAL_INPUT", QFile::encodeName(input));
    ModalAnswerer answerer;
    FrmREC window;
    const QString path = control<QLineEdit>(window, "txtFile")->text();
    window.effects().setAmplifyDB(1000); // beyond what a float holds: every block faults
    control<QCheckBox>(window, "chkFX2")->click();
    control<QPushButton>(window, "cmdDo")->click();
    ASSERT_TRUE(window.recorder().IsRecording());
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 1500; }));
    control<QPushButton>(window, "cmdDo")->click();
    qunsetenv("SONORIEL_VIRTUAL_INPUT");

    ASSERT_EQ(answerer.messages().size(), 1) << answerer.messages().join('|').toStdString();
    EXPECT_TRUE(answerer.messages().front().startsWith(QStringLiteral("Effets : erreur 6 ")));
    const CountingCheck counting = checkCounting(decodeWithSox(path), 1);
    EXPECT_EQ(counting.leadingFrames, 0u);
    EXPECT_TRUE(counting.breaks.empty()) << counting.breaks.size() << " breaks, " << counting.missingFrames << " frames missing";
    EXPECT_GT(counting.countedFrames, 44100u);
}
