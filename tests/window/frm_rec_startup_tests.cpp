// The main window's start-up: folder, defaults, stale settings, a pipe for settings, no sound server.
#include "window_test_support.h"

#include "app/window/settings_text.h"

#include <sys/stat.h>

using FrmRecStartUp = WindowTest;

TEST_F(FrmRecStartUp, FirstRunCreatesTheRecordingsFolderAndSelectsTheFirstDevice)
{
    ModalAnswerer answerer;
    FrmREC window;
    EXPECT_TRUE(QDir(wavFolder()).exists());
    EXPECT_EQ(control<QLineEdit>(window, "txtFile")->text(), wavFolder() + QStringLiteral("/Enregistrement.wav"));
    EXPECT_EQ(control<QLineEdit>(window, "txtWAVFmt")->text(), QStringLiteral("PCM - 44.1 kHz 16 Bit Stereo"));
    EXPECT_EQ(control<QComboBox>(window, "cboDev")->currentText(), window.recorder().DeviceName(0));
    EXPECT_TRUE(answerer.messages.isEmpty()) << answerer.messages.join('|').toStdString();
}

TEST_F(FrmRecStartUp, StoredIndexBeyondTheDeviceListKeepsTheStoredTextsAndRefusesToRecord)
{
    QSettings store = settings();
    for (const auto &[key, value] : {std::pair{"Dispositif", "Carte disparue"}, {"RecLine", "Micro avant"},
                                     {"VolumeREC", "32767"}, {"IncREC", "1"}, {"IndexREC", "7"}})
        store.setValue(QStringLiteral("Settings/") + QLatin1String(key), QString::fromUtf8(value));
    store.sync();
    ModalAnswerer answerer;
    FrmREC window;
    auto *cboDev = control<QComboBox>(window, "cboDev");
    EXPECT_EQ(cboDev->currentIndex(), -1);
    EXPECT_EQ(cboDev->currentText(), QStringLiteral("Carte disparue"));
    EXPECT_EQ(control<QComboBox>(window, "cboRecLine")->currentText(), QStringLiteral("Micro avant"));
    EXPECT_EQ(control<QSlider>(window, "sldVol")->value(), 32767);
    EXPECT_TRUE(control<QCheckBox>(window, "Check1")->isChecked());
    control<QPushButton>(window, "cmdDo")->click();
    EXPECT_FALSE(window.recorder().IsRecording());
    EXPECT_EQ(answerer.messages, QStringList{QStringLiteral("Pas de dispositif sélectionné !")});
}

TEST_F(FrmRecStartUp, ASettingsFileThatIsAPipeIsNeitherWaitedOnNorWrittenThrough)
{
    // Reading a pipe nobody writes to would never end.
    ASSERT_TRUE(QDir().mkpath(configFolder() + QStringLiteral("/Sonoriel")));
    const QByteArray pipe = QFile::encodeName(configFolder() + QStringLiteral("/Sonoriel/Sonoriel.conf"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    ModalAnswerer answerer;
    FrmREC window;
    control<QToolButton>(window, "Command1")->click();
    EXPECT_EQ(answerer.messages, QStringList{QStringLiteral("Les paramètres n'ont pas pu être enregistrés.")});
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
        EXPECT_TRUE(waitUntil([&] { return !answerer.messages.isEmpty(); }));
        QTest::qWait(100); // a second box would have come by now
        EXPECT_EQ(answerer.messages,
                  QStringList{QStringLiteral("Aucun serveur de son ne répond (PulseAudio/PipeWire) : Sonoriel "
                                             "enregistre son entrée virtuelle à la place du son de la carte.")});
        EXPECT_EQ(control<QComboBox>(window, "cboDev")->itemText(0),
                  QStringLiteral("Signal de test (440 Hz et 880 Hz)"));
    }
    qputenv("PULSE_SERVER", server);
}

TEST(SettingsText, LeadingNumbersRoundHalfToEvenAndAChosenNameGetsWavUnlessItEndsWithIt)
{
    EXPECT_EQ(leadingWholeNumber(QStringLiteral(" 12.5 dB")), 12);
    EXPECT_EQ(leadingWholeNumber(QStringLiteral("13.5")), 14);
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/Prise.WAV")), QStringLiteral("/music/Prise.WAV"));
    EXPECT_EQ(recordingFileName(QStringLiteral("/music/prise.mp3")), QStringLiteral("/music/prise.mp3.wav"));
}
