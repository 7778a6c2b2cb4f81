// The controls of frmJoin and their placement: the list of files to join with its buttons,
// the joined files, the log, and the graph with the player's buttons and the close button, in
// layouts that follow the window's size and font. The groups are packed closely and scroll
// when the screen is too short for them, so the window fits a 768-pixel screen, and a
// 1080-pixel screen at 200 %.
#include "join/window/frm_join.h"
#include "join/window/graph_box.h"
#include "join/window/wave_graph.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace {

template <typename T, typename... Args>
T *named(const char *name, Args &&...args)
{
    T *control = new T(std::forward<Args>(args)...);
    control->setObjectName(QLatin1String(name));
    return control;
}

QPushButton *button(const char *name, const QString &caption, const QString &toolTip = {})
{
    auto *control = named<QPushButton>(name, caption);
    control->setAutoDefault(false);
    if (!toolTip.isEmpty())
        control->setToolTip(toolTip);
    return control;
}

// A list that can shrink to the given number of lines; it takes the room its group leaves.
QListWidget *list(const char *name, int lines)
{
    auto *control = named<QListWidget>(name);
    control->setSelectionMode(QAbstractItemView::SingleSelection);
    control->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    control->setMinimumHeight(control->fontMetrics().height() * lines + 2 * control->frameWidth());
    return control;
}

// The close spacing of the groups.
template <typename Layout>
Layout *packed(Layout *layout)
{
    layout->setContentsMargins(6, 0, 6, 3);
    layout->setSpacing(3);
    return layout;
}

// Room for what the window manager adds around the window (title bar, borders), which is not
// known before the window is shown.
const QSize kFrameAllowance(16, 48);

} // namespace

void frmJoin::buildControls()
{
    setWindowTitle(QStringLiteral("Sonoriel : Joindre des fichiers Wav"));
    auto *top = new QHBoxLayout;
    top->addWidget(buildListFrame(), 3);
    auto *side = new QVBoxLayout;
    side->addWidget(buildNewFileFrame());
    side->addWidget(buildCommandFrame(), 1);
    top->addLayout(side, 2);

    m_groups = new QWidget;
    auto *column = new QVBoxLayout(m_groups);
    column->setContentsMargins(4, 2, 4, 4);
    column->setSpacing(2);
    column->addLayout(top, 1);
    column->addWidget(buildGraphFrame());

    auto *scroller = named<QScrollArea>("groupsArea");
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(m_groups);
    auto *window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->addWidget(scroller);
}

QSize frmJoin::openingSize() const
{
    // Room for the graph at its own width and a few lines in each list, in the font's units,
    // or what the groups need when the font asks for more.
    const QSize needed = m_groups->minimumSizeHint();
    QSize size = QSize(fontMetrics().averageCharWidth() * 120, fontMetrics().height() * 40).expandedTo(needed);
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

QWidget *frmJoin::buildListFrame()
{
    Frame2 = named<QGroupBox>("Frame2", QStringLiteral("Fichier à ajouter à la liste "));
    Label1 = named<QLabel>("Label1", QStringLiteral("Liste des fichiers Wav"));
    lstFiles = list("lstFiles", 4);
    cmdOpen = button("cmdOpen", QStringLiteral("Ajouter"), QStringLiteral("Ajouter à la liste"));
    cmdDelFile = button("cmdDelFile", QStringLiteral("Supprimer"), QStringLiteral("Supprimer de la liste"));
    cmdUp = button("cmdUp", QStringLiteral("Monter"));
    cmdDown = button("cmdDown", QStringLiteral("Descendre"));

    auto *buttons = new QHBoxLayout;
    for (QPushButton *control : {cmdOpen, cmdDelFile, cmdUp, cmdDown})
        buttons->addWidget(control);
    buttons->addStretch(1);
    auto *layout = packed(new QVBoxLayout(Frame2));
    layout->addWidget(Label1);
    layout->addWidget(lstFiles, 1);
    layout->addLayout(buttons);
    return Frame2;
}

QWidget *frmJoin::buildNewFileFrame()
{
    Frame4 = named<QGroupBox>("Frame4", QStringLiteral("Fichier à unir "));
    Label4 = named<QLabel>("Label4", QStringLiteral("Nom du fichier"));
    lstNewFiles = list("lstNewFiles", 2);
    // A few joined files at most are made in one session: the log below takes the room left.
    lstNewFiles->setMaximumHeight(lstNewFiles->minimumHeight() * 2);
    cmdMakeNewFile = button("cmdMakeNewFile", QStringLiteral("Créer le fichier Wav"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdMakeNewFile);
    buttons->addStretch(1);
    auto *layout = packed(new QVBoxLayout(Frame4));
    layout->addWidget(Label4);
    layout->addWidget(lstNewFiles, 1);
    layout->addLayout(buttons);
    return Frame4;
}

QWidget *frmJoin::buildCommandFrame()
{
    Frame3 = named<QGroupBox>("Frame3", QStringLiteral("Liste des lignes de commande "));
    Label3 = named<QLabel>("Label3", QStringLiteral("Lignes de commande "));
    lstCommands = list("lstCommands", 2);

    auto *layout = packed(new QVBoxLayout(Frame3));
    layout->addWidget(Label3);
    layout->addWidget(lstCommands, 1);
    return Frame3;
}

QWidget *frmJoin::buildGraphFrame()
{
    Frame1 = named<QGroupBox>("Frame1", QStringLiteral("Graphique Fichier Wav "));
    // The first box of each channel fits the graph to the window's width; the second shows the
    // same drawing whole in a narrow overview beside it.
    const QSize size(wave_graph::kWidthPixels, wave_graph::heightPixels(wave_graph::kStereoHeightTwips));
    picLeft1 = named<GraphBox>("picLeft1", size);
    picLeft2 = named<GraphBox>("picLeft2", size);
    picRight1 = named<GraphBox>("picRight1", size);
    picRight2 = named<GraphBox>("picRight2", size);
    for (GraphBox *overview : {picLeft2, picRight2}) {
        overview->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        overview->setFixedWidth(wave_graph::kWidthPixels / 4);
    }
    auto *boxes = new QGridLayout;
    boxes->setSpacing(2);
    boxes->addWidget(picLeft1, 0, 0);
    boxes->addWidget(picLeft2, 0, 1, Qt::AlignTop);
    boxes->addWidget(picRight1, 1, 0);
    boxes->addWidget(picRight2, 1, 1, Qt::AlignTop);
    boxes->setColumnStretch(0, 1);

    Label2 = named<QLabel>("Label2", QStringLiteral("Nom du fichier wav :"));
    lblGraphFileName = named<QLabel>("lblGraphFileName");
    lblGraphFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *name = new QHBoxLayout;
    name->addWidget(Label2);
    name->addWidget(lblGraphFileName, 1);

    cmdPlay = button("cmdPlay", QStringLiteral("Play"));
    Command1 = button("Command1", QStringLiteral("Stop"));
    Command3 = button("Command3", QStringLiteral("Pause"));
    Command4 = button("Command4", QStringLiteral("Réglage volume"));
    Command2 = button("Command2", QStringLiteral("Fermer la fenêtre"));
    auto *player = new QHBoxLayout;
    for (QPushButton *control : {cmdPlay, Command1, Command3, Command4})
        player->addWidget(control);
    player->addStretch(1);
    player->addWidget(Command2);

    auto *layout = packed(new QVBoxLayout(Frame1));
    layout->addLayout(boxes);
    layout->addLayout(name);
    layout->addLayout(player);
    return Frame1;
}
