// The main window's start-up, in its fixed order, and the persisted settings ("Sonoriel",
// group "Settings"; "RF64" beside the five of the first versions). Every step that fails is skipped and the start-up goes on.
#include "app/window/frm_rec.h"

#include "app/window/settings_text.h"
#include "common/file_names.h"
#include "common/paths.h"

#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <sys/stat.h>

namespace {

// The per-user settings file (organisation and application "Sonoriel"), or nothing, with why in
// *problem, when that path holds something other than an ordinary file: reading a pipe would
// wait for a writer for ever, and nothing could be saved over a folder.
std::unique_ptr<QSettings> openSettingsStore(QString *problem = nullptr)
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Sonoriel/Sonoriel.conf");
    struct stat info {};
    if (::stat(fileNameBytes(path).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (problem)
            *problem = QStringLiteral("« %1 » n'est pas un fichier ordinaire.").arg(path);
        return nullptr;
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace

void FrmREC::startUp()
{
    // The recordings folder (the single-instance test ran before the window was created).
    strWavDir = AddBackslash(programFolder()) + QStringLiteral("Wav");
    if (!QDir(strWavDir).exists())
        QDir().mkpath(strWavDir); // a folder that cannot be created is skipped
    txtFile->setText(AddBackslash(strWavDir) + QStringLiteral("Enregistrement.wav"));

    smoothLeft = std::make_unique<clsSmooth>();
    smoothRight = std::make_unique<clsSmooth>();
    smoothLeft->SmoothNew(3);
    smoothRight->SmoothNew(3);
    QString backendError;
    QString backendNotice;
    // Without a sound system the window still opens, with no device to record.
    Result<std::unique_ptr<AudioBackend>> created = createAudioBackend(&backendNotice);
    std::unique_ptr<AudioBackend> backend = created ? std::move(created).value() : nullptr;
    if (!backendNotice.isEmpty()) // said once the window shows
        QTimer::singleShot(0, this, [this, backendNotice] { showMessage(backendNotice); });
    m_backend = backend.get(); // the recorder owns it and lives as long as the window
    clsRecorder = std::make_unique<WaveInRecorder>(std::move(backend));
    clsEncoder = std::make_unique<EncoderWAV>();
    clsEncoder->setFormatChooser(&m_formatChooser);
    // Lowers the largest RIFF file size, as for the command line, so that what happens at the
    // end of a full-size file (a next part, or RF64) can be tried without writing 4 GiB.
    if (const QByteArray limit = qgetenv("SONORIEL_MAX_WAV_BYTES"); !limit.isEmpty()) {
        bool ok = false;
        const qulonglong bytes = limit.toULongLong(&ok);
        if (ok)
            clsEncoder->setMaxFileBytes(bytes);
    }
    clsEffects = std::make_unique<clsDSP>();
    clsPainter = std::make_unique<clsDraw>();
    m_session = std::make_unique<RecordingSession>(*clsRecorder, *clsEncoder, *clsEffects, programFolder());

    cboSamplerate->setEditText(QStringLiteral("44100"));
    chkStereo->setChecked(true);
    blnReady = true;
    ShowWavFormat();
    FillDeviceList();
    applyEffectsRate();
    applyEffectsChannels();
    connectHandlers();
    watchDevices();
    restoreSettings();
    const bool numbering = Check1->isChecked();
    cmdBrowse->setEnabled(!numbering);
    txtFile->setEnabled(!numbering);

    tmrVis = new QTimer(this);
    tmrVis->setObjectName(QStringLiteral("tmrVis"));
    tmrVis->setInterval(25);
    connect(tmrVis, &QTimer::timeout, this, &FrmREC::tmrVis_Timer);
    tmrVis->start();
}

void FrmREC::FillLineList()
{
    cboRecLine->clear();
    const std::int32_t count = clsRecorder->MixerLineCount();
    for (std::int32_t i = 0; i < count; ++i)
        cboRecLine->addItem(clsRecorder->MixerLineName(i));
    const std::int32_t selected = clsRecorder->SelectedMixerLine();
    if (selected < 0 || selected >= count)
        return;
    const QSignalBlocker quiet(cboRecLine);
    cboRecLine->setCurrentIndex(selected);
    cboRecLine_Click();
}

void FrmREC::restoreSettings()
{
    // A settings file that cannot be read gives the defaults.
    const std::unique_ptr<QSettings> store = openSettingsStore();
    if (store)
        store->beginGroup(QStringLiteral("Settings"));
    const auto text = [&store](const char *key, const char *fallback) {
        return store ? store->value(QLatin1String(key), QLatin1String(fallback)).toString() : QString::fromLatin1(fallback);
    };
    cboDev->setEditText(text("Dispositif", "Aucun"));
    cboRecLine->setEditText(text("RecLine", "Aucun"));
    {
        const QSignalBlocker quiet(sldVol); // restoring does not set the mixer's volume
        sldVol->setValue(std::clamp(leadingWholeNumber(text("VolumeREC", "50")), 0, sldVol->maximum()));
    }
    lblVolPer->setText(volumePercentText(sldVol->value(), sldVol->maximum()));
    Check1->setChecked(leadingWholeNumber(text("IncREC", "0")) == 1);
    m_rf64 = leadingWholeNumber(text("RF64", "0")) == 1;
    const int index = leadingWholeNumber(text("IndexREC", "0"));
    if (index < 0 || index >= cboDev->count())
        return; // no such device: the stored texts stay shown
    cboDev->setCurrentIndex(index);
    cboDev_Click();
}

void FrmREC::saveSettings()
{
    QString problem;
    const std::unique_ptr<QSettings> store = openSettingsStore(&problem);
    if (store) {
        store->beginGroup(QStringLiteral("Settings"));
        store->setValue(QStringLiteral("Dispositif"), cboDev->currentText().trimmed());
        store->setValue(QStringLiteral("RecLine"), cboRecLine->currentText().trimmed());
        store->setValue(QStringLiteral("VolumeREC"), QString::number(sldVol->value()));
        store->setValue(QStringLiteral("IncREC"), Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        store->setValue(QStringLiteral("IndexREC"), QString::number(cboDev->currentIndex()));
        store->setValue(QStringLiteral("RF64"), m_rf64 ? QStringLiteral("1") : QStringLiteral("0"));
        store->sync();
        if (store->status() == QSettings::NoError)
            return;
        problem = QStringLiteral("« %1 » ne peut pas être écrit.").arg(store->fileName());
    }
    showMessage(QStringLiteral("Les paramètres n'ont pas pu être enregistrés."), problem);
}
