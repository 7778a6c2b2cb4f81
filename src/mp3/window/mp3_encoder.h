// Mp3Encoder, the MP3 conversion window: the source and target files (typed or picked), one of
// sixteen encoding presets, the encoder library's version panel, and the conversion itself with
// its progress bar along the bottom edge and the "Annuler" button. The window owns one
// cLameEncoder for its whole life. The conversion runs inside the encode button's handler; the
// progress handler lets the event loop run between chunks so that "Annuler" and "Fermer" reach
// the window. Everything runs on the UI thread.
//
// The controls carry their names as object names (cmdEncode, txtSourceFile, cboOption, ...) so
// that tests reach them as a user would.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class cLameEncoder;
class cProgressBar;

class Mp3Encoder : public QDialog {
    Q_OBJECT
public:
    explicit Mp3Encoder(QWidget *parent = nullptr);
    ~Mp3Encoder() override;

    cLameEncoder &encoder() { return *m_cEncoder; }
    cProgressBar &progressBar() { return *m_progressBar; }
    bool isConverting() const { return m_converting; }

    // The handler of the encoder's Progress event (16-bit samples, both channels counted).
    void m_cEncoder_Progress(std::int32_t samplesDone, std::int32_t totalSamples, bool &cancel);

    // Escape and the title bar's close button: while a conversion runs they cancel it, and the
    // window closes once the conversion has wound up.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // mp3_encoder.cpp
    void Form_Load();
    void createControls();
    QFrame *createEncodeFrame();
    QFrame *createVersionFrame();
    void fillVersionPanel();
    void fillPresets();

    // mp3_encoder_handlers.cpp
    void connectHandlers();
    void applyEnablingRule();
    void cmdPickSource_Click();
    void cmdPickMp3File_Click();
    void cboOption_Click();
    void cmdEncode_Click();
    void Command1_Click();
    void requestCloseWhileConverting();
    // An exclamation box with OK; the reason, when there is one, as its informative text.
    void showError(const QString &text, const QString &reason = {});

    std::unique_ptr<cLameEncoder> m_cEncoder;
    cProgressBar *m_progressBar = nullptr;
    bool m_cancel = false;       // set by "Annuler", read by the progress handler
    bool m_converting = false;   // between the start of Encode and its return
    bool m_closePending = false; // the window was asked to close while converting
    QString m_loadError;         // a failure of the version query, shown once the window is up

    QFrame *picEncode = nullptr;
    QLabel *lblSourceFile = nullptr;
    QLineEdit *txtSourceFile = nullptr;
    QPushButton *cmdPickSource = nullptr;
    QLabel *lblMp3File = nullptr;
    QLineEdit *txtOutputMp3File = nullptr;
    QPushButton *cmdPickMp3File = nullptr;
    QLabel *lblPreset = nullptr;
    QLabel *lblEncode = nullptr;
    QComboBox *cboOption = nullptr;
    QPushButton *cmdEncode = nullptr;
    QPushButton *Command1 = nullptr;
    QFrame *picVersionInfo = nullptr;
    QLineEdit *txtDLLMajorVersion = nullptr;
    QLineEdit *txtDLLMinorVersion = nullptr;
    QLineEdit *txtMajorVersion = nullptr;
    QLineEdit *txtMinorVersion = nullptr;
    QLineEdit *txtReleaseDate = nullptr;
    QLineEdit *txtHomePage = nullptr;
};
