// The main window's controls and their containment, in one column of full-width groups:
// input, output, recording, effects, player and mixer, window buttons, then the status bar.
// Qt layouts size everything from the font, so the window scales with the screen density. The
// groups are packed closely (narrow margins, the numbering box beside the file name, each
// meter beside its label) so that the window keeps to about 361 x 495 pixels and fits a
// 768-pixel screen, and a 1080-pixel screen at 200 %.
#include "app/window/frm_rec.h"

#include "app/window/overlay_slot.h"
#include "app/window/picture_widget.h"
#include "app/window/status_note.h"
#include "display/display_tick.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
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

// A text button no wider than its longest caption asks: the style's own smallest button
// width would leave no room in the take's row.
void fitToCaptions(QPushButton *button, std::initializer_list<QString> captions)
{
    int widest = 0;
    for (const QString &caption : captions)
        widest = std::max(widest, button->fontMetrics().horizontalAdvance(caption));
    button->setMinimumWidth(widest + 2 * button->fontMetrics().averageCharWidth() + 4);
}

// The close spacing of the window's groups and of the column that holds them.
constexpr int kGroupMargin = 6;
constexpr int kGroupSpacing = 3;

template <typename Layout>
Layout *packed(Layout *layout)
{
    layout->setContentsMargins(kGroupMargin, 0, kGroupMargin, 2);
    layout->setSpacing(kGroupSpacing);
    return layout;
}

// The trace and spectrum boxes: 99 pixels wide inside, the width their drawings are made for.
const QSize kGraphBoxSize(99, 46);
// The level bars: about 246 x 13 pixels; they take the width their row leaves them.
const QSize kMeterBoxSize(246, 13);

// The client area the window was designed at: 5415 x 7425 twips.
const QSize kDesignedSize(361, 495);
// Room for what the window manager adds around the window (title bar, borders), which is not
// known before the window is shown.
const QSize kFrameAllowance(16, 48);

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
    column->setContentsMargins(4, 2, 4, 0);
    column->setSpacing(2);
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
    // On a screen too short for the window (a large font, a high scale factor) the groups
    // scroll instead of lying out of reach below the screen's edge.
    auto *scroller = named(new QScrollArea(this), "groupsArea");
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(central);
    setCentralWidget(scroller);
    m_groups = central;

    const StatusPanels idle = idleStatusPanels();
    m_sizePanel = named(new QLabel(idle.size, this), "sbarPanel1");
    m_durationPanel = named(new QLabel(idle.duration, this), "sbarPanel2");
    statusBar()->setObjectName(QStringLiteral("sbar"));
    statusBar()->addWidget(m_sizePanel, 1);
    statusBar()->addWidget(m_durationPanel, 1);
    // The take's state, its plan or the last take, with the button that drops a plan.
    m_takeNote = named(new StatusNote(this), "sbarTake");
    // A link rather than a button: the status bar keeps the height of its texts.
    m_cancelPlan = named(new QLabel(QStringLiteral("<a href=\"annuler\">Annuler</a>"), this), "lblCancelPlan");
    m_cancelPlan->setTextFormat(Qt::RichText);
    m_cancelPlan->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_cancelPlan->setToolTip(QStringLiteral("Abandonner ce qui est programmé"));
    m_cancelPlan->hide();
    statusBar()->addWidget(m_takeNote, 2);
    statusBar()->addWidget(m_cancelPlan);
    statusBar()->setSizeGripEnabled(false);
}

QWidget *FrmREC::createInputFrame()
{
    frmInp = named(new QGroupBox(QStringLiteral("Entrée "), centralWidget()), "frmInp");
    auto *grid = packed(new QGridLayout(frmInp));
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
    auto *grid = packed(new QGridLayout(picOutXP));

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
    // No completion: it would turn a typed "2" into "22050", which the five-digit rule of the
    // key filter then keeps from being typed on.
    cboSamplerate->setCompleter(nullptr);
    cboSamplerate->addItems({QStringLiteral("44100"), QStringLiteral("22050"), QStringLiteral("11025"),
                             QStringLiteral("8000")});
    chkStereo = named(new QCheckBox(QStringLiteral("Stéréo"), picOutXP), "chkStereo");

    // The file name with its browse button and the numbering box on one row.
    grid->addWidget(label(QStringLiteral("Format WAV :"), picOutXP, "lblWAVFmt"), 0, 0);
    grid->addWidget(txtWAVFmt, 0, 1, 1, 2);
    grid->addWidget(cmdSelFmt, 0, 3);
    grid->addWidget(txtFile, 1, 0, 1, 2);
    grid->addWidget(cmdBrowse, 1, 2);
    grid->addWidget(Check1, 1, 3);
    grid->addWidget(label(QStringLiteral("Taux de compression :"), picOutXP, "lblSamplerate"), 2, 0);
    grid->addWidget(cboSamplerate, 2, 1);
    grid->addWidget(chkStereo, 2, 2, 1, 2);
    grid->setColumnStretch(1, 1);
    return frmOut;
}

QWidget *FrmREC::createRecordingFrame()
{
    Frame1 = named(new QGroupBox(QStringLiteral("Enregistrement "), centralWidget()), "Frame1");
    auto *grid = packed(new QGridLayout(Frame1));
    picFreq = named(new PictureWidget(kGraphBoxSize, 0, Frame1), "picFreq");
    picAmpl = named(new PictureWidget(kGraphBoxSize, 0, Frame1), "picAmpl");
    const std::int32_t controlBack = rgbValue(palette().color(QPalette::Window));
    picVUL = named(new PictureWidget(kMeterBoxSize, controlBack, Frame1), "picVUL");
    picVUR = named(new PictureWidget(kMeterBoxSize, controlBack, Frame1), "picVUR");
    for (PictureWidget *graph : {picFreq, picAmpl})
        graph->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    for (PictureWidget *meter : {picVUL, picVUR}) {
        meter->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        meter->setMinimumWidth(kMeterBoxSize.width() / 2);
    }
    cmdDo = named(new QPushButton(QStringLiteral("Enregistrer"), Frame1), "cmdDo");
    cmdDo->setToolTip(QStringLiteral("Enregistrer ou stopper (Ctrl+R)"));
    cmdPause = named(new QPushButton(QStringLiteral("Pause"), Frame1), "cmdPause");
    cmdPause->setToolTip(QStringLiteral("Mettre l'enregistrement en pause ou le reprendre (Ctrl+P)"));
    cmdPause->setEnabled(false);
    cmdSchedule = named(new QPushButton(QStringLiteral("Programmer…"), Frame1), "cmdSchedule");
    cmdSchedule->setToolTip(
        QStringLiteral("Heure de début, durée, déclenchement au son, parties et RF64 de la prochaine prise"));

    auto *graphs = new QHBoxLayout;
    graphs->setSpacing(8);
    graphs->addStretch(1);
    graphs->addWidget(picFreq);
    graphs->addWidget(picAmpl);
    graphs->addStretch(1);
    grid->addLayout(graphs, 0, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("Canal gauche :"), Frame1, "lblVUchL"), 1, 0);
    grid->addWidget(picVUL, 1, 1);
    grid->addWidget(label(QStringLiteral("Canal droit :"), Frame1, "lblVUchR"), 2, 0);
    grid->addWidget(picVUR, 2, 1);
    fitToCaptions(cmdDo, {QStringLiteral("Enregistrer"), QStringLiteral("Stopper")});
    fitToCaptions(cmdPause, {QStringLiteral("Pause"), QStringLiteral("Reprendre")});
    fitToCaptions(cmdSchedule, {cmdSchedule->text()});
    m_takeButtons = new QHBoxLayout;
    m_takeButtons->setSpacing(kGroupSpacing);
    m_takeButtons->addWidget(cmdDo, 1);
    m_takeButtons->addWidget(cmdPause);
    m_takeButtons->addWidget(cmdSchedule);
    grid->addLayout(m_takeButtons, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    return Frame1;
}

QWidget *FrmREC::createEffectsFrame()
{
    frmEffects = named(new QGroupBox(QStringLiteral("Effects /Filtres "), centralWidget()), "frmEffects");
    auto *grid = packed(new QGridLayout(frmEffects));
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
    auto *row = packed(new QHBoxLayout(Frame3));
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
    chkMonitor = named(new QCheckBox(QStringLiteral("Écouter"), Frame3), "chkMonitor");
    chkMonitor->setToolTip(QStringLiteral("Entendre ce qui est enregistré, effets compris, sur la sortie son (Ctrl+E)"));
    row->addWidget(chkMonitor);
    return Frame3;
}

QWidget *FrmREC::createWindowFrame()
{
    Frame2 = named(new QGroupBox(centralWidget()), "Frame2");
    // Over the group and its buttons that have no tool tip of their own.
    Frame2->setToolTip(QStringLiteral("Ctrl+Q : quitter (sans enregistrer les paramètres)"));
    auto *row = packed(new QHBoxLayout(Frame2));
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

QSize FrmREC::openingSize() const
{
    // The designed size, or what the groups need when the font asks for more.
    const QSize groups = m_groups->minimumSizeHint();
    const QSize needed(groups.width(), groups.height() + statusBar()->sizeHint().height());
    QSize size = kDesignedSize.expandedTo(needed);
    const QScreen *where = screen();
    if (!where)
        return size;
    // Never more than the screen leaves free beside its panels; the groups scroll in what is
    // left, with room beside them for the scroll bar.
    const QSize room = where->availableGeometry().size() - kFrameAllowance;
    if (room.height() < needed.height())
        size.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return size.boundedTo(room);
}
