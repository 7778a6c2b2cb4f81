// The take's controls: pause (button, Ctrl+P), "Programmer…" and its refusals, the last take's note.
#include "window_test_support.h"

#include "app/window/status_note.h"

// What QDesktopServices is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_SLOT void open(const QUrl &url) { opened << url; }
};

static void setBox(QDialog &dialog, const char *name, bool checked)
{
    auto *group = dialog.findChild<QGroupBox *>(QLatin1String(name));
    group ? group->setChecked(checked) : control<QCheckBox>(dialog, name)->setChecked(checked);
}

static void clickOk(QDialog &dialog)
{
    for (auto *button : dialog.findChildren<QPushButton *>())
        if (button->text() == QLatin1String("OK")) QTest::mouseClick(button, Qt::LeftButton);
}

static QString noteOf(FrmREC &window) { return control<StatusNote>(window, "sbarTake")->text(); }

using TakeControls = WindowTest;

TEST_F(TakeControls, PauseByItsButtonAndByCtrlPHoldsTheDurationAndSaysSo)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window)); // the shortcuts go to the active window
    auto *cmdPause = control<QPushButton>(window, "cmdPause");
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(window.recording().isRecording()) << answerer.messages.join('|').toStdString();

    ASSERT_TRUE(waitUntil([&] { return window.recording().lngRecordedMs() > 300; }));
    QTest::mouseClick(cmdPause, Qt::LeftButton);
    ASSERT_TRUE(window.recording().isPaused());
    EXPECT_EQ(cmdPause->text(), QStringLiteral("Reprendre"));
    EXPECT_EQ(noteOf(window), QStringLiteral("Enregistrement en pause."));
    const std::int32_t held = window.recording().lngRecordedMs();
    QTest::qWait(500);
    EXPECT_EQ(window.recording().lngRecordedMs(), held) << "the duration went on during the pause";
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(window.recording().isPaused());
    EXPECT_EQ(cmdPause->text(), QStringLiteral("Pause"));
    EXPECT_EQ(noteOf(window), QStringLiteral("Enregistrement en cours."));
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    ASSERT_FALSE(window.recording().isRecording());
    EXPECT_FALSE(cmdPause->isEnabled());
    EXPECT_TRUE(noteOf(window).startsWith(QStringLiteral("Dernière prise : 0:0"))) << noteOf(window).toStdString();
    UrlCatcher catcher; // a click on the last take opens its folder
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QTest::mouseClick(control<StatusNote>(window, "sbarTake"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.front().toLocalFile(), wavFolder());

    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(settings().allKeys().isEmpty()) << "Ctrl+Q saved the settings";
}

TEST_F(TakeControls, AProgrammedTakeIsAnnouncedAndCanBeCancelled)
{
    const QTime now = QTime::currentTime().addSecs(3600), due(now.hour(), now.minute(), now.second());
    ModalAnswerer answerer([&](QDialog &dialog) {
        setBox(dialog, "chkStartAt", true);
        control<QTimeEdit>(dialog, "timStartAt")->setTime(due);
        setBox(dialog, "chkStopAfter", true);
        control<QLineEdit>(dialog, "txtStopAfter")->setText(QStringLiteral("2"));
        clickOk(dialog);
        if (dialog.isVisible()) {
            ADD_FAILURE() << control<QLabel>(dialog, "lblProblem")->text().toStdString();
            dialog.reject();
        }
    });
    FrmREC window;
    window.show();
    auto *cancel = control<QLabel>(window, "lblCancelPlan");
    QTest::mouseClick(control<QPushButton>(window, "cmdSchedule"), Qt::LeftButton);
    const QDate day = due < QTime::currentTime() ? QDate::currentDate().addDays(1) : QDate::currentDate();
    EXPECT_EQ(noteOf(window), QStringLiteral("Enregistrement programmé le %1 à %2 (arrêt après 0:02).")
                                  .arg(day.toString(QStringLiteral("dd/MM/yyyy")), due.toString(QStringLiteral("HH:mm:ss"))));
    ASSERT_TRUE(cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(noteOf(window), QString());
}

TEST_F(TakeControls, TheDialogRefusesBadValuesInFrenchAndPlansNothing)
{
    ModalAnswerer answerer([](QDialog &dialog) {
        const auto refusal = [&] {
            clickOk(dialog);
            EXPECT_TRUE(dialog.isVisible());
            return control<QLabel>(dialog, "lblProblem")->text();
        };
        setBox(dialog, "chkStopAfter", true);
        control<QLineEdit>(dialog, "txtStopAfter")->setText(QStringLiteral("-5"));
        EXPECT_EQ(refusal(), QStringLiteral("Durée d'enregistrement invalide : -5 s."));
        control<QLineEdit>(dialog, "txtStopAfter")->setText(QStringLiteral("1,5"));
        setBox(dialog, "grpTrigger", true);
        control<QLineEdit>(dialog, "txtTriggerDb")->setText(QStringLiteral("trois"));
        EXPECT_EQ(refusal(), QStringLiteral("Valeur invalide pour « Seuil » : trois"));
        control<QLineEdit>(dialog, "txtTriggerDb")->setText(QStringLiteral("3"));
        // The take's own refusals (the shortest part among them) are checked by the record command's tests.
        EXPECT_TRUE(refusal().startsWith(QStringLiteral("Seuil de déclenchement invalide : 3 dBFS")));
        dialog.reject();
    });
    FrmREC window;
    window.show();
    QTest::mouseClick(control<QPushButton>(window, "cmdSchedule"), Qt::LeftButton);
    ASSERT_EQ(answerer.dialogs, 1);
    EXPECT_EQ(noteOf(window), QString());
}

#include "take_controls_tests.moc"
