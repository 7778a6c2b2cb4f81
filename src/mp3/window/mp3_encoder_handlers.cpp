// The conversion window's handlers: the enabling rule of the encode button, the two file
// pickers, the preset choice, the conversion with its cancel request and progress handler, and
// closing. An error of the encoder is shown in a message box and leaves the window usable.
#include "mp3/window/mp3_encoder.h"

#include "common/app_error.h"
#include "common/paths.h"
#include "mp3/encoding_presets.h"
#include "mp3/lame_encoder.h"
#include "mp3/window/mp3_output_name.h"
#include "mp3/window/progress_bar.h"
#include "platform/files/same_file.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

const QString kEncodeCaption = QStringLiteral("&Encoder");
const QString kCancelCaption = QStringLiteral("Annuler");

} // namespace

void Mp3Encoder::connectHandlers()
{
    connect(txtSourceFile, &QLineEdit::textChanged, this, [this] { applyEnablingRule(); });
    connect(txtOutputMp3File, &QLineEdit::textChanged, this, [this] { applyEnablingRule(); });
    connect(cmdPickSource, &QPushButton::clicked, this, [this] { cmdPickSource_Click(); });
    connect(cmdPickMp3File, &QPushButton::clicked, this, [this] { cmdPickMp3File_Click(); });
    connect(cboOption, &QComboBox::currentIndexChanged, this, [this] { cboOption_Click(); });
    connect(cmdEncode, &QPushButton::clicked, this, [this] { cmdEncode_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

void Mp3Encoder::applyEnablingRule()
{
    const QString source = txtSourceFile->text();
    const QString target = txtOutputMp3File->text();
    const bool holds = FileExists(source) && isUsableMp3Name(target);
    if (holds) {
        m_cEncoder->setWavFile(source);
        m_cEncoder->setMp3File(target);
    }
    cmdEncode->setEnabled(holds);
}

void Mp3Encoder::cmdPickSource_Click()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgSource"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Fichiers Wave (*.WAV)"), QStringLiteral("Tous les fichiers (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return; // cancelling changes nothing
    txtSourceFile->setText(dialog.selectedFiles().constFirst());
    applyEnablingRule();
}

void Mp3Encoder::cmdPickMp3File_Click()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgMp3"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave); // asks before overwriting an existing file
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Fichiers MP3 (*.mp3)"), QStringLiteral("Tous les fichiers (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("mp3"));
    const QString proposed = proposedMp3Name(txtSourceFile->text());
    if (!proposed.isEmpty())
        dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    // The chosen file is to be replaced, so it goes now; the source itself, under whatever
    // name or link, is never deleted (the enabling rule then keeps the encode button off, as
    // the name is taken).
    if (!isSameFileOnDisk(chosen, txtSourceFile->text()))
        QFile::remove(chosen);
    txtOutputMp3File->setText(chosen);
    applyEnablingRule();
}

void Mp3Encoder::cboOption_Click()
{
    if (cboOption->currentIndex() < 0)
        return;
    m_cEncoder->setEncodingPreset(cboOption->currentData().toInt());
}

void Mp3Encoder::cmdEncode_Click()
{
    if (cmdEncode->text() == kCancelCaption) {
        m_cancel = true;
        return;
    }
    m_cancel = false;
    m_converting = true;
    cmdEncode->setText(kCancelCaption);
    QFile::remove(m_cEncoder->Mp3File()); // a second conversion replaces the first one's file

    QString failure;
    QString reason;
    try {
        m_cEncoder->Encode();
    } catch (const AppError &error) {
        failure = QStringLiteral("Erreur %1 : %2").arg(error.number()).arg(error.text());
        reason = error.reason();
    } catch (const std::exception &error) {
        failure = QStringLiteral("Erreur : %1").arg(QString::fromLocal8Bit(error.what()));
    }
    m_converting = false;
    cmdEncode->setText(kEncodeCaption);
    picEncode->setEnabled(true);

    if (!failure.isEmpty())
        showError(failure, reason);
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void Mp3Encoder::m_cEncoder_Progress(std::int32_t samplesDone, std::int32_t totalSamples, bool &cancel)
{
    // The last event comes once the file is complete; a cancel request seen then changes
    // nothing, so the bar reports the finished conversion rather than a cancel that did not
    // happen.
    const bool finished = samplesDone >= totalSamples;
    cancel = m_cancel && !finished;
    if (cancel) {
        m_progressBar->setText(QStringLiteral("Encodage annulé"));
        m_progressBar->setMax(totalSamples);
        m_progressBar->setValue(totalSamples);
        m_progressBar->repaint();
        return;
    }
    m_progressBar->setMax(totalSamples);
    m_progressBar->setValue(samplesDone);
    // Between chunks the window takes its input and paints, so that "Annuler" and "Fermer" can
    // be pressed; the file and preset controls stay closed meanwhile.
    picEncode->setEnabled(false);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    picEncode->setEnabled(true);
    m_progressBar->setText(encodingProgressText(samplesDone, totalSamples));
    m_progressBar->repaint();
}

void Mp3Encoder::Command1_Click()
{
    close();
}

void Mp3Encoder::requestCloseWhileConverting()
{
    // The conversion is still on the call stack: it is cancelled, and the window closes when
    // it has returned.
    m_cancel = true;
    m_closePending = true;
}

void Mp3Encoder::closeEvent(QCloseEvent *event)
{
    if (!m_converting) {
        QDialog::closeEvent(event);
        return;
    }
    requestCloseWhileConverting();
    event->ignore();
}

void Mp3Encoder::reject()
{
    if (!m_converting) {
        QDialog::reject();
        return;
    }
    requestCloseWhileConverting();
}

void Mp3Encoder::showError(const QString &text, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Sonoriel"), text, QMessageBox::Ok, this);
    box.setInformativeText(reason);
    box.exec();
}
