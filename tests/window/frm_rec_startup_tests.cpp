// The main window's start-up: the recordings folder, the defaults, the device list and the
// settings restored from the store, including values that do not fit their controls.
#include "window_test_support.h"

#include "app/window/frm_rec.h"
#include "app/window/settings_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>

namespace {

void storeSettings(QSettings store, const QString &device, const QString &line, const QString &volume,
                   const QString &numbering, const QString &index)
{
    store.beginGroup(QStringLiteral("Settings"));
    store.setValue(QStringLiteral("Dispositif"), device);
    store.setValue(QStringLiteral("RecLine"), line);
    store.setValue(QStringLiteral("VolumeREC"), volume);
    store.setValue(QStringLiteral("IncREC"), numbering);
    store.setValue(QStringLiteral("IndexREC"), index);
    store.sync();
}

} // namespace

using FrmRecStartUp = WindowTest;

TEST_F(FrmRecStartUp, FirstRunCreatesTheRecordingsFolderAndProposesItsDefaultFile)
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
    EXPECT_EQ(window.effects().Channels(), 2);
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();
}

TEST_F(FrmRecStartUp, FirstRunSelectsTheFirstDeviceAndTheLineItsMixerReports)
{
    ModalAnswerer answerer;
    FrmREC window;
    auto *cboDev = control<QComboBox>(window, "cboDev");
    auto *cboRecLine = control<QComboBox>(window, "cboRecLine");
    ASSERT_GE(cboDev->count(), 1);
    EXPECT_EQ(cboDev->currentIndex(), 0);
    EXPECT_EQ(cboDev->currentText(), window.recorder().DeviceName(0));
    EXPECT_EQ(cboRecLine->count(), window.recorder().MixerLineCount());
    ASSERT_GE(cboRecLine->count(), 1);
    EXPECT_EQ(cboRecLine->currentIndex(), window.recorder().SelectedMixerLine());
    EXPECT_EQ(cboRecLine->currentText(), window.recorder().MixerLineName(window.recorder().SelectedMixerLine()));
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), window.recorder().MixerLineVolume());
    EXPECT_FALSE(control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_TRUE(control<QToolButton>(window, "cmdBrowse")->isEnabled());
}

TEST_F(FrmRecStartUp, StoredIndexBeyondTheDeviceListKeepsTheStoredTexts)
{
    storeSettings(settings(), QStringLiteral("Carte disparue"), QStringLiteral("Micro avant"),
                  QStringLiteral("32767"), QStringLiteral("1"), QStringLiteral("7"));
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
}

TEST_F(FrmRecStartUp, StoredDeviceIsSelectedAndItsMixerOverridesTheStoredLineAndVolume)
{
    storeSettings(settings(), QStringLiteral("Autre"), QStringLiteral("Ligne inventée"),
                  QStringLiteral("12"), QStringLiteral("0"), QStringLiteral("0"));
    ModalAnswerer answerer;
    FrmREC window;
    auto *cboRecLine = control<QComboBox>(window, "cboRecLine");
    EXPECT_EQ(control<QComboBox>(window, "cboDev")->currentText(), window.recorder().DeviceName(0));
    EXPECT_EQ(cboRecLine->currentText(), window.recorder().MixerLineName(window.recorder().SelectedMixerLine()));
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), window.recorder().MixerLineVolume());
}

TEST_F(FrmRecStartUp, UnreadableStoredValuesFallBackWithoutStoppingTheStartUp)
{
    storeSettings(settings(), QString(), QString(), QStringLiteral("beaucoup"), QStringLiteral("oui"),
                  QStringLiteral("-1"));
    ModalAnswerer answerer;
    FrmREC window;
    EXPECT_EQ(control<QComboBox>(window, "cboDev")->currentIndex(), -1);
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), 0);
    EXPECT_EQ(control<QLabel>(window, "lblVolPer")->text(), QStringLiteral("0%"));
    EXPECT_FALSE(control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_TRUE(answerer.messages().isEmpty());
}

TEST(SettingsText, LeadingNumberIsReadAndRoundedHalfToEven)
{
    EXPECT_EQ(leadingWholeNumber(QStringLiteral("50")), 50);
    EXPECT_EQ(leadingWholeNumber(QStringLiteral(" 12.5 dB")), 12);
    EXPECT_EQ(leadingWholeNumber(QStringLiteral("13.5")), 14);
    EXPECT_EQ(leadingWholeNumber(QStringLiteral("-1")), -1);
    EXPECT_EQ(leadingWholeNumber(QStringLiteral("2e3x")), 2000);
    EXPECT_EQ(leadingWholeNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(leadingWholeNumber(QString()), 0);
    EXPECT_EQ(leadingWholeNumber(QStringLiteral("99999999999999")), 0);
}

TEST(SettingsText, VolumePercentTruncatesTowardZero)
{
    EXPECT_EQ(volumePercentText(65535, 65535), QStringLiteral("100%"));
    EXPECT_EQ(volumePercentText(32767, 65535), QStringLiteral("49%"));
    EXPECT_EQ(volumePercentText(655, 65535), QStringLiteral("0%"));
    EXPECT_EQ(volumePercentText(0, 65535), QStringLiteral("0%"));
}

TEST(SettingsText, ChosenOutputNameGetsWavUnlessItEndsWithItInAnyCase)
{
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/essai")), QStringLiteral("/music/essai.wav"));
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/Prise.WAV")), QStringLiteral("/music/Prise.WAV"));
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/prise.Wav")), QStringLiteral("/music/prise.Wav"));
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/prise.mp3")), QStringLiteral("/music/prise.mp3.wav"));
    EXPECT_EQ(recordingFileName(QStringLiteral("wav")), QStringLiteral("wav.wav"));
}
