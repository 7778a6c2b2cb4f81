// The conversion window's load: the encoder, the version panel, the progress bar, the preset
// list, and the controls laid out with Qt layouts in two framed groups above the buttons, with
// the progress bar as a 20-pixel strip along the bottom edge.
#include "mp3/window/mp3_encoder.h"

#include "common/app_error.h"
#include "mp3/encoding_presets.h"
#include "mp3/lame_encoder.h"
#include "mp3/window/progress_bar.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel *heading(const QString &text, QWidget *parent, const char *name)
{
    QLabel *label = named(new QLabel(text, parent), name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A read-only box of the version panel.
QLineEdit *versionBox(QWidget *parent, const char *name)
{
    QLineEdit *box = named(new QLineEdit(parent), name);
    box->setReadOnly(true);
    return box;
}

} // namespace

Mp3Encoder::Mp3Encoder(QWidget *parent) : QDialog(parent)
{
    Form_Load();
}

Mp3Encoder::~Mp3Encoder() = default; // releasing the encoder closes any library stream

void Mp3Encoder::Form_Load()
{
    m_cEncoder = std::make_unique<cLameEncoder>();
    m_cEncoder->setProgressHandler([this](std::int32_t done, std::int32_t total, bool &cancel) {
        m_cEncoder_Progress(done, total, cancel);
    });
    createControls();
    fillVersionPanel();

    m_progressBar->setShowText(true);
    m_progressBar->setBackColor(palette().color(QPalette::Base));
    m_progressBar->setForeColor(palette().color(QPalette::Text));
    m_progressBar->setBarColor(palette().color(QPalette::Highlight));
    m_progressBar->setBarForeColor(palette().color(QPalette::HighlightedText));

    fillPresets();
    connectHandlers();
    cboOption->setCurrentIndex(kDefaultPresetIndex); // runs cboOption_Click
    applyEnablingRule(); // two empty names: the encode button starts disabled
}

void Mp3Encoder::createControls()
{
    setWindowTitle(QStringLiteral("Sonoriel : Conversion Wav --> Mp3 - [Encodeur LAME]"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *body = new QVBoxLayout;
    const int margin = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    body->setContentsMargins(margin, margin, margin, margin);
    body->addWidget(createEncodeFrame());

    cmdEncode = named(new QPushButton(QStringLiteral("&Encoder"), this), "cmdEncode");
    Command1 = named(new QPushButton(QStringLiteral("Fermer"), this), "Command1");
    // The caption changes to "Annuler" while converting; the button keeps the wider width.
    cmdEncode->setMinimumWidth(std::max(cmdEncode->sizeHint().width(),
                                        cmdEncode->fontMetrics().horizontalAdvance(QStringLiteral("Annuler")) +
                                            2 * cmdEncode->fontMetrics().averageCharWidth()));
    cmdEncode->setAutoDefault(false);
    Command1->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdEncode);
    buttons->addWidget(Command1);
    body->addLayout(buttons);
    body->addWidget(createVersionFrame());
    outer->addLayout(body, 1);

    // The bar: 2 pixels from the left, right and bottom edges, 20 pixels high.
    m_progressBar = named(new cProgressBar(this), "progressBar");
    m_progressBar->setFixedHeight(20);
    auto *barRow = new QVBoxLayout;
    barRow->setContentsMargins(2, 0, 2, 2);
    barRow->addWidget(m_progressBar);
    outer->addLayout(barRow);
}

QFrame *Mp3Encoder::createEncodeFrame()
{
    picEncode = named(new QFrame(this), "picEncode");
    picEncode->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(picEncode);

    lblSourceFile = named(new QLabel(QStringLiteral("Fichier source Wave :"), picEncode), "lblSourceFile");
    txtSourceFile = named(new QLineEdit(picEncode), "txtSourceFile");
    cmdPickSource = named(new QPushButton(QStringLiteral("Parcourir..."), picEncode), "cmdPickSource");
    lblMp3File = named(new QLabel(QStringLiteral("Fichier Mp3 :"), picEncode), "lblMp3File");
    txtOutputMp3File = named(new QLineEdit(picEncode), "txtOutputMp3File");
    cmdPickMp3File = named(new QPushButton(QStringLiteral("Parcourir..."), picEncode), "cmdPickMp3File");
    lblPreset = heading(QStringLiteral("Options d'encodage :"), picEncode, "lblPreset");
    lblEncode = named(new QLabel(QStringLiteral("Option d'encodage :"), picEncode), "lblEncode");
    cboOption = named(new QComboBox(picEncode), "cboOption");
    cboOption->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (QPushButton *button : {cmdPickSource, cmdPickMp3File})
        button->setAutoDefault(false);
    const int pathWidth = txtSourceFile->fontMetrics().averageCharWidth() * 48;
    txtSourceFile->setMinimumWidth(pathWidth);
    txtOutputMp3File->setMinimumWidth(pathWidth);

    grid->addWidget(lblSourceFile, 0, 0, 1, 2);
    grid->addWidget(txtSourceFile, 1, 0);
    grid->addWidget(cmdPickSource, 1, 1);
    grid->addWidget(lblMp3File, 2, 0, 1, 2);
    grid->addWidget(txtOutputMp3File, 3, 0);
    grid->addWidget(cmdPickMp3File, 3, 1);
    grid->addWidget(lblPreset, 4, 0, 1, 2);
    auto *presetRow = new QHBoxLayout;
    presetRow->addWidget(lblEncode);
    presetRow->addWidget(cboOption, 1);
    grid->addLayout(presetRow, 5, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    return picEncode;
}

QFrame *Mp3Encoder::createVersionFrame()
{
    picVersionInfo = named(new QFrame(this), "picVersionInfo");
    picVersionInfo->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(picVersionInfo);
    grid->addWidget(heading(QStringLiteral("Détails de l'encodeur LAME :"), picVersionInfo, "lblVersionDetails"),
                    0, 0, 1, 4);

    struct Row {
        const char *label, *caption, *box;
        QLineEdit *Mp3Encoder::*field;
        int row, column, span;
    };
    const Row rows[] = {
        {"Label1", "Version majeure de la DLL :", "txtDLLMajorVersion", &Mp3Encoder::txtDLLMajorVersion, 1, 0, 1},
        {"Label2", "Version mineure de la DLL :", "txtDLLMinorVersion", &Mp3Encoder::txtDLLMinorVersion, 1, 2, 1},
        {"Label3", "Version majeure :", "txtMajorVersion", &Mp3Encoder::txtMajorVersion, 2, 0, 1},
        {"Label4", "Version mineure :", "txtMinorVersion", &Mp3Encoder::txtMinorVersion, 2, 2, 1},
        {"Label5", "Date de mise à jour :", "txtReleaseDate", &Mp3Encoder::txtReleaseDate, 3, 0, 3},
        {"Label6", "Site Internet :", "txtHomePage", &Mp3Encoder::txtHomePage, 4, 0, 3},
    };
    for (const Row &row : rows) {
        grid->addWidget(named(new QLabel(QString::fromUtf8(row.caption), picVersionInfo), row.label), row.row,
                        row.column);
        QLineEdit *box = versionBox(picVersionInfo, row.box);
        this->*row.field = box;
        grid->addWidget(box, row.row, row.column + 1, 1, row.span);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return picVersionInfo;
}

void Mp3Encoder::fillVersionPanel()
{
    // The library is loaded here for the first time; a missing or broken one leaves the panel
    // empty, and its error is shown once the window is on the screen.
    try {
        const cLameEncoderVersion &version = m_cEncoder->Version();
        txtDLLMajorVersion->setText(QString::number(version.DllMajorVersion()));
        txtDLLMinorVersion->setText(QString::number(version.DllMinorVersion()));
        txtMajorVersion->setText(QString::number(version.MajorVersion()));
        txtMinorVersion->setText(QString::number(version.MinorVersion()));
        txtReleaseDate->setText(QLocale().toString(version.ReleaseDate(), QLocale::LongFormat));
        txtHomePage->setText(version.HomePage());
    } catch (const AppError &error) {
        m_loadError = QStringLiteral("Erreur %1 : %2").arg(error.number()).arg(error.text());
    }
}

void Mp3Encoder::fillPresets()
{
    for (const EncodingPresetItem &item : kEncodingPresets)
        cboOption->addItem(QString::fromUtf8(item.text), item.value);
}

void Mp3Encoder::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_loadError.isEmpty())
        return;
    const QString text = std::exchange(m_loadError, QString());
    QTimer::singleShot(0, this, [this, text] { showError(text); });
}
