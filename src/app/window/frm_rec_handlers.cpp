// The main window's event handlers: device, line and volume, rate and stereo with the format
// chooser, the output file and its numbering, the effect switches, the display timer, and the
// two ways of closing. The record button is frm_rec_recording.cpp's.
#include "app/window/frm_rec.h"

#include "app/window/about_window.h"
#include "app/window/picture_widget.h"
#include "app/window/settings_text.h"
#include "common/app_error.h"
#include "common/rate_text.h"
#include "display/display_tick.h"
#include "effects/window/frm_fx_opts.h"
#include "join/window/frm_join.h"
#include "mp3/window/mp3_encoder.h"
#include "platform/media/audio_player.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

namespace {

constexpr int kMaxRateDigits = 5;

// Opens a window of the given kind over the main window and returns once it is closed.
template <typename Window>
void showModal(QWidget *owner)
{
    Window window(owner);
    window.exec();
}

QString effectsErrorText(const AppError &error)
{
    return QStringLiteral("Effets : erreur %1 (%2, %3)").arg(error.number()).arg(error.text(), error.source());
}

} // namespace

void FrmREC::connectHandlers()
{
    connect(cboDev, &QComboBox::activated, this, [this] { cboDev_Click(); });
    connect(cboRecLine, &QComboBox::activated, this, [this] { cboRecLine_Click(); });
    connect(sldVol, &QSlider::valueChanged, this, [this] { sldVol_Change(); });
    connect(cboSamplerate, &QComboBox::activated, this, [this] { cboSamplerate_Click(); });
    connect(chkStereo, &QCheckBox::clicked, this, [this] { chkStereo_Click(); });
    connect(cmdSelFmt, &QToolButton::clicked, this, [this] { cmdSelFmt_Click(); });
    connect(cmdBrowse, &QToolButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    for (int i = 0; i < static_cast<int>(chkFX.size()); ++i)
        connect(chkFX[i], &QCheckBox::clicked, this, [this, i] { chkFX_Click(i); });
    connect(cmdFXOpts, &QPushButton::clicked, this, [this] { frmFXOpts::ShowEx(*clsEffects, this); });
    connect(cmdDo, &QPushButton::clicked, this, [this] { cmdDo_Click(); });
    connect(Command1, &QToolButton::clicked, this, [this] { Command1_Click(); });
    // The side windows open modally, one at a time; the capture and the display timer keep
    // running behind them (the About window may open during a recording).
    connect(Command2, &QPushButton::clicked, this, [this] { showModal<Mp3Encoder>(this); });
    connect(Command10, &QPushButton::clicked, this, [this] { showModal<frmJoin>(this); });
    connect(Command3, &QPushButton::clicked, this, [this] { showModal<AboutWindow>(this); });
    connect(m_playerButtons[0], &QToolButton::clicked, this, [this] { MP3->play(); });
    connect(m_playerButtons[1], &QToolButton::clicked, this, [this] { MP3->pause(); });
    connect(m_playerButtons[2], &QToolButton::clicked, this, [this] { MP3->stop(); });
    connect(m_playerButtons[3], &QToolButton::clicked, this, [this] { Command7_Click(); });
    // Without a mixer program to start, the volume buttons say which ones were looked for.
    const auto startMixer = [this](MixerForm form) {
        if (const Status started = startMixerProgram(form); !started)
            showMessage(started.reason());
    };
    connect(m_playerButtons[4], &QToolButton::clicked, this, [startMixer] { startMixer(MixerForm::Compact); });
    connect(m_playerButtons[5], &QToolButton::clicked, this, [startMixer] { startMixer(MixerForm::Full); });

    connectSession();
    cboSamplerate->installEventFilter(this);
    cboSamplerate->lineEdit()->installEventFilter(this);
}

void FrmREC::cboDev_Click()
{
    cboRecLine->clear();
    // The device shown on the chosen line, wherever the sound system's list now puts it.
    if (!selectDevice(m_shownDevices.ids.value(cboDev->currentIndex()))) {
        showMessage(QStringLiteral("Ne peut pas sélectionner le dispositif !"),
                    QStringLiteral("Le périphérique « %1 » ne répond plus.").arg(cboDev->currentText()));
        return;
    }
    FillLineList();
}

void FrmREC::cboRecLine_Click()
{
    if (!clsRecorder->SelectMixerLine(cboRecLine->currentIndex()))
        showMessage(QStringLiteral("Ne peut pas sélectionner la ligne !"));
    // The slider shows the line's volume, but only the user's own move of it sets the volume:
    // writing it back here would lower a source above 100 % (more than the slider can show) and
    // even out channels set apart.
    {
        const QSignalBlocker quiet(sldVol);
        sldVol->setValue(clsRecorder->MixerLineVolume());
    }
    lblVolPer->setText(volumePercentText(sldVol->value(), sldVol->maximum()));
}

void FrmREC::sldVol_Change()
{
    clsRecorder->setMixerLineVolume(sldVol->value());
    lblVolPer->setText(volumePercentText(sldVol->value(), sldVol->maximum()));
}

bool FrmREC::rateTextUsable()
{
    if (rateFromText(cboSamplerate->currentText()) >= 1)
        return true;
    showMessage(QStringLiteral("Fréquence d'échantillonnage invalide !"));
    return false;
}

void FrmREC::applyEffectsRate()
{
    try {
        clsEffects->setSamplerate(rateFromText(cboSamplerate->currentText()));
    } catch (const AppError &error) {
        showMessage(effectsErrorText(error));
    }
}

void FrmREC::applyEffectsChannels()
{
    try {
        clsEffects->setChannels(chkStereo->isChecked() ? 2 : 1);
    } catch (const AppError &error) {
        showMessage(effectsErrorText(error));
    }
}

void FrmREC::cboSamplerate_Click()
{
    if (!blnReady || !rateTextUsable())
        return;
    cmdSelFmt_Click();
    applyEffectsRate();
}

void FrmREC::chkStereo_Click()
{
    if (!blnReady || !rateTextUsable())
        return;
    cmdSelFmt_Click();
    applyEffectsChannels();
}

void FrmREC::cmdSelFmt_Click()
{
    const int rate = rateFromText(cboSamplerate->currentText());
    if (rate < 1) {
        showMessage(QStringLiteral("Fréquence d'échantillonnage invalide !"));
        return;
    }
    clsEncoder->SelectFormat(rate, chkStereo->isChecked() ? 2 : 1, this,
                             QStringLiteral("Selection du format WAV en sortie"));
    ShowWavFormat();
}

void FrmREC::ShowWavFormat()
{
    txtWAVFmt->setText(clsEncoder->FormatTag() + QStringLiteral(" - ") + clsEncoder->FormatID());
    txtWAVFmt->setCursorPosition(0); // the format tag first: a long description is cut at its end
}

void FrmREC::cmdBrowse_Click()
{
    const QString ext = clsEncoder->Encoder_Extension();
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlg"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave); // asks before overwriting
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(strWavDir);
    dialog.setNameFilter(clsEncoder->Encoder_Description() + QStringLiteral(" (*.") + ext + QLatin1Char(')'));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString name = dialog.selectedFiles().constFirst();
    if (name.isEmpty())
        return;
    m_chooserFile = name;
    txtFile->setText(recordingFileName(name));
}

void FrmREC::Check1_Click()
{
    const bool numbering = Check1->isChecked();
    cmdBrowse->setEnabled(!numbering);
    txtFile->setEnabled(!numbering);
}

void FrmREC::chkFX_Click(int index)
{
    const std::int32_t bit = 1 << index;
    const std::int32_t used = clsEffects->EffectsUsed();
    clsEffects->setEffectsUsed(chkFX[index]->isChecked() ? (used | bit) : (used & ~bit));
}

void FrmREC::Command1_Click()
{
    saveSettings();
    close();
}

void FrmREC::tmrVis_Timer()
{
    DisplayTickInputs inputs;
    inputs.isRecording = clsRecorder->IsRecording();
    inputs.intLastBlock = m_session->intLastBlock();
    inputs.stereo = chkStereo->isChecked();
    inputs.lngRecordedMs = m_session->lngRecordedMs();
    inputs.txtFile = m_session->recordingPath();
    DisplayTickTargets targets{*clsPainter, *smoothLeft, *smoothRight, picAmpl->box(),
                               picFreq->box(), picVUL->box(), picVUR->box()};
    const StatusPanels panels = runDisplayTick(inputs, targets);
    m_sizePanel->setText(panels.size);
    m_durationPanel->setText(panels.duration);
    if (!inputs.isRecording)
        return;
    for (PictureWidget *picture : {picAmpl, picFreq, picVUL, picVUR})
        picture->update();
}

void FrmREC::Command7_Click()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlg"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Fichiers Audio (*.mp3 *.wav *.mid *.midi *.rmi)"));
    if (!m_chooserFile.isEmpty())
        dialog.selectFile(m_chooserFile);
    else
        dialog.setDirectory(strWavDir);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_chooserFile = dialog.selectedFiles().constFirst();
    // Cancelling reopens the file chosen before, as the chooser keeps it.
    MP3->open(m_chooserFile);
    if (!m_chooserFile.isEmpty())
        Label1->setText(QFileInfo(m_chooserFile).fileName());
}

// The rate box's key filter. The combo box hands the keys typed into it to its line edit
// directly, past any filter of the line edit's, so the filter watches the combo box itself
// (and the line edit, for keys sent to it).
bool FrmREC::eventFilter(QObject *watched, QEvent *event)
{
    const bool rateBox = watched == cboSamplerate || watched == cboSamplerate->lineEdit();
    if (!rateBox || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Backspace)
        return false; // always passes
    // Keys that type no character: moving, Delete, Tab to the next control, shortcuts such
    // as copy and paste (a pasted text is not filtered).
    const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key->text().isEmpty() || key->key() == Qt::Key_Delete || key->key() == Qt::Key_Tab ||
        key->key() == Qt::Key_Backtab || shortcut)
        return false;
    // Any other character, Return included, passes only as a digit, and only while the text
    // (selected or not) is shorter than five characters.
    const QChar typed = key->text().at(0);
    const bool digit = key->text().size() == 1 && typed >= QLatin1Char('0') && typed <= QLatin1Char('9');
    const bool full = cboSamplerate->currentText().size() >= kMaxRateDigits;
    return !digit || full; // true discards the key
}

void FrmREC::closeEvent(QCloseEvent *event)
{
    if (clsRecorder->IsRecording())
        cmdDo_Click(); // stops the recording; the file gets its header
    event->accept();
}
