// The main window's controls and their containment, in one column of full-width groups:
// input, output, recording, effects, player and mixer, window buttons, then the status bar.
// Qt layouts size everything from the font, so the window scales with the screen density.
#include "app/window/frm_rec.h"

#include "app/window/overlay_slot.h"
#include "app/window/picture_widget.h"
#include "display/display_tick.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A picture button: the desktop theme's icon, or Qt's own when the theme has none.
QToolButton *pictureButton(QWidget *parent, const char *name, const char *themeIcon,
                           QStyle::StandardPixmap fallback, const QString &toolTip)
{
    auto *button = named(new QToolButton(parent), name);
    button->setIcon(QIcon::fromTheme(QLatin1String(themeIcon), parent->style()->standardIcon(fallback)));
    button->setToolTip(toolTip);
    button->setAutoRaise(false);
    return button;
}

QLabel *label(const QString &text, QWidget *parent, const char *name)
{
    return named(new QLabel(text, parent), name);
}

std::int32_t rgbValue(const QColor &color)
{
    return color.red() + 256 * color.green() + 65536 * color.blue();
}

} // namespace

void FrmREC::createControls()
{
    setWindowTitle(QStringLiteral("Sonoriel : Enregistrement WAV"));
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    // The line list and the slider belong to the window itself and lie over the input frame.
    cboRecLine = named(new QComboBox(central), "cboRecLine");
    cboRecLine->setEditable(true);
    sldVol = named(new QSlider(Qt::Horizontal, central), "sldVol");
    sldVol->setRange(0, 65535);
    sldVol->setPageStep(2000);
    sldVol->setSingleStep(1);

    column->addWidget(createInputFrame());
    column->addWidget(createOutputFrame());
    column->addWidget(createRecordingFrame());
    column->addWidget(createEffectsFrame());
    column->addWidget(createPlayerFrame());
    column->addWidget(createWindowFrame());
    column->addStretch();
    setCentralWidget(central);

    const StatusPanels idle = idleStatusPanels();
    m_sizePanel = named(new QLabel(idle.size, this), "sbarPanel1");
    m_durationPanel = named(new QLabel(idle.duration, this), "sbarPanel2");
    statusBar()->setObjectName(QStringLiteral("sbar"));
    statusBar()->addWidget(m_sizePanel, 1);
    statusBar()->addWidget(m_durationPanel, 1);
    statusBar()->setSizeGripEnabled(false);
}

QWidget *FrmREC::createInputFrame()
{
    frmInp = named(new QGroupBox(QStringLiteral("Entrée "), centralWidget()), "frmInp");
    auto *grid = new QGridLayout(frmInp);
    cboDev = named(new QComboBox(frmInp), "cboDev");
    cboDev->setEditable(true);
    cboDev->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cboRecLine->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lblVolPer = label(QStringLiteral("100%"), frmInp, "lblVolPer");
    lblVolPer->setMinimumWidth(lblVolPer->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);

    grid->addWidget(label(QStringLiteral("Dispositif  :"), frmInp, "lblDev"), 0, 0);
    grid->addWidget(cboDev, 0, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("Ligne :"), frmInp, "lblLine"), 1, 0);
    grid->addWidget(new OverlaySlot(cboRecLine, frmInp), 1, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("Volume :"), frmInp, "lblVol"), 2, 0);
    grid->addWidget(new OverlaySlot(sldVol, frmInp), 2, 1);
    grid->addWidget(lblVolPer, 2, 2);
    grid->setColumnStretch(1, 1);
    return frmInp;
}

QWidget *FrmREC::createOutputFrame()
{
    frmOut = named(new QGroupBox(QStringLiteral("Sortie "), centralWidget()), "frmOut");
    auto *frameLayout = new QVBoxLayout(frmOut);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    auto *picOutXP = named(new QWidget(frmOut), "picOutXP");
    frameLayout->addWidget(picOutXP);
    auto *grid = new QGridLayout(picOutXP);

    txtWAVFmt = named(new QLineEdit(picOutXP), "txtWAVFmt");
    txtWAVFmt->setReadOnly(true);
    cmdSelFmt = pictureButton(picOutXP, "cmdSelFmt", "preferences-system", QStyle::SP_FileDialogDetailedView, {});
    txtFile = named(new QLineEdit(picOutXP), "txtFile");
    cmdBrowse = pictureButton(picOutXP, "cmdBrowse", "document-open", QStyle::SP_DialogOpenButton,
                              QStringLiteral("Modifier le nom du fichier d'enregistrement"));
    Check1 = named(new QCheckBox(QStringLiteral("Incrém."), picOutXP), "Check1");
    Check1->setToolTip(QStringLiteral("Incrémentation du nom de fichier d'enregistrement"));
    cboSamplerate = named(new QComboBox(picOutXP), "cboSamplerate");
    cboSamplerate->setEditable(true);
    cboSamplerate->setInsertPolicy(QComboBox::NoInsert);
    cboSamplerate->addItems({QStringLiteral("44100"), QStringLiteral("22050"), QStringLiteral("11025"),
                             QStringLiteral("8000")});
    chkStereo = named(new QCheckBox(QStringLiteral("Stéréo"), picOutXP), "chkStereo");

    grid->addWidget(label(QStringLiteral("Format WAV :"), picOutXP, "lblWAVFmt"), 0, 0);
    grid->addWidget(txtWAVFmt, 0, 1, 1, 2);
    grid->addWidget(cmdSelFmt, 0, 3);
    grid->addWidget(txtFile, 1, 0, 1, 3);
    grid->addWidget(cmdBrowse, 1, 3);
    grid->addWidget(Check1, 2, 0);
    grid->addWidget(label(QStringLiteral("Taux de compression :"), picOutXP, "lblSamplerate"), 3, 0);
    grid->addWidget(cboSamplerate, 3, 1);
    grid->addWidget(chkStereo, 3, 2, 1, 2);
    grid->setColumnStretch(1, 1);
    return frmOut;
}

QWidget *FrmREC::createRecordingFrame()
{
    Frame1 = named(new QGroupBox(QStringLiteral("Enregistrement "), centralWidget()), "Frame1");
    auto *grid = new QGridLayout(Frame1);
    picFreq = named(new PictureWidget(QSize(160, 64), 0, Frame1), "picFreq");
    picAmpl = named(new PictureWidget(QSize(160, 64), 0, Frame1), "picAmpl");
    const std::int32_t controlBack = rgbValue(palette().color(QPalette::Window));
    picVUL = named(new PictureWidget(QSize(246, 13), controlBack, Frame1), "picVUL");
    picVUR = named(new PictureWidget(QSize(246, 13), controlBack, Frame1), "picVUR");
    cmdDo = named(new QPushButton(QStringLiteral("Enregistrer"), Frame1), "cmdDo");

    grid->addWidget(picFreq, 0, 0);
    grid->addWidget(picAmpl, 0, 1);
    grid->addWidget(label(QStringLiteral("Canal gauche :"), Frame1, "lblVUchL"), 1, 0, 1, 2);
    grid->addWidget(picVUL, 2, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("Canal droit :"), Frame1, "lblVUchR"), 3, 0, 1, 2);
    grid->addWidget(picVUR, 4, 0, 1, 2);
    grid->addWidget(cmdDo, 5, 0, 1, 2);
    return Frame1;
}

QWidget *FrmREC::createEffectsFrame()
{
    frmEffects = named(new QGroupBox(QStringLiteral("Effects /Filtres "), centralWidget()), "frmEffects");
    auto *grid = new QGridLayout(frmEffects);
    const QString captions[4] = {QStringLiteral("Echo"), QStringLiteral("Déphasage"),
                                 QStringLiteral("Amplificateur"), QStringLiteral("Egaliseur")};
    for (int i = 0; i < 4; ++i) {
        chkFX[i] = new QCheckBox(captions[i], frmEffects);
        chkFX[i]->setObjectName(QStringLiteral("chkFX%1").arg(i));
        grid->addWidget(chkFX[i], i / 2, i % 2);
    }
    cmdFXOpts = named(new QPushButton(QStringLiteral("Configuration"), frmEffects), "cmdFXOpts");
    grid->addWidget(cmdFXOpts, 0, 2, 2, 1);
    return frmEffects;
}

QWidget *FrmREC::createPlayerFrame()
{
    Frame3 = named(new QGroupBox(centralWidget()), "Frame3");
    auto *row = new QHBoxLayout(Frame3);
    struct Spec {
        const char *name, *icon;
        QStyle::StandardPixmap fallback;
        const char *toolTip;
    };
    const Spec specs[6] = {
        {"Command4", "media-playback-start", QStyle::SP_MediaPlay, "Play"},
        {"Command5", "media-playback-pause", QStyle::SP_MediaPause, "Pause"},
        {"Command6", "media-playback-stop", QStyle::SP_MediaStop, "Stop"},
        {"Command7", "document-open", QStyle::SP_DialogOpenButton, "Ouvrir..."},
        {"Command8", "audio-volume-high", QStyle::SP_MediaVolume, "Réglage du volume"},
        {"Command9", "preferences-desktop-sound", QStyle::SP_ComputerIcon, "Propriétés audio"},
    };
    for (std::size_t i = 0; i < m_playerButtons.size(); ++i) {
        m_playerButtons[i] = pictureButton(Frame3, specs[i].name, specs[i].icon, specs[i].fallback,
                                           QString::fromUtf8(specs[i].toolTip));
        row->addWidget(m_playerButtons[i]);
    }
    Label1 = label(QString(), Frame3, "Label1");
    QPalette lightGreen = Label1->palette();
    lightGreen.setColor(QPalette::WindowText, QColor(128, 255, 128));
    Label1->setPalette(lightGreen);
    row->addWidget(Label1, 1);
    return Frame3;
}

QWidget *FrmREC::createWindowFrame()
{
    Frame2 = named(new QGroupBox(centralWidget()), "Frame2");
    auto *row = new QHBoxLayout(Frame2);
    Command2 = named(new QPushButton(QStringLiteral("Encodage Mp3"), Frame2), "Command2");
    Command10 = named(new QPushButton(QStringLiteral("Joindre Wav"), Frame2), "Command10");
    Command10->setToolTip(QStringLiteral("Unir des fichiers Wav"));
    Command3 = named(new QPushButton(QStringLiteral("A propos"), Frame2), "Command3");
    Command1 = pictureButton(Frame2, "Command1", "document-save", QStyle::SP_DialogSaveButton,
                             QStringLiteral("Quitter et Enregistrer les paramètres..."));
    row->addWidget(Command2);
    row->addWidget(Command10);
    row->addWidget(Command3);
    row->addStretch();
    row->addWidget(Command1);
    return Frame2;
}
