// The main window's start-up: the recordings folder, the defaults, the device list and the
// settings restored from the store, including values that do not fit their controls.
#include "window_test_support.h"

#include "app/window/frm_rec.h"
#include "app/window/settings_text.h"

#include "../support/tools.h"

#include <QApplication>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <sys/stat.h>

namespace {

void storeSettings(QSettings store, const QStringList &values)
{
    const char *keys[] = {"Dispositif", "RecLine", "VolumeREC", "IncREC", "IndexREC"};
    for (int i = 0; i < 5; ++i)
        store.setValue(QStringLiteral("Settings/") + QLatin1String(keys[i]), values.value(i));
    store.sync();
}

} // namespace

using FrmRecStartUp = WindowTest;

TEST_F(FrmRecStartUp, FirstRunCreatesTheRecordingsFolderAndSelectsTheFirstDevice)
{
    ModalAnswerer answerer;
    FrmREC window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Sonoriel : Enregistrement WAV"));
    EXPECT_TRUE(QDir(wavFolder()).exists());
    EXPECT_EQ(window.wavDir(), homeFolder() + QStringLiteral("/Wav"));
    EXPECT_EQ(control<QLineEdit>(window, "txtFile")->text(), wavFolder() + QStringLiteral("/Enregistrement.wav"));
    EXPECT_EQ(control<QComboBox>(window, "cboSamplerate")->currentText(), QStringLiteral("44100"));
    EXPECT_TRUE(control<QCheckBox>(window, "chkStereo")->isChecked());
    EXPECT_EQ(control<QLineEdit>(window, "txtWAVFmt")->text(), QStringLiteral("PCM - 44.1 kHz 16 Bit Stereo"));
    EXPECT_EQ(window.effects().samplerate(), 44100);

    auto *cboDev = control<QComboBox>(window, "cboDev");
    auto *cboRecLine = control<QComboBox>(window, "cboRecLine");
    EXPECT_EQ(cboDev->currentText(), window.recorder().DeviceName(0));
    EXPECT_EQ(cboRecLine->count(), window.recorder().MixerLineCount());
    EXPECT_EQ(cboRecLine->currentIndex(), window.recorder().SelectedMixerLine());
    EXPECT_EQ(cboRecLine->currentText(), window.recorder().MixerLineName(window.recorder().SelectedMixerLine()));
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), window.recorder().MixerLineVolume());
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();
}

// The stored texts are shown as they are; recording then has no device to use.
TEST_F(FrmRecStartUp, StoredIndexBeyondTheDeviceListKeepsTheStoredTextsAndRefusesToRecord)
{
    storeSettings(settings(), {"Carte disparue", "Micro avant", "32767", "1", "7"});
    ModalAnswerer answerer;
    FrmREC window;
    auto *cboDev = control<QComboBox>(window, "cboDev");
    EXPECT_EQ(cboDev->currentIndex(), -1);
    EXPECT_EQ(cboDev->currentText(), QStringLiteral("Carte disparue"));
    EXPECT_EQ(control<QComboBox>(window, "cboRecLine")->currentText(), QStringLiteral("Micro avant"));
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), 32767);
    EXPECT_EQ(control<QLabel>(window, "lblVolPer")->text(), QStringLiteral("49%"));
    EXPECT_TRUE(control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_FALSE(control<QToolButton>(window, "cmdBrowse")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(window, "txtFile")->isEnabled());
    EXPECT_TRUE(answerer.messages().isEmpty());

    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    cmdDo->click();
    EXPECT_FALSE(window.recorder().IsRecording());
    EXPECT_EQ(cmdDo->text(), QStringLiteral("Enregistrer"));
    EXPECT_EQ(answerer.messages(), QStringList{QStringLiteral("Pas de dispositif sélectionné !")});
}

TEST_F(FrmRecStartUp, StoredDeviceIsSelectedAndItsMixerOverridesTheStoredLineAndVolume)
{
    storeSettings(settings(), {"Autre", "Ligne inventée", "12", "0", "0"});
    ModalAnswerer answerer;
    FrmREC window;
    auto *cboRecLine = control<QComboBox>(window, "cboRecLine");
    EXPECT_EQ(control<QComboBox>(window, "cboDev")->currentText(), window.recorder().DeviceName(0));
    EXPECT_EQ(cboRecLine->currentText(), window.recorder().MixerLineName(window.recorder().SelectedMixerLine()));
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), window.recorder().MixerLineVolume());
}

TEST_F(FrmRecStartUp, UnreadableStoredValuesFallBackWithoutStoppingTheStartUp)
{
    storeSettings(settings(), {"", "", "beaucoup", "oui", "-1"});
    ModalAnswerer answerer;
    FrmREC window;
    EXPECT_EQ(control<QComboBox>(window, "cboDev")->currentIndex(), -1);
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), 0);
    EXPECT_EQ(control<QLabel>(window, "lblVolPer")->text(), QStringLiteral("0%"));
    EXPECT_FALSE(control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_TRUE(answerer.messages().isEmpty());
}

TEST_F(FrmRecStartUp, ASettingsFileThatIsAPipeIsNeitherWaitedOnNorWrittenThrough)
{
    // Reading a pipe nobody writes to would never end.
    ASSERT_TRUE(QDir().mkpath(configFolder() + QStringLiteral("/Sonoriel")));
    const QByteArray pipe = QFile::encodeName(configFolder() + QStringLiteral("/Sonoriel/Sonoriel.conf"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    ModalAnswerer answerer;
    FrmREC window;
    EXPECT_FALSE(control<QCheckBox>(window, "Check1")->isChecked()); // the defaults
    control<QToolButton>(window, "Command1")->click();
    ASSERT_EQ(answerer.messages().size(), 1);
    EXPECT_EQ(answerer.messages().front(), QStringLiteral("Les paramètres n'ont pas pu être enregistrés."));
    struct stat info {};
    ASSERT_EQ(::stat(pipe.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(FrmRecStartUp, WithoutASoundServerTheTestSignalIsNamedSoAndTheUserToldOnce)
{
    qunsetenv("SONORIEL_AUDIO");
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/pulse/native");
    ModalAnswerer answerer;
    {
        FrmREC window;
        window.show();
        EXPECT_TRUE(waitUntil([&] { return !answerer.messages().isEmpty(); }));
        QApplication::processEvents();
        EXPECT_EQ(answerer.messages(),
                  QStringList{QStringLiteral("Aucun serveur de son ne répond (PulseAudio/PipeWire) : Sonoriel "
                                             "enregistre son entrée virtuelle à la place du son de la carte.")});
        EXPECT_EQ(control<QComboBox>(window, "cboDev")->itemText(0),
                  QStringLiteral("Signal de test (440 Hz et 880 Hz)"));
    }
    qputenv("PULSE_SERVER", server);
}

TEST(SettingsText, LeadingNumbersRoundHalfToEvenAndAChosenNameGetsWavUnlessItEndsWithItInAnyCase)
{
    const std::pair<const char *, int> numbers[] = {{" 12.5 dB", 12}, {"13.5", 14}, {"2e3x", 2000}, {"abc", 0},
                                                    {"99999999999999", 0}};
    for (const auto &[text, value] : numbers)
        EXPECT_EQ(leadingWholeNumber(QString::fromLatin1(text)), value) << text;
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/essai")), QStringLiteral("/music/essai.wav"));
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/Prise.WAV")), QStringLiteral("/music/Prise.WAV"));
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/prise.mp3")), QStringLiteral("/music/prise.mp3.wav"));
}
