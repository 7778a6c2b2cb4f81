// The main window's handlers while idle: rate keys, format chooser, settings, buttons, Qt's French.
#include "window_test_support.h"

#include "app/window/qt_french_texts.h"

using FrmRecHandlers = WindowTest;

// Keys sent to the combo box that holds the focus, as the keyboard sends them: digits only
// (0 included), at most five whether selected or not, backspace always; Return chooses nothing.
TEST_F(FrmRecHandlers, RateBoxTakesAtMostFiveDigitsAndAlwaysBackspace)
{
    ModalAnswerer answerer;
    FrmREC window;
    auto *rate = control<QComboBox>(window, "cboSamplerate");
    rate->setEditText(QString());
    QTest::keyClicks(rate, QStringLiteral("aZ-.2"));
    EXPECT_EQ(rate->currentText(), QStringLiteral("2"));
    QTest::keyClicks(rate, QStringLiteral("34567"));
    EXPECT_EQ(rate->currentText(), QStringLiteral("23456"));
    rate->lineEdit()->selectAll();
    QTest::keyClick(rate, Qt::Key_9);
    EXPECT_EQ(rate->currentText(), QStringLiteral("23456"));
    rate->lineEdit()->end(false);
    QTest::keyClick(rate, Qt::Key_Backspace);
    EXPECT_EQ(rate->currentText(), QStringLiteral("2345"));

    rate->setEditText(QStringLiteral("2205"));
    QTest::keyClick(rate, Qt::Key_0);
    QTest::keyClick(rate, Qt::Key_Return);
    EXPECT_EQ(rate->currentText(), QStringLiteral("22050"));
    EXPECT_EQ(answerer.dialogs, 0);
    EXPECT_EQ(window.effects().samplerate(), 44100);
}

// Each change of rate or stereo opens the chooser; what it accepts sets the effects format and
// is shown. A cancelled chooser keeps the format shown; an empty rate is refused.
TEST_F(FrmRecHandlers, RateAndStereoChangesGoThroughTheChooser)
{
    QString title;
    bool accept = true;
    ModalAnswerer answerer([&](QDialog &dialog) {
        title = dialog.windowTitle();
        accept ? dialog.accept() : dialog.reject();
    });
    FrmREC window;
    auto *rate = control<QComboBox>(window, "cboSamplerate");
    auto *shown = control<QLineEdit>(window, "txtWAVFmt");
    const auto chooseRate = [rate](int index) { rate->setCurrentIndex(index); emit rate->activated(index); };
    chooseRate(1);
    EXPECT_EQ(title, QStringLiteral("Selection du format WAV en sortie"));
    EXPECT_EQ(window.effects().samplerate(), 22050);
    control<QCheckBox>(window, "chkStereo")->click();
    EXPECT_EQ(answerer.dialogs, 2);
    EXPECT_EQ(window.effects().Channels(), 1);
    const QString accepted = shown->text();
    EXPECT_TRUE(accepted.startsWith(QStringLiteral("PCM - 22.05")) && accepted.contains(QStringLiteral("Mono")))
        << accepted.toStdString();
    accept = false;
    chooseRate(3);
    EXPECT_EQ(shown->text(), accepted);
    EXPECT_EQ(window.effects().samplerate(), 8000);
    rate->setEditText(QString());
    control<QCheckBox>(window, "chkStereo")->click();
    EXPECT_EQ(answerer.dialogs, 3);
    EXPECT_EQ(answerer.messages, QStringList{QStringLiteral("Fréquence d'échantillonnage invalide !")});
    EXPECT_EQ(window.effects().Channels(), 1);
}

// "Save and close" writes the five settings (closing alone saves nothing: see the recording tests).
TEST_F(FrmRecHandlers, SaveAndCloseWritesTheFiveSettings)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    control<QSlider>(window, "sldVol")->setValue(40000);
    control<QCheckBox>(window, "Check1")->click();
    EXPECT_FALSE(control<QLineEdit>(window, "txtFile")->isEnabled()); // numbering names the files
    control<QToolButton>(window, "Command1")->click();
    EXPECT_FALSE(window.isVisible());
    QSettings store = settings();
    store.beginGroup(QStringLiteral("Settings"));
    EXPECT_EQ(store.value("Dispositif").toString(), control<QComboBox>(window, "cboDev")->currentText());
    EXPECT_EQ(store.value("RecLine").toString(), control<QComboBox>(window, "cboRecLine")->currentText());
    EXPECT_EQ(store.value("VolumeREC").toString(), QStringLiteral("40000"));
    EXPECT_EQ(store.value("IncREC").toString(), QStringLiteral("1"));
    EXPECT_EQ(store.value("IndexREC").toString(), QStringLiteral("0"));
}

// With no mixer program installed, the volume buttons say which programs were looked for.
TEST_F(FrmRecHandlers, VolumeButtonsWithoutAMixerNameTheProgramsLookedFor)
{
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    ModalAnswerer answerer;
    FrmREC window;
    qputenv("PATH", QFile::encodeName(bin.path()));
    control<QToolButton>(window, "Command9")->click();
    qputenv("PATH", path);
    EXPECT_EQ(answerer.messages, QStringList{QStringLiteral("Aucun programme de réglage du volume n'est installé "
                                                              "(programmes cherchés : pavucontrol, pavucontrol-qt, pwvucontrol).")});
}

// The side buttons open their windows modally; the effects window edits the window's own chain.
TEST_F(FrmRecHandlers, SideButtonsOpenTheirWindowsModally)
{
    QStringList opened;
    ModalAnswerer answerer([&](QDialog &dialog) {
        opened << dialog.windowTitle();
        EXPECT_TRUE(dialog.isModal()) << dialog.windowTitle().toStdString();
        if (auto *echoAmp = dialog.findChild<QSlider *>(QStringLiteral("sldReverbAmp")))
            echoAmp->setValue(9);
        dialog.reject();
    });
    FrmREC window;
    window.show();
    for (const char *button : {"cmdFXOpts", "Command2", "Command10", "Command3"})
        control<QPushButton>(window, button)->click();
    EXPECT_EQ(opened, QStringList({QStringLiteral("Configuration effets"),
                                   QStringLiteral("Sonoriel : Conversion Wav --> Mp3 - [Encodeur LAME]"),
                                   QStringLiteral("Sonoriel : Joindre des fichiers Wav"),
                                   QStringLiteral("A propos de Sonoriel")}));
    EXPECT_FLOAT_EQ(window.effects().EchoAmp(), 0.9f);
}

TEST_F(FrmRecHandlers, QtsOwnTextsInTheDialogsAreFrench)
{
    ASSERT_TRUE(installQtFrenchTexts(*qApp));
    QStringList texts;
    ModalAnswerer answerer([&texts](QDialog &dialog) {
        texts << dialog.windowTitle() << control<QLabel>(dialog, "fileNameLabel")->text();
        if (auto *buttons = dialog.findChild<QDialogButtonBox *>())
            for (QAbstractButton *button : buttons->buttons())
                texts << button->text();
        dialog.reject();
    });
    FrmREC window;
    control<QToolButton>(window, "cmdBrowse")->click();
    EXPECT_EQ(texts, QStringList({"Enregistrer sous", "&Nom de fichier :", "&Enregistrer", "Annuler"}));
    QMessageBox question(QMessageBox::Question, "Sonoriel", "?", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.button(QMessageBox::Yes)->text() + question.button(QMessageBox::No)->text(), "&Oui&Non");
    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) { // the next tests start bare
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}
