// The take's controls of the main window on the virtual device, driven by clicks and keys: the
// pause (button and Ctrl+P), a take programmed through "Programmer…" and its cancelling, the
// dialog's refusals, sound activation and parts for the next take, the RF64 setting, and the
// last take in the status bar.
#include "window_test_support.h"

#include "../support/signal_helpers.h"
#include "../support/tools.h"

#include "app/window/frm_rec.h"
#include "app/window/status_note.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kRate = 44100;

// What QDesktopServices is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

enum class Look { Idle, Recording, Waiting };

// The record button's colour, read from its pixels beside the caption.
Look lookOf(QPushButton &button)
{
    const QImage image = button.grab().toImage();
    const QColor colour = image.pixelColor(5, image.height() / 2);
    if (colour.red() > 150 && colour.green() < 80 && colour.blue() < 80)
        return Look::Recording;
    if (colour.red() > 200 && colour.green() > 120 && colour.green() < 200 && colour.blue() < 80)
        return Look::Waiting;
    return Look::Idle;
}

void setBox(QDialog &dialog, const char *name, bool checked)
{
    if (auto *group = dialog.findChild<QGroupBox *>(QLatin1String(name)))
        group->setChecked(checked);
    else
        control<QCheckBox>(dialog, name)->setChecked(checked);
}

void setText(QDialog &dialog, const char *name, const QString &text)
{
    control<QLineEdit>(dialog, name)->setText(text);
}

void clickOk(QDialog &dialog)
{
    for (auto *button : dialog.findChildren<QPushButton *>())
        if (button->text() == QLatin1String("OK"))
            QTest::mouseClick(button, Qt::LeftButton);
}

// Opens "Programmer…" and lets fill() set its values, then clicks OK.
void plan(FrmREC &window, ModalAnswerer &answerer, const std::function<void(QDialog &)> &fill)
{
    const int answered = answerer.dialogsAnswered();
    answerer.setHandler([&](QDialog &dialog) {
        fill(dialog);
        clickOk(dialog);
        if (dialog.isVisible()) {
            ADD_FAILURE() << control<QLabel>(dialog, "lblProblem")->text().toStdString();
            dialog.reject();
        }
    });
    QTest::mouseClick(control<QPushButton>(window, "cmdSchedule"), Qt::LeftButton);
    answerer.setHandler({});
    EXPECT_EQ(answerer.dialogsAnswered(), answered + 1);
}

bool showActive(QWidget &window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

QString noteOf(FrmREC &window)
{
    return control<StatusNote>(window, "sbarTake")->text();
}

std::int64_t frames(const std::vector<std::int16_t> &stereo)
{
    return static_cast<std::int64_t>(stereo.size() / 2);
}

} // namespace

class TakeControls : public WindowTest {
protected:
    void TearDown() override
    {
        qunsetenv("SONORIEL_MAX_WAV_BYTES");
        WindowTest::TearDown();
    }

    // The virtual device plays this file instead of its test signal.
    void playFile(const std::vector<std::int16_t> &stereo)
    {
        const QString input = m_inputs.filePath(QStringLiteral("input.wav"));
        ASSERT_TRUE(writePcmWav(input, kRate, 2, stereo));
        qputenv("SONORIEL_VIRTUAL_INPUT", QFile::encodeName(input));
    }

    QTemporaryDir m_inputs;
};

TEST_F(TakeControls, PauseByItsButtonAndByCtrlPLeavesThePausedTimeOutOfTheTake)
{
    qputenv("SONORIEL_VIRTUAL_SPEED", "1"); // the device's time is the clock's
    playFile(makeCountingSignal(1, 40 * kRate));
    ModalAnswerer answerer;
    FrmREC window;
    ASSERT_TRUE(showActive(window)); // the shortcuts go to the active window
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    auto *cmdPause = control<QPushButton>(window, "cmdPause");
    const QString path = control<QLineEdit>(window, "txtFile")->text();
    EXPECT_FALSE(cmdPause->isEnabled());
    EXPECT_TRUE(cmdDo->toolTip().contains(QStringLiteral("Ctrl+R")));
    EXPECT_TRUE(cmdPause->toolTip().contains(QStringLiteral("Ctrl+P")));
    const Look idle = lookOf(*cmdDo);
    const int idleHeight = cmdDo->height();

    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(window.recording().isRecording()) << answerer.messages().join('|').toStdString();
    EXPECT_EQ(cmdDo->text(), QStringLiteral("Stopper"));
    EXPECT_TRUE(cmdPause->isEnabled());
    EXPECT_EQ(lookOf(*cmdDo), Look::Recording);
    EXPECT_NE(idle, Look::Recording);
    QApplication::processEvents();
    EXPECT_EQ(cmdDo->height(), idleHeight) << "the colour moves the window's controls";

    double pausedSeconds = 0;
    const auto pauseFor = [&](const std::function<void()> &toggle) {
        const std::int32_t before = window.recording().lngRecordedMs();
        ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > before + 500; }));
        QElapsedTimer paused;
        toggle();
        paused.start();
        ASSERT_TRUE(window.recording().isPaused());
        EXPECT_EQ(cmdPause->text(), QStringLiteral("Reprendre"));
        EXPECT_EQ(noteOf(window), QStringLiteral("Enregistrement en pause."));
        EXPECT_EQ(lookOf(*cmdDo), Look::Waiting);
        QTest::qWait(200);
        const std::int32_t held = window.recording().lngRecordedMs();
        QTest::qWait(800);
        EXPECT_EQ(window.recording().lngRecordedMs(), held) << "the duration went on during the pause";
        toggle();
        pausedSeconds += static_cast<double>(paused.elapsed()) / 1000.0;
        EXPECT_FALSE(window.recording().isPaused());
        EXPECT_EQ(cmdPause->text(), QStringLiteral("Pause"));
        EXPECT_EQ(lookOf(*cmdDo), Look::Recording);
    };
    pauseFor([&] { QTest::mouseClick(cmdPause, Qt::LeftButton); });
    pauseFor([&] { QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier); });
    const std::int32_t before = window.recording().lngRecordedMs();
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > before + 500; }));
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    ASSERT_FALSE(window.recording().isRecording());
    EXPECT_FALSE(cmdPause->isEnabled());
    EXPECT_EQ(lookOf(*cmdDo), idle);

    const std::vector<std::int16_t> samples = decodeWithSox(path);
    const CountingCheck counting = checkCounting(samples, 1);
    ASSERT_EQ(counting.breaks.size(), 2u) << "each pause is not one clean cut";
    EXPECT_NEAR(static_cast<double>(counting.missingFrames) / kRate, pausedSeconds, 0.3);
    // The status bar keeps the take: its length (what the file holds) and its name.
    const double seconds = static_cast<double>(frames(samples)) / kRate;
    EXPECT_NEAR(ffprobeInfo(path).seconds, seconds, 1e-3);
    EXPECT_EQ(noteOf(window), QStringLiteral("Dernière prise : 0:0%1, Enregistrement.wav").arg(std::lround(seconds)));
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();

    EXPECT_TRUE(control<QWidget>(window, "Frame2")->toolTip().contains(QStringLiteral("Ctrl+Q")));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(settings().allKeys().isEmpty()) << "Ctrl+Q saved the settings";
}

TEST_F(TakeControls, AProgrammedTakeStartsAtItsTimeAndStopsAfterItsLengthWhileACancelledOneRecordsNothing)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    const QString path = control<QLineEdit>(window, "txtFile")->text();
    auto *cancel = control<QLabel>(window, "lblCancelPlan");

    QTime due = QTime::currentTime().addSecs(2);
    plan(window, answerer, [&](QDialog &dialog) {
        setBox(dialog, "chkStartAt", true);
        control<QTimeEdit>(dialog, "timStartAt")->setTime(due);
    });
    EXPECT_TRUE(noteOf(window).startsWith(QStringLiteral("Enregistrement programmé le "))) << noteOf(window).toStdString();
    ASSERT_TRUE(cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(noteOf(window), QString());
    QTest::qWait(3000);
    EXPECT_FALSE(window.recording().isRecording());
    EXPECT_FALSE(QFile::exists(path));

    due = QTime::currentTime().addSecs(3);
    due = QTime(due.hour(), due.minute(), due.second());
    plan(window, answerer, [&](QDialog &dialog) {
        setBox(dialog, "chkStartAt", true);
        control<QTimeEdit>(dialog, "timStartAt")->setTime(due);
        setBox(dialog, "chkStopAfter", true);
        setText(dialog, "txtStopAfter", QStringLiteral("2"));
    });
    EXPECT_EQ(noteOf(window), QStringLiteral("Enregistrement programmé le %1 à %2 (arrêt après 0:02).")
                                  .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")),
                                       due.toString(QStringLiteral("HH:mm:ss"))));
    ASSERT_TRUE(waitUntil([&] { return window.recording().isRecording(); }, std::chrono::seconds(10)));
    int startedAt = QTime::currentTime().msecsSinceStartOfDay();
    if (startedAt < due.msecsSinceStartOfDay() - 12 * 3600 * 1000) // the day turned meanwhile
        startedAt += 24 * 3600 * 1000;
    EXPECT_GE(startedAt, due.msecsSinceStartOfDay()) << "started before its time";
    EXPECT_LE(startedAt, due.msecsSinceStartOfDay() + 1000);
    EXPECT_EQ(control<QPushButton>(window, "cmdDo")->text(), QStringLiteral("Stopper"));
    EXPECT_FALSE(cancel->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !window.recording().isRecording(); }, std::chrono::seconds(10)));

    // Stopped by the length asked: two seconds of sound, to the capture block.
    const double seconds = ffprobeInfo(path).seconds;
    EXPECT_GE(seconds, 2.0);
    EXPECT_LT(seconds, 2.0 + 10240.0 / 4 / kRate + 1e-3);
    EXPECT_EQ(soxInfo(path).seconds, seconds);
    EXPECT_EQ(control<QPushButton>(window, "cmdDo")->text(), QStringLiteral("Enregistrer"));
    // The last take stays in the status bar; a click on it opens its folder.
    EXPECT_EQ(noteOf(window), QStringLiteral("Dernière prise : 0:02, Enregistrement.wav"));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QTest::mouseClick(control<StatusNote>(window, "sbarTake"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.front().toLocalFile(), wavFolder());
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();
}

TEST_F(TakeControls, TheDialogRefusesBadValuesInFrenchAndPlansNothing)
{
    ModalAnswerer answerer([](QDialog &dialog) {
        const auto refusal = [&] {
            clickOk(dialog);
            EXPECT_TRUE(dialog.isVisible());
            return control<QLabel>(dialog, "lblProblem")->text();
        };
        // A value is typed once its box is checked.
        EXPECT_FALSE(control<QLineEdit>(dialog, "txtStopAfter")->isEnabled());
        setBox(dialog, "chkStopAfter", true);
        EXPECT_TRUE(control<QLineEdit>(dialog, "txtStopAfter")->isEnabled());
        setText(dialog, "txtStopAfter", QStringLiteral("-5"));
        EXPECT_EQ(refusal(), QStringLiteral("Durée d'enregistrement invalide : -5 s."));
        setText(dialog, "txtStopAfter", QStringLiteral("1,5"));
        setBox(dialog, "grpTrigger", true);
        setText(dialog, "txtTriggerDb", QStringLiteral("trois"));
        EXPECT_EQ(refusal(), QStringLiteral("Valeur invalide pour « Seuil » : trois"));
        setText(dialog, "txtTriggerDb", QStringLiteral("3"));
        EXPECT_TRUE(refusal().startsWith(QStringLiteral("Seuil de déclenchement invalide : 3 dBFS")));
        setText(dialog, "txtTriggerDb", QStringLiteral("-30"));
        setBox(dialog, "chkSplit", true);
        setText(dialog, "txtSplit", QStringLiteral("0,01"));
        EXPECT_TRUE(refusal().startsWith(QStringLiteral("Parties trop courtes : ")));
        dialog.reject();
    });
    FrmREC window;
    window.show();
    QTest::mouseClick(control<QPushButton>(window, "cmdSchedule"), Qt::LeftButton);
    ASSERT_EQ(answerer.dialogsAnswered(), 1);
    EXPECT_EQ(noteOf(window), QString());
    EXPECT_FALSE(control<QLabel>(window, "lblCancelPlan")->isVisible());

    // The next take is an ordinary one: no wait for sound, one file, no stop of its own.
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    QTest::mouseClick(cmdDo, Qt::LeftButton);
    ASSERT_TRUE(window.recording().isRecording());
    EXPECT_FALSE(window.recording().isWaitingForSound());
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 2000; }));
    EXPECT_TRUE(window.recording().isRecording());
    QTest::mouseClick(cmdDo, Qt::LeftButton);
    EXPECT_EQ(folderEntries(wavFolder()), QStringList{"Enregistrement.wav"});
}

TEST_F(TakeControls, SoundActivationAndPartsFromTheDialogGoWithTheNextTakeOnly)
{
    // At the pace of real time, a second of silence, then a tone: the notes of the take can be
    // read between its events.
    qputenv("SONORIEL_VIRTUAL_SPEED", "1");
    std::vector<std::int16_t> input(static_cast<std::size_t>(kRate * 2), 0);
    const std::vector<std::int16_t> tone = makeTone(1000, kRate, 2, 30 * kRate);
    input.insert(input.end(), tone.begin(), tone.end());
    playFile(input);
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    auto *cmdDo = control<QPushButton>(window, "cmdDo");
    plan(window, answerer, [](QDialog &dialog) {
        setBox(dialog, "grpTrigger", true);
        setText(dialog, "txtTriggerDb", QStringLiteral("-20"));
        setBox(dialog, "chkSplit", true);
        setText(dialog, "txtSplit", QStringLiteral("1"));
    });
    EXPECT_EQ(noteOf(window), QStringLiteral("Prochaine prise : seuil -20 dBFS, parties de 1 s."));

    QTest::mouseClick(cmdDo, Qt::LeftButton);
    ASSERT_TRUE(window.recording().isWaitingForSound());
    EXPECT_EQ(noteOf(window), QStringLiteral("En attente du son (seuil -20 dBFS)…"));
    EXPECT_EQ(lookOf(*cmdDo), Look::Waiting);
    ASSERT_TRUE(waitUntil([&] { return !window.recording().isWaitingForSound(); }));
    EXPECT_EQ(lookOf(*cmdDo), Look::Recording);
    EXPECT_EQ(noteOf(window), QStringLiteral("Son détecté : l'enregistrement commence."));
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 2300; }));
    EXPECT_EQ(noteOf(window), QStringLiteral("Partie suivante : Enregistrement-003.wav"));
    QTest::mouseClick(cmdDo, Qt::LeftButton);

    const QStringList parts = window.recording().takeFiles();
    ASSERT_EQ(parts.size(), 3);
    double seconds = 0;
    for (int part = 0; part < 3; ++part) {
        EXPECT_EQ(parts[part], wavFolder() + QStringLiteral("/Enregistrement-00%1.wav").arg(part + 1));
        seconds += soxInfo(parts[part]).seconds;
        if (part < 2) {
            EXPECT_NEAR(soxInfo(parts[part]).seconds, 1.0, 1e-3) << parts[part].toStdString();
        }
    }
    EXPECT_EQ(noteOf(window),
              QStringLiteral("Dernière prise : 0:0%1, Enregistrement-001.wav (3 parties)").arg(std::lround(seconds)));
    // Nothing of the silence was written: the first part opens on the tone.
    const std::vector<std::int16_t> first = decodeWithSox(parts[0]);
    ASSERT_GT(first.size(), 200u);
    EXPECT_GT(std::abs(*std::max_element(first.begin(), first.begin() + 200,
                                         [](std::int16_t a, std::int16_t b) { return std::abs(a) < std::abs(b); })),
              8000);

    // The take after it is an ordinary one.
    QTest::mouseClick(cmdDo, Qt::LeftButton);
    ASSERT_TRUE(window.recording().isRecording());
    EXPECT_FALSE(window.recording().isWaitingForSound());
    EXPECT_EQ(noteOf(window), QStringLiteral("Enregistrement en cours."));
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 1100; }));
    QTest::mouseClick(cmdDo, Qt::LeftButton);
    EXPECT_EQ(window.recording().takeFiles(), QStringList{wavFolder() + QStringLiteral("/Enregistrement.wav")});
    EXPECT_GT(soxInfo(wavFolder() + QStringLiteral("/Enregistrement.wav")).seconds, 1.1);
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join('|').toStdString();
}

TEST_F(TakeControls, AFullFileGoesOnInAPartSaidInTheStatusBarOrBecomesRf64AsTheSettingAsks)
{
    constexpr qint64 kLimit = 200000; // about 1.1 s of 44.1 kHz stereo
    qputenv("SONORIEL_MAX_WAV_BYTES", QByteArray::number(kLimit));
    ModalAnswerer answerer;
    answerer.answerQuestionsWith(QMessageBox::Yes);
    {
        FrmREC window;
        window.show();
        auto *cmdDo = control<QPushButton>(window, "cmdDo");
        QTest::mouseClick(cmdDo, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return window.recording().takeFiles().size() == 2; }));
        EXPECT_EQ(noteOf(window),
                  RecordingSession::kNextPartMessage.arg(wavFolder() + QStringLiteral("/Enregistrement-001.wav")));
        QTest::mouseClick(cmdDo, Qt::LeftButton);
        EXPECT_TRUE(answerer.messages().isEmpty()) << "a box during the take: " << answerer.messages().join('|').toStdString();

        plan(window, answerer, [](QDialog &dialog) {
            EXPECT_FALSE(control<QCheckBox>(dialog, "chkRF64")->isChecked());
            setBox(dialog, "chkRF64", true);
        });
        QTest::mouseClick(cmdDo, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 2000; }));
        QTest::mouseClick(cmdDo, Qt::LeftButton);
        const QString path = wavFolder() + QStringLiteral("/Enregistrement.wav");
        EXPECT_EQ(window.recording().takeFiles(), QStringList{path});
        EXPECT_TRUE(readFileBytes(path).startsWith("RF64"));
        EXPECT_GT(QFileInfo(path).size(), kLimit);
        EXPECT_GT(ffprobeInfo(path).seconds, 2.0);
        QTest::mouseClick(control<QToolButton>(window, "Command1"), Qt::LeftButton);
    }
    QSettings store = settings();
    EXPECT_EQ(store.value(QStringLiteral("Settings/RF64")).toString(), QStringLiteral("1"));
    FrmREC again;
    plan(again, answerer, [](QDialog &dialog) { EXPECT_TRUE(control<QCheckBox>(dialog, "chkRF64")->isChecked()); });
}

#include "take_controls_tests.moc"

TEST_F(TakeControls, MonitoringThatCannotBeHeardUnticksItselfAndSaysWhyWhileTheTakeRecordsOn)
{
    ModalAnswerer answerer;
    FrmREC window;
    ASSERT_TRUE(showActive(window)); // the shortcuts go to the active window
    auto *chkMonitor = control<QCheckBox>(window, "chkMonitor");
    EXPECT_TRUE(chkMonitor->toolTip().contains(QStringLiteral("Ctrl+E")));
    QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(chkMonitor->isChecked()) << "asked before the take, monitoring waits for it";
    EXPECT_TRUE(window.recording().isMonitoring());

    // The virtual device has no sound output: the take starts, monitoring does not.
    QTest::mouseClick(control<QPushButton>(window, "cmdDo"), Qt::LeftButton);
    ASSERT_TRUE(window.recording().isRecording()) << answerer.messages().join('|').toStdString();
    ASSERT_TRUE(waitUntil([&] { return !chkMonitor->isChecked(); }));
    EXPECT_FALSE(window.recording().isMonitoring());
    EXPECT_TRUE(noteOf(window).startsWith(QStringLiteral("Écoute impossible. L'entrée virtuelle n'a pas de sortie son")))
        << noteOf(window).toStdString();
    // Asked again during the take, it is tried at once.
    QSignalSpy ticked(chkMonitor, &QCheckBox::toggled);
    QTest::mouseClick(chkMonitor, Qt::LeftButton);
    ASSERT_EQ(ticked.count(), 1);
    EXPECT_TRUE(ticked.at(0).at(0).toBool());
    EXPECT_FALSE(chkMonitor->isChecked());
    EXPECT_FALSE(window.recording().isMonitoring());
    const std::int32_t before = window.recording().lngRecordedMs();
    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > before + 300; }));
    QTest::mouseClick(control<QPushButton>(window, "cmdDo"), Qt::LeftButton);
    EXPECT_GT(ffprobeInfo(control<QLineEdit>(window, "txtFile")->text()).seconds, 0.3);
    EXPECT_TRUE(answerer.messages().isEmpty()) << "a box for what the status bar says";
}
