// The main window's handlers while idle: volume, the rate key filter, rate and stereo through
// the format chooser, the output file chooser, numbering, the effect switches, the two ways
// of closing the window with their effect on the settings, and the mixer buttons.
#include "window_test_support.h"

#include "../support/tools.h"

#include "app/window/frm_rec.h"
#include "app/window/qt_french_texts.h"
#include "app/window/format_chooser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTranslator>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

void chooseFromList(QComboBox *list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// Accepts the format chooser with what it proposes and remembers its title and choice.
struct ChooserAnswer {
    QString title;
    QString description;
    QString tagName;
    void operator()(QDialog &dialog)
    {
        auto *chooser = qobject_cast<FormatChooser *>(&dialog);
        if (!chooser) {
            dialog.reject();
            return;
        }
        title = chooser->windowTitle();
        if (const auto chosen = chooser->selectedFormat()) {
            description = chosen->description;
            tagName = chosen->tagName;
        }
        chooser->accept();
    }
};

} // namespace

using FrmRecHandlers = WindowTest;

// The slider shows the truncated percentage and sets the line's volume; choosing another line
// reads that line's volume into the slider.
TEST_F(FrmRecHandlers, SliderSetsTheLinesVolumeAndAnotherLineReadsItsOwn)
{
    ModalAnswerer answerer;
    FrmREC window;
    auto *sldVol = control<QSlider>(window, "sldVol");
    const std::pair<int, const char *> steps[] = {{65535, "100%"}, {32767, "49%"}, {655, "0%"}, {1000, "1%"}};
    for (const auto &[value, percent] : steps) {
        SCOPED_TRACE(value);
        sldVol->setValue(value);
        EXPECT_EQ(control<QLabel>(window, "lblVolPer")->text(), QLatin1String(percent));
        EXPECT_EQ(window.recorder().MixerLineVolume(), value);
    }
    auto *cboRecLine = control<QComboBox>(window, "cboRecLine");
    ASSERT_GE(cboRecLine->count(), 2);
    const int first = cboRecLine->currentIndex();
    const int other = first == 0 ? 1 : 0;
    chooseFromList(cboRecLine, other);
    EXPECT_EQ(window.recorder().SelectedMixerLine(), other);
    EXPECT_EQ(sldVol->value(), window.recorder().MixerLineVolume());
    chooseFromList(cboRecLine, first);
    EXPECT_EQ(window.recorder().SelectedMixerLine(), first);
    EXPECT_EQ(sldVol->value(), 1000);
}

// Keys typed into the rate box as the keyboard sends them, to the combo box that holds the
// focus: digits only, at most five (the whole text counts, selected or not), backspace always;
// Return chooses nothing and a digit is not completed into one of the listed rates.
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
    QTest::keyClick(rate, Qt::Key_7);
    EXPECT_EQ(rate->currentText(), QStringLiteral("23457"));

    rate->setEditText(QStringLiteral("2205"));
    QTest::keyClick(rate, Qt::Key_0);
    QTest::keyClick(rate, Qt::Key_Return);
    EXPECT_EQ(rate->currentText(), QStringLiteral("22050"));
    EXPECT_EQ(answerer.dialogsAnswered(), 0);
    EXPECT_EQ(window.effects().samplerate(), 44100);
}

// Each change of rate or of stereo opens the chooser; what it accepts sets the effects format.
TEST_F(FrmRecHandlers, RateAndStereoChangesOpenTheChooserThenSetTheEffectsFormat)
{
    ChooserAnswer chooser;
    ModalAnswerer answerer([&chooser](QDialog &dialog) { chooser(dialog); });
    FrmREC window;
    auto shown = [&] { return control<QLineEdit>(window, "txtWAVFmt")->text(); };
    chooseFromList(control<QComboBox>(window, "cboSamplerate"), 1);
    EXPECT_EQ(answerer.dialogsAnswered(), 1);
    EXPECT_EQ(chooser.title, QStringLiteral("Selection du format WAV en sortie"));
    EXPECT_EQ(window.effects().samplerate(), 22050);
    EXPECT_EQ(window.effects().Channels(), 2);
    EXPECT_TRUE(chooser.description.contains(QStringLiteral("22.05"))) << chooser.description.toStdString();
    EXPECT_EQ(shown(), chooser.tagName + QStringLiteral(" - ") + chooser.description);

    control<QCheckBox>(window, "chkStereo")->click();
    EXPECT_EQ(answerer.dialogsAnswered(), 2);
    EXPECT_EQ(window.effects().Channels(), 1);
    EXPECT_EQ(window.effects().samplerate(), 22050);
    EXPECT_TRUE(chooser.description.contains(QStringLiteral("Mono"))) << chooser.description.toStdString();
    EXPECT_EQ(shown(), chooser.tagName + QStringLiteral(" - ") + chooser.description);
}

// A cancelled chooser keeps the format shown but the rate still follows; an empty rate text
// brings a message instead of the chooser and changes nothing.
TEST_F(FrmRecHandlers, CancelledChooserFollowsTheRateAndAnEmptyRateIsRefused)
{
    ModalAnswerer answerer; // rejects the chooser
    FrmREC window;
    const QString before = control<QLineEdit>(window, "txtWAVFmt")->text();
    chooseFromList(control<QComboBox>(window, "cboSamplerate"), 3);
    EXPECT_EQ(answerer.dialogsAnswered(), 1);
    EXPECT_EQ(control<QLineEdit>(window, "txtWAVFmt")->text(), before);
    EXPECT_EQ(window.effects().samplerate(), 8000);

    control<QComboBox>(window, "cboSamplerate")->setEditText(QString());
    control<QCheckBox>(window, "chkStereo")->click();
    EXPECT_EQ(answerer.dialogsAnswered(), 1);
    EXPECT_EQ(answerer.messages(), QStringList{QStringLiteral("Fréquence d'échantillonnage invalide !")});
    EXPECT_EQ(window.effects().Channels(), 2);
    EXPECT_EQ(window.effects().samplerate(), 8000);
}

// Closing the window saves nothing; its "save and close" button writes the five settings,
// which the next start reads back. Numbering disables the file name and its browse button.
TEST_F(FrmRecHandlers, OnlySaveAndCloseWritesTheFiveSettings)
{
    ModalAnswerer answerer;
    {
        FrmREC window;
        window.show();
        control<QSlider>(window, "sldVol")->setValue(40000);
        window.close();
    }
    EXPECT_TRUE(settings().allKeys().isEmpty()) << settings().allKeys().join(',').toStdString();

    auto window = std::make_unique<FrmREC>();
    window->show();
    control<QSlider>(*window, "sldVol")->setValue(40000);
    for (const bool numbered : {true, false, true}) {
        control<QCheckBox>(*window, "Check1")->click();
        EXPECT_EQ(control<QToolButton>(*window, "cmdBrowse")->isEnabled(), !numbered);
        EXPECT_EQ(control<QLineEdit>(*window, "txtFile")->isEnabled(), !numbered);
    }
    const QString device = control<QComboBox>(*window, "cboDev")->currentText();
    const QString line = control<QComboBox>(*window, "cboRecLine")->currentText();
    control<QToolButton>(*window, "Command1")->click();
    EXPECT_FALSE(window->isVisible());
    window.reset();

    QSettings store = settings();
    store.beginGroup(QStringLiteral("Settings"));
    EXPECT_EQ(store.value("Dispositif").toString(), device);
    EXPECT_EQ(store.value("RecLine").toString(), line);
    EXPECT_EQ(store.value("VolumeREC").toString(), QStringLiteral("40000"));
    EXPECT_EQ(store.value("IncREC").toString(), QStringLiteral("1"));
    EXPECT_EQ(store.value("IndexREC").toString(), QStringLiteral("0"));

    FrmREC again; // and the next start reads them back
    EXPECT_TRUE(control<QCheckBox>(again, "Check1")->isChecked());
    EXPECT_EQ(control<QSlider>(again, "sldVol")->value(), again.recorder().MixerLineVolume());
}

// The two volume buttons start the desktop's mixer program detached: the compact form on its
// devices tab, the full form as it opens; with no mixer program installed they start nothing
// and say which programs were looked for.
TEST_F(FrmRecHandlers, VolumeButtonsStartTheDesktopMixerOrNameTheProgramsLookedFor)
{
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    const QString calls = bin.filePath(QStringLiteral("calls"));
    QFile mixer(bin.filePath(QStringLiteral("pavucontrol")));
    ASSERT_TRUE(mixer.open(QIODevice::WriteOnly));
    mixer.write(QStringLiteral("#!/bin/sh\necho \"[$*]\" >> '%1'\n").arg(calls).toUtf8());
    mixer.close();
    mixer.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");

    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    qputenv("PATH", QFile::encodeName(bin.path()));
    control<QToolButton>(window, "Command8")->click();
    EXPECT_TRUE(waitUntil([&] { return readFileBytes(calls).count('\n') == 1; }));
    control<QToolButton>(window, "Command9")->click();
    EXPECT_TRUE(waitUntil([&] { return readFileBytes(calls).count('\n') == 2; }));
    EXPECT_EQ(readFileBytes(calls), QByteArray("[--tab=3]\n[]\n"));

    QFile::remove(mixer.fileName());
    control<QToolButton>(window, "Command8")->click();
    control<QToolButton>(window, "Command9")->click();
    qputenv("PATH", path);
    EXPECT_EQ(readFileBytes(calls), QByteArray("[--tab=3]\n[]\n"));
    const QString none = QStringLiteral("Aucun programme de réglage du volume n'est installé "
                                        "(programmes cherchés : pavucontrol, pavucontrol-qt, pwvucontrol).");
    EXPECT_EQ(answerer.messages(), QStringList({none, none}));
}

// "Configuration", "Encodage Mp3", "Joindre Wav" and "A propos" each open their window modally
// over the main window; the effects window edits the main window's own chain.
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
    control<QPushButton>(window, "cmdFXOpts")->click();
    control<QPushButton>(window, "Command2")->click();
    control<QPushButton>(window, "Command10")->click();
    control<QPushButton>(window, "Command3")->click();
    EXPECT_EQ(opened, QStringList({QStringLiteral("Configuration effets"),
                                   QStringLiteral("Sonoriel : Conversion Wav --> Mp3 - [Encodeur LAME]"),
                                   QStringLiteral("Sonoriel : Joindre des fichiers Wav"),
                                   QStringLiteral("A propos de Sonoriel")}));
    EXPECT_FLOAT_EQ(window.effects().EchoAmp(), 0.9f);
}

// Qt's own texts in the program's dialogs are French: the output file chooser's title, labels
// and buttons, and the Yes and No of a question.
TEST_F(FrmRecHandlers, QtsOwnTextsInTheDialogsAreFrench)
{
    ASSERT_TRUE(installQtFrenchTexts(*qApp));
    QStringList texts;
    ModalAnswerer answerer([&texts](QDialog &dialog) {
        texts << dialog.windowTitle();
        for (const char *name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
            if (auto *label = dialog.findChild<QLabel *>(QLatin1String(name)))
                texts << label->text();
        if (auto *buttons = dialog.findChild<QDialogButtonBox *>())
            for (QAbstractButton *button : buttons->buttons())
                texts << button->text();
        dialog.reject();
    });
    FrmREC window;
    control<QToolButton>(window, "cmdBrowse")->click();
    EXPECT_EQ(texts, QStringList({"Enregistrer sous", "Voir dans :", "&Nom de fichier :", "Fichiers de type :",
                                  "&Enregistrer", "Annuler"}));
    QMessageBox question(QMessageBox::Question, QStringLiteral("Sonoriel"), QStringLiteral("?"),
                         QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.button(QMessageBox::Yes)->text(), QStringLiteral("&Oui"));
    EXPECT_EQ(question.button(QMessageBox::No)->text(), QStringLiteral("&Non"));

    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) { // the next tests start bare
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}
