// The controls of frmJoin and their placement: the list of files to join with its buttons,
// the joined files, the log, and the graph with the player's buttons, in layouts that follow
// the window's size and font.
#include "join/window/frm_join.h"
#include "join/window/graph_box.h"
#include "join/window/wave_graph.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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

QListWidget *list(const char *name)
{
    auto *control = named<QListWidget>(name);
    control->setSelectionMode(QAbstractItemView::SingleSelection);
    control->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return control;
}

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

    Command2 = button("Command2", QStringLiteral("Fermer la fenêtre"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(Command2);

    auto *window = new QVBoxLayout(this);
    window->addLayout(top, 1);
    window->addWidget(buildGraphFrame());
    window->addLayout(bottom);
}

QWidget *frmJoin::buildListFrame()
{
    Frame2 = named<QGroupBox>("Frame2", QStringLiteral("Fichier à ajouter à la liste "));
    Label1 = named<QLabel>("Label1", QStringLiteral("Liste des fichiers Wav"));
    lstFiles = list("lstFiles");
    cmdOpen = button("cmdOpen", QStringLiteral("Ajouter"), QStringLiteral("Ajouter à la liste"));
    cmdDelFile = button("cmdDelFile", QStringLiteral("Supprimer"), QStringLiteral("Supprimer de la liste"));
    cmdUp = button("cmdUp", QStringLiteral("Monter"));
    cmdDown = button("cmdDown", QStringLiteral("Descendre"));

    auto *buttons = new QHBoxLayout;
    for (QPushButton *control : {cmdOpen, cmdDelFile, cmdUp, cmdDown})
        buttons->addWidget(control);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(Frame2);
    layout->addWidget(Label1);
    layout->addWidget(lstFiles, 1);
    layout->addLayout(buttons);
    return Frame2;
}

QWidget *frmJoin::buildNewFileFrame()
{
    Frame4 = named<QGroupBox>("Frame4", QStringLiteral("Fichier à unir "));
    Label4 = named<QLabel>("Label4", QStringLiteral("Nom du fichier"));
    lstNewFiles = list("lstNewFiles");
    lstNewFiles->setMinimumHeight(lstNewFiles->fontMetrics().height() * 4);
    cmdMakeNewFile = button("cmdMakeNewFile", QStringLiteral("Créer le fichier Wav"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdMakeNewFile);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(Frame4);
    layout->addWidget(Label4);
    layout->addWidget(lstNewFiles, 1);
    layout->addLayout(buttons);
    return Frame4;
}

QWidget *frmJoin::buildCommandFrame()
{
    Frame3 = named<QGroupBox>("Frame3", QStringLiteral("Liste des lignes de commande "));
    Label3 = named<QLabel>("Label3", QStringLiteral("Lignes de commande "));
    lstCommands = list("lstCommands");

    auto *layout = new QVBoxLayout(Frame3);
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
    auto *player = new QHBoxLayout;
    for (QPushButton *control : {cmdPlay, Command1, Command3, Command4})
        player->addWidget(control);
    player->addStretch(1);

    auto *layout = new QVBoxLayout(Frame1);
    layout->addLayout(boxes);
    layout->addLayout(name);
    layout->addLayout(player);
    return Frame1;
}
