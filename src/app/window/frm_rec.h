// FrmREC, the main window: the owner of the recorder, the encoder, the effects chain and the
// display objects; the input, output, recording, effects, player and window groups; the
// start-up with the persisted settings; and the 25 ms display timer. The record button's
// recording itself is the RecordingSession's. Everything runs on the UI thread.
//
// The controls carry their names as object names (cmdDo, txtFile, sldVol, ...) so that the
// window's tests reach them as a user would.
#pragma once

#include "app/window/format_chooser.h"
#include "app/window/schedule_dialog.h"
#include "display/draw.h"
#include "display/smooth.h"
#include "effects/cls_dsp.h"
#include "recording/encoder_wav.h"
#include "recording/recording_session.h"
#include "recording/wave_in_recorder.h"

#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class PictureWidget;
class StatusNote;
class AudioPlayer;

class FrmREC : public QMainWindow {
    Q_OBJECT
public:
    // Runs the start-up (recordings folder, objects, defaults, device list, settings); the
    // caller shows the window.
    explicit FrmREC(QWidget *parent = nullptr);
    ~FrmREC() override;

    clsDSP &effects() { return *clsEffects; }
    RecordingSession &recording() { return *m_session; }
    WaveInRecorder &recorder() { return *clsRecorder; }
    const QString &wavDir() const { return strWavDir; }

    void cmdSelFmt_Click();
    void ShowWavFormat();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // frm_rec_layout.cpp
    void createControls();
    QWidget *createInputFrame();
    QWidget *createOutputFrame();
    QWidget *createRecordingFrame();
    QWidget *createEffectsFrame();
    QWidget *createPlayerFrame();
    QWidget *createWindowFrame();
    // The size the window opens at: about 361 x 495 pixels, within the screen's free area.
    QSize openingSize() const;

    // frm_rec_startup.cpp
    void startUp();
    void restoreSettings();
    void saveSettings();
    void FillLineList();

    // frm_rec_devices.cpp
    struct DeviceList {
        QStringList names; // as cboDev shows them
        QStringList ids;   // what stays with each device while the list changes
    };
    void watchDevices();
    void stopWatchingDevices();
    void FillDeviceList();
    DeviceList readDeviceList();    // reads the sound system's list afresh
    DeviceList currentDeviceList(); // the list as last read
    void showDeviceList(const DeviceList &list, const QString &shownId);
    // Selects the device of that identity in the recorder; false when it has gone or its
    // selection failed. (By value: the identity may be m_selectedDevice itself.)
    bool selectDevice(QString id);
    void refreshDeviceList();
    // True when the recorder would record the very device that cboDev shows.
    bool shownDeviceSelected();

    // frm_rec_handlers.cpp
    void connectHandlers();
    void cboDev_Click();
    void cboRecLine_Click();
    void sldVol_Change();
    void cboSamplerate_Click();
    void chkStereo_Click();
    void cmdBrowse_Click();
    void Check1_Click();
    void chkFX_Click(int index);
    void Command1_Click();
    void cmdDo_Click();
    void recordingChanged(bool recording);
    void tmrVis_Timer();
    void Command7_Click();
    bool rateTextUsable();
    void applyEffectsRate();
    void applyEffectsChannels();
    // frm_rec_recording.cpp
    void connectSession();
    void setOutputName(const QString &path);
    void showMessage(const QString &text, const QString &reason = {});
    bool confirmReplace(const QString &path);
    // frm_rec_take.cpp: pause, the "Programmer…" plan, the take's state in the status bar,
    // the keyboard shortcuts.
    void connectTakeControls();
    void cmdPause_Click();
    void cmdSchedule_Click();
    void chkMonitor_Toggled(bool on);
    void monitoringStopped(const RecordingFailure &failure);
    void cancelPlan();
    void planClockTick();
    // The plan a take started now goes with (RF64 included); a programmed one waits for its time.
    TakePlan planForStart() const;
    void takeStarted(const TakePlan &plan);
    void takeEnded(StopCause cause, const RecordingFailure &failure);
    void showTakeState();
    void openLastTakeFolder();

    FormatChooserDialogs m_formatChooser; // what clsEncoder asks; outlives it
    // The objects, in the order the start-up creates them.
    std::unique_ptr<clsSmooth> smoothLeft;
    std::unique_ptr<clsSmooth> smoothRight;
    std::unique_ptr<WaveInRecorder> clsRecorder;
    std::unique_ptr<EncoderWAV> clsEncoder;
    std::unique_ptr<clsDSP> clsEffects;
    std::unique_ptr<clsDraw> clsPainter;
    std::unique_ptr<RecordingSession> m_session;

    bool blnReady = false;
    QString strWavDir;
    AudioBackend *m_backend = nullptr; // owned by clsRecorder; null without a sound system
    DeviceList m_shownDevices;         // what cboDev lists, line for line
    QString m_selectedDevice;          // the identity of the recorder's device; empty: none
    QTimer *m_deviceRefresh = nullptr; // gathers the backend's change notices

    QWidget *m_groups = nullptr; // the column of groups, inside a scroll area
    QGroupBox *frmInp = nullptr;
    QComboBox *cboDev = nullptr;
    QComboBox *cboRecLine = nullptr;
    QSlider *sldVol = nullptr;
    QLabel *lblVolPer = nullptr;
    QGroupBox *frmOut = nullptr;
    QComboBox *cboSamplerate = nullptr;
    QCheckBox *chkStereo = nullptr;
    QLineEdit *txtWAVFmt = nullptr;
    QToolButton *cmdSelFmt = nullptr;
    QLineEdit *txtFile = nullptr;
    QToolButton *cmdBrowse = nullptr;
    QCheckBox *Check1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QPushButton *cmdDo = nullptr;
    QPushButton *cmdPause = nullptr;
    QPushButton *cmdSchedule = nullptr;
    QCheckBox *chkMonitor = nullptr; // hear what is recorded
    // The row of the take's buttons (record, pause, plan); room is left at its end for one
    // more small control.
    QHBoxLayout *m_takeButtons = nullptr;
    PictureWidget *picAmpl = nullptr;
    PictureWidget *picFreq = nullptr;
    PictureWidget *picVUL = nullptr;
    PictureWidget *picVUR = nullptr;
    QGroupBox *frmEffects = nullptr;
    std::array<QCheckBox *, 4> chkFX{};
    QPushButton *cmdFXOpts = nullptr;
    QGroupBox *Frame3 = nullptr;
    std::array<QToolButton *, 6> m_playerButtons{}; // Command4 .. Command9
    QLabel *Label1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QToolButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command10 = nullptr;
    QLabel *m_sizePanel = nullptr;
    QLabel *m_durationPanel = nullptr;
    StatusNote *m_takeNote = nullptr;         // the take's state, its plan or the last take
    QLabel *m_cancelPlan = nullptr;           // "Annuler": drops the plan
    QTimer *tmrVis = nullptr;
    AudioPlayer *MP3 = nullptr;

    QString m_chooserFile; // the file chooser's memory, shared by cmdBrowse and Command7

    // The take's plan from "Programmer…": with a start time it waits for m_planAt; without,
    // it goes with the next take the record button starts. Nothing when none is pending.
    std::optional<TakePlan> m_plan;
    QDateTime m_planAt;
    QTimer *m_planClock = nullptr;
    bool m_rf64 = false; // the "RF64" setting: past 4 GiB the file becomes RF64 instead of a part
    // The running take: its plan, its length of recorded sound so far (the session's counter
    // goes back to 0 at the stop) and the last event worth a line in the status bar.
    TakePlan m_takePlan;
    std::int32_t m_takeRecordedMs = 0;
    QString m_takeEvent;
    // The last take, kept in the status bar until the next one starts.
    QStringList m_lastTakeFiles;
    std::int32_t m_lastTakeMs = 0;
    QString m_lastTakeReason;
};
