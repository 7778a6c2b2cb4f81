// Recording from the main window: the record button, panels, frames, numbering, replacing, closing, faults.
#include "window_test_support.h"

#include "../support/signal_helpers.h"

using FrmRecRecording = WindowTest;

// The status panels follow the take; the input and output frames wait for its end, the
// effects do not; a numbered take moves the file name on when it stops.
TEST_F(FrmRecRecording, RecordButtonDrivesThePanelsAndTheFrames)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    auto *sizePanel = control<QLabel>(window, "sbarPanel1");
    auto *durationPanel = control<QLabel>(window, "sbarPanel2");
    auto *txtFile = control<QLineEdit>(window, "txtFile");
    EXPECT_EQ(window.focusWidget(), cmdDo); // Space starts a take
    control<QCheckBox>(window, "Check1")->click();
    cmdDo->click();
    ASSERT_TRUE(window.recorder().IsRecording()) << answerer.messages.join('|').toStdString();
    EXPECT_EQ(cmdDo->text(), QStringLiteral("Stopper"));
    EXPECT_EQ(txtFile->text(), wavFolder() + QStringLiteral("/Enreg_01.wav"));
    for (const char *name : {"frmInp", "frmOut", "Command1", "Command2", "Command10"})
        EXPECT_FALSE(control<QWidget>(window, name)->isEnabled()) << name;
    for (const char *name : {"cboRecLine", "sldVol", "chkFX0", "cmdFXOpts", "Command3", "Command8"})
        EXPECT_TRUE(control<QWidget>(window, name)->isEnabled()) << name;
    control<QCheckBox>(window, "chkFX2")->click();
    EXPECT_EQ(window.effects().EffectsUsed(), 4);
    ASSERT_TRUE(waitUntil([&] { return durationPanel->text() != QStringLiteral("Durée : 0:00"); },
                          std::chrono::seconds(30)));
    EXPECT_NE(sizePanel->text(), QStringLiteral("Taille : 0 Octet"));

    cmdDo->click();
    EXPECT_EQ(cmdDo->text(), QStringLiteral("Enregistrer"));
    EXPECT_TRUE(control<QWidget>(window, "frmInp")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return durationPanel->text() == QStringLiteral("Durée : 0:00"); }));
    EXPECT_EQ(sizePanel->text(), QStringLiteral("Taille : 0 Octet"));
    EXPECT_EQ(txtFile->text(), wavFolder() + QStringLiteral("/Enreg_02.wav"));
    EXPECT_GT(soxInfo(wavFolder() + QStringLiteral("/Enreg_01.wav")).seconds, 0.4); // past 0:00
    EXPECT_TRUE(answerer.messages.isEmpty()) << answerer.messages.join('|').toStdString();
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
    const QByteArray file = readFileBytes(path); // the 46-byte header's data length matches the size
    EXPECT_TRUE(file.size() > 46 && qFromLittleEndian<quint32>(file.constData() + 42) + 46 == quint32(file.size()));
    EXPECT_GT(ffprobeInfo(path).seconds, 0.4);
    EXPECT_TRUE(settings().allKeys().isEmpty());
}

TEST_F(FrmRecRecording, RecordClickAsksBeforeReplacingATakeAndNoStartsNothing)
{
    ASSERT_TRUE(QDir().mkpath(wavFolder()));
    const QString path = wavFolder() + QStringLiteral("/Enregistrement.wav");
    QFile take(path);
    ASSERT_TRUE(take.open(QIODevice::WriteOnly) && take.write("an earlier take") == 15);
    take.close();
    ModalAnswerer answerer;
    FrmREC window;
    auto *cmdDo = control<QPushButton>(window, "cmdDo");

    cmdDo->click(); // the answerer closes the question unanswered: no
    EXPECT_FALSE(window.recorder().IsRecording());
    ASSERT_EQ(answerer.messages.size(), 1);
    EXPECT_EQ(answerer.messages.front(),
              QStringLiteral("Le fichier « %1 » existe déjà. Voulez-vous le remplacer ?").arg(path));
    EXPECT_EQ(readFileBytes(path), QByteArray("an earlier take"));

    answerer.questionAnswer = QMessageBox::Yes;
    cmdDo->click();
    EXPECT_TRUE(window.recorder().IsRecording());
    cmdDo->click();
}

TEST_F(FrmRecRecording, AnEffectsFaultIsShownOnceAfterItsBlockWithEveryBlockWrittenOnce)
{
    // A block written twice, out of order or lost breaks the count in the file.
    QTemporaryDir inputs;
    const QString input = inputs.filePath(QStringLiteral("count.wav"));
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

    ASSERT_EQ(answerer.messages.size(), 1) << answerer.messages.join('|').toStdString();
    EXPECT_TRUE(answerer.messages.front().startsWith(QStringLiteral("Effets : erreur 6 ")));
    const CountingCheck counting = checkCounting(decodeWithSox(path), 1);
    EXPECT_GT(counting.countedFrames, 44100u);
    EXPECT_TRUE(counting.breaks.empty()) << counting.breaks.size() << " breaks, " << counting.missingFrames << " frames missing";
}
