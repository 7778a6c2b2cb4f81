// The take's controls beside the record button: the pause, the "Programmer…" plan (a start at a
// clock time, a stop after a length, sound activation, parts) with its line and its "Annuler"
// in the status bar, the record button's colour while a take runs, the last take kept in the
// status bar, and the keyboard shortcuts. A programmed take starts through the record button's
// own handler, with its checks and messages.
#include "app/window/frm_rec.h"

#include "app/window/status_note.h"
#include "common/number_format.h"
#include "common/rate_text.h"
#include "display/status_texts.h"
#include "recording/take_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeySequence>
#include <QSignalBlocker>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cmath>

namespace {

// The clock is read again on every tick: it may be set while the plan waits.
constexpr int kPlanClockMs = 200;

std::int32_t millisecondsOf(double seconds)
{
    return static_cast<std::int32_t>(std::min(std::llround(seconds * 1000.0), std::llround(2e9)));
}

// What a plan asks beyond its start, as the status bar says it.
QString planDetails(const TakePlan &plan)
{
    QStringList details;
    if (plan.stopAfterSeconds)
        details << QStringLiteral("arrêt après %1").arg(FormatDuration(millisecondsOf(*plan.stopAfterSeconds)));
    if (plan.take.triggerDb)
        details << QStringLiteral("seuil %1 dBFS").arg(formatNumber(*plan.take.triggerDb));
    if (plan.take.splitSeconds)
        details << QStringLiteral("parties de %1 s").arg(formatNumber(*plan.take.splitSeconds));
    return details.join(QStringLiteral(", "));
}

// The record button while a take runs: red while it records, amber while it waits (paused,
// or waiting for sound).
const QString kRecordingLook = QStringLiteral(
    "QPushButton { background-color: #c62828; color: white; font-weight: bold;"
    " border: 1px solid #7f0000; border-radius: 3px; padding: 3px 8px; }");
const QString kWaitingLook = QStringLiteral(
    "QPushButton { background-color: #f0a500; color: black; font-weight: bold;"
    " border: 1px solid #a06a00; border-radius: 3px; padding: 3px 8px; }");

} // namespace

void FrmREC::connectTakeControls()
{
    connect(cmdPause, &QPushButton::clicked, this, [this] { cmdPause_Click(); });
    connect(cmdSchedule, &QPushButton::clicked, this, [this] { cmdSchedule_Click(); });
    connect(chkMonitor, &QCheckBox::toggled, this, [this](bool on) { chkMonitor_Toggled(on); });
    connect(m_session.get(), &RecordingSession::monitoringFailed, this,
            [this](const RecordingFailure &failure) { monitoringStopped(failure); });
    connect(m_cancelPlan, &QLabel::linkActivated, this, [this] { cancelPlan(); });
    connect(m_takeNote, &StatusNote::clicked, this, [this] { openLastTakeFolder(); });
    m_planClock = new QTimer(this);
    m_planClock->setObjectName(QStringLiteral("tmrPlan"));
    m_planClock->setInterval(kPlanClockMs);
    connect(m_planClock, &QTimer::timeout, this, [this] { planClockTick(); });

    connect(m_session.get(), &RecordingSession::blockRecorded, this, [this] {
        m_takeRecordedMs = m_session->lngRecordedMs();
        // The length asked is of recorded sound: the stop is the user's own.
        if (m_takePlan.stopAfterSeconds && m_session->isRecording() &&
            m_takeRecordedMs >= millisecondsOf(*m_takePlan.stopAfterSeconds))
            cmdDo_Click();
    });
    connect(m_session.get(), &RecordingSession::triggered, this, [this] {
        m_takeEvent = QStringLiteral("Son détecté : l'enregistrement commence.");
        showTakeState();
    });
    connect(m_session.get(), &RecordingSession::partStarted, this, [this](const QString &path, bool full) {
        m_takeEvent = full ? RecordingSession::kNextPartMessage.arg(path)
                           : QStringLiteral("Partie suivante : %1").arg(QFileInfo(path).fileName());
        showTakeState();
    });

    // Shortcuts of the whole window; a disabled button ignores its click.
    const auto shortcut = [this](QKeyCombination keys, auto action) {
        auto *made = new QShortcut(QKeySequence(keys), this);
        connect(made, &QShortcut::activated, this, action);
    };
    shortcut(Qt::CTRL | Qt::Key_R, [this] { cmdDo->click(); });
    shortcut(Qt::CTRL | Qt::Key_P, [this] { cmdPause->click(); });
    shortcut(Qt::CTRL | Qt::Key_Q, [this] { close(); });
    shortcut(Qt::CTRL | Qt::Key_E, [this] { chkMonitor->click(); });
}

void FrmREC::cmdPause_Click()
{
    if (!m_session->isRecording())
        return;
    m_session->setPaused(!m_session->isPaused());
    cmdPause->setText(m_session->isPaused() ? QStringLiteral("Reprendre") : QStringLiteral("Pause"));
    showTakeState();
}

// Monitoring may be asked before a take (it opens with the take) or during one.
void FrmREC::chkMonitor_Toggled(bool on)
{
    if (const std::optional<RecordingFailure> failure = m_session->setMonitoring(on))
        monitoringStopped(*failure);
}

// Said in the status bar: a box would hold up the take being recorded.
void FrmREC::monitoringStopped(const RecordingFailure &failure)
{
    const QSignalBlocker quiet(chkMonitor);
    chkMonitor->setChecked(false);
    m_takeEvent = failure.reason.isEmpty() ? failure.message : QStringLiteral("%1 %2").arg(failure.message, failure.reason);
    m_takeNote->setNote(m_takeEvent);
}

void FrmREC::cmdSchedule_Click()
{
    TakePlan shown = m_plan.value_or(TakePlan{});
    shown.take.rf64 = m_rf64;
    ScheduleDialog dialog(shown, rateFromText(cboSamplerate->currentText()),
                          static_cast<std::int16_t>(chkStereo->isChecked() ? 2 : 1), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TakePlan plan = dialog.plan();
    m_rf64 = plan.take.rf64;
    m_planClock->stop();
    m_plan.reset();
    if (plan.asksMore())
        m_plan = plan;
    if (m_plan && m_plan->startAt) {
        m_planAt = nextOccurrence(*m_plan->startAt);
        m_planClock->start();
    }
    showTakeState();
}

void FrmREC::cancelPlan()
{
    m_planClock->stop();
    m_plan.reset();
    showTakeState();
}

void FrmREC::planClockTick()
{
    if (!m_plan || !m_plan->startAt) {
        m_planClock->stop();
        return;
    }
    if (QDateTime::currentDateTime() < m_planAt)
        return;
    m_planClock->stop();
    if (m_session->isRecording()) {
        m_takeEvent = QStringLiteral("La prise programmée à %1 n'a pas démarré : un enregistrement était en cours.")
                          .arg(m_planAt.time().toString(QStringLiteral("HH:mm:ss")));
        m_plan.reset();
        showTakeState();
        return;
    }
    // From now on the plan is the next take's; the record button's handler starts it (or says
    // why it cannot, and the plan waits for the button).
    m_plan->startAt.reset();
    cmdDo_Click();
    if (m_plan && !m_plan->asksMore())
        m_plan.reset(); // it asked only for its start
    showTakeState();
}

TakePlan FrmREC::planForStart() const
{
    TakePlan plan = m_plan && !m_plan->startAt ? *m_plan : TakePlan{};
    plan.take.rf64 = m_rf64;
    return plan;
}

void FrmREC::takeStarted(const TakePlan &plan)
{
    if (m_plan && !m_plan->startAt)
        m_plan.reset(); // it went with this take
    m_takePlan = plan;
    m_takeRecordedMs = 0;
    m_takeEvent.clear();
    m_lastTakeFiles.clear();
}

void FrmREC::takeEnded(StopCause cause, const RecordingFailure &failure)
{
    m_lastTakeFiles = m_session->takeFiles();
    m_lastTakeMs = m_takeRecordedMs;
    m_lastTakeReason = cause == StopCause::User ? QString() : failure.message;
    m_takePlan = {};
    m_takeEvent.clear();
}

void FrmREC::showTakeState()
{
    const bool recording = m_session->isRecording();
    const bool paused = recording && m_session->isPaused();
    const bool waiting = recording && m_session->isWaitingForSound();
    cmdDo->setStyleSheet(!recording ? QString() : paused || waiting ? kWaitingLook : kRecordingLook);
    m_cancelPlan->setVisible(!recording && m_plan.has_value());

    if (recording) {
        QString note = m_takeEvent;
        if (paused)
            note = QStringLiteral("Enregistrement en pause.");
        else if (waiting)
            note = QStringLiteral("En attente du son (seuil %1 dBFS)…").arg(formatNumber(m_takePlan.take.triggerDb.value_or(0)));
        else if (note.isEmpty())
            note = m_takePlan.stopAfterSeconds ? QStringLiteral("Enregistrement : %1").arg(planDetails(m_takePlan))
                                               : QStringLiteral("Enregistrement en cours.");
        m_takeNote->setNote(note);
        return;
    }
    if (m_plan) {
        const QString details = planDetails(*m_plan);
        if (m_plan->startAt) {
            const QString note = QStringLiteral("Enregistrement programmé le %1 à %2")
                                     .arg(m_planAt.date().toString(QStringLiteral("dd/MM/yyyy")),
                                          m_planAt.time().toString(QStringLiteral("HH:mm:ss")));
            m_takeNote->setNote(details.isEmpty() ? note + QLatin1Char('.')
                                                  : QStringLiteral("%1 (%2).").arg(note, details));
        } else {
            m_takeNote->setNote(QStringLiteral("Prochaine prise : %1.").arg(details));
        }
        return;
    }
    if (!m_lastTakeFiles.isEmpty()) {
        const QString first = m_lastTakeFiles.constFirst();
        QString name = QFileInfo(first).fileName();
        if (m_lastTakeFiles.size() > 1)
            name += QStringLiteral(" (%1 parties)").arg(m_lastTakeFiles.size());
        QString toolTip = m_lastTakeFiles.join(QLatin1Char('\n')) + QStringLiteral("\nCliquer pour ouvrir le dossier.");
        if (!m_lastTakeReason.isEmpty())
            toolTip.prepend(m_lastTakeReason + QLatin1Char('\n'));
        m_takeNote->setNote(QStringLiteral("Dernière prise : %1, %2").arg(FormatDuration(m_lastTakeMs), name), toolTip, true);
        return;
    }
    m_takeNote->setNote(m_takeEvent); // a programmed take that could not start says so
}

void FrmREC::openLastTakeFolder()
{
    if (m_session->isRecording() || m_plan || m_lastTakeFiles.isEmpty())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(m_lastTakeFiles.constFirst()).absolutePath()));
}
