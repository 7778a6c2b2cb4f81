// The record button over the recording session: the numbering of the output name on every
// click, the stop, the start from what the controls hold (asking before a take is replaced), the
// window's state while recording, and the messages of a recording that failed or stopped.
#include "app/window/frm_rec.h"

#include "common/paths.h"
#include "common/rate_text.h"
#include "recording/recording_numbering.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

void FrmREC::connectSession()
{
    connect(m_session.get(), &RecordingSession::stopped, this, [this](StopCause cause, const RecordingFailure &failure) {
        takeEnded(cause, failure);
        recordingChanged(false);
        if (cause == StopCause::User)
            return;
        // As the record button would: with numbering on, the name moves on past the file just closed.
        if (Check1->isChecked())
            setOutputName(nextNumberedRecordingPath(programFolder()));
        // The silence after the sound ends a sound-activated take as it was asked: the status
        // bar says so, with the take.
        if (cause != StopCause::Silence)
            showMessage(failure.message, failure.reason);
    });
    connect(m_session.get(), &RecordingSession::effectsFault, this, [this](const QString &text) { showMessage(text); });
    connectTakeControls();
}

void FrmREC::setOutputName(const QString &path)
{
    txtFile->setText(path);
    txtFile->setToolTip(path);
}

void FrmREC::cmdDo_Click()
{
    // Before a stop too: the file being recorded exists, so the name moves on to the next free
    // number, ready for the next recording.
    if (Check1->isChecked())
        setOutputName(nextNumberedRecordingPath(programFolder()));
    if (m_session->isRecording()) {
        m_session->stop();
        return;
    }
    const TakePlan plan = planForStart();
    const RecordingRequest request{txtFile->text(), Check1->isChecked(), shownDeviceSelected(),
                                   rateFromText(cboSamplerate->currentText()),
                                   static_cast<std::int16_t>(chkStereo->isChecked() ? 2 : 1), plan.take};
    // Asked once nothing else would refuse the start, and never for a numbered name.
    std::optional<RecordingFailure> failure = m_session->check(request);
    const QString firstFile = RecordingSession::firstFile(request);
    if (!failure && !request.numbered && FileExists(firstFile) && !confirmReplace(firstFile))
        return;
    if (!failure)
        failure = m_session->start(request);
    if (failure) {
        showMessage(failure->message, failure->reason);
        return;
    }
    if (request.numbered)
        setOutputName(m_session->recordingPath()); // another recording may have taken the name meanwhile
    takeStarted(plan);
    recordingChanged(true);
}

void FrmREC::recordingChanged(bool recording)
{
    cmdDo->setText(recording ? QStringLiteral("Stopper") : QStringLiteral("Enregistrer"));
    frmInp->setEnabled(!recording);
    frmOut->setEnabled(!recording);
    const bool idle = cmdDo->text() == QLatin1String("Enregistrer");
    // The conversion and join windows, saving the settings and the player wait for the end of
    // the recording; the About window and the mixer buttons stay at hand.
    const std::initializer_list<QWidget *> sideButtons = {Command1, Command2, Command10, m_playerButtons[0],
                                                          m_playerButtons[1], m_playerButtons[2], m_playerButtons[3]};
    for (QWidget *button : sideButtons)
        button->setEnabled(idle);
    cmdSchedule->setEnabled(idle);
    cmdPause->setEnabled(!idle);
    cmdPause->setText(QStringLiteral("Pause"));
    showTakeState();
}

void FrmREC::showMessage(const QString &text, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Sonoriel"), text, QMessageBox::Ok, this);
    box.setInformativeText(reason);
    box.exec();
}

bool FrmREC::confirmReplace(const QString &path)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Sonoriel"),
                    QStringLiteral("Le fichier « %1 » existe déjà. Voulez-vous le remplacer ?")
                        .arg(QDir::toNativeSeparators(path)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Oui"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Non"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
