// frmJoin's start, its dialogs, the graph and player commands and the join command; the list
// maintenance is in frm_join_list.cpp, the controls' placement in frm_join_layout.cpp.
#include "join/window/frm_join.h"
#include "join/window/graph_box.h"
#include "platform/media/audio_player.h"
#include "join/window/wave_graph.h"

#include "join/join_engine.h"

#include "common/app_error.h"
#include "common/paths.h"

#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <functional>

namespace {

// The engine's log lines go to the window's log list.
class WindowLog : public JoinLog {
public:
    explicit WindowLog(std::function<void(const QString &)> add) : m_add(std::move(add)) {}
    void addLine(const QString &line) override { m_add(line); }

private:
    std::function<void(const QString &)> m_add;
};

} // namespace

frmJoin::frmJoin(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmJoin"));
    buildControls();
    MMControl1 = new AudioPlayer(this);
    MMControl1->setObjectName(QStringLiteral("MMControl1"));
    connectHandlers();
    Form_Load();
    resize(openingSize());
}

frmJoin::~frmJoin() = default;

void frmJoin::connectHandlers()
{
    connect(cmdOpen, &QPushButton::clicked, this, &frmJoin::cmdOpen_Click);
    connect(cmdDelFile, &QPushButton::clicked, this, &frmJoin::cmdDelFile_Click);
    connect(cmdUp, &QPushButton::clicked, this, &frmJoin::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmJoin::cmdDown_Click);
    connect(cmdMakeNewFile, &QPushButton::clicked, this, &frmJoin::cmdMakeNewFile_Click);
    connect(cmdPlay, &QPushButton::clicked, this, &frmJoin::cmdPlay_Click);
    connect(Command1, &QPushButton::clicked, this, &frmJoin::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmJoin::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmJoin::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmJoin::Command4_Click);

    // A click on the line already selected runs the selection handling too.
    connect(lstFiles, &QListWidget::currentRowChanged, this, &frmJoin::lstFiles_Click);
    connect(lstFiles, &QListWidget::itemClicked, this, &frmJoin::lstFiles_Click);
    connect(lstFiles, &QListWidget::itemDoubleClicked, this, &frmJoin::lstFiles_DblClick);
    connect(lstNewFiles, &QListWidget::currentRowChanged, this, &frmJoin::lstNewFiles_Click);
    connect(lstNewFiles, &QListWidget::itemDoubleClicked, this, &frmJoin::lstNewFiles_DblClick);
    connect(lstCommands, &QListWidget::currentRowChanged, this, &frmJoin::lstCommands_Click);
}

void frmJoin::Form_Load()
{
    m_dialogFolder = AddBackslash(programFolder()) + QStringLiteral("Wav");
    resetJoinList();
}

void frmJoin::done(int result)
{
    // Closing unloads the window: the file played is released and the lists start empty when
    // the window is shown again.
    MMControl1->open({});
    lstFiles->clear();
    lstNewFiles->clear();
    lstCommands->clear();
    lblGraphFileName->clear();
    for (GraphBox *box : {picLeft1, picLeft2, picRight1, picRight2})
        box->clear();
    GraphFileInfo = JoinFileInfo{};
    Form_Load();
    QDialog::done(result);
}

WaveGraphBoxes frmJoin::graphBoxes()
{
    return WaveGraphBoxes{*picLeft1, *picLeft2, *picRight1, *picRight2};
}

void frmJoin::log(const QString &line)
{
    lstCommands->addItem(line);
    lstCommands->scrollToBottom();
}

void frmJoin::logError(const QString &reason)
{
    log(QStringLiteral("Message d'erreur:"));
    log(reason);
}

void frmJoin::showError(const QString &text)
{
    QMessageBox::warning(this, QStringLiteral("Sonoriel"), text);
}

bool frmJoin::confirmDelete()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Sonoriel"), QStringLiteral("Supprimer le fichier ?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

QString frmJoin::chooseWaveFile(bool forSaving)
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Fichiers Wave (*.wav)"));
    dialog.setDirectory(m_dialogFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // The next dialog opens where this one ended, as the dialog control keeps its folder.
    m_dialogFolder = dialog.directory().absolutePath();
    return dialog.selectedFiles().constFirst();
}

void frmJoin::showGraphOf(const JoinFileInfo &record)
{
    DrawWaveGraph(graphBoxes(), record.channels, record.frameCount, record.fileName, record.bitsPerSample,
                  record.dataOffset);
    lblGraphFileName->setText(record.fileName);
}

void frmJoin::lstFiles_DblClick()
{
    if (JoinCurrentIndex < 0 || JoinCurrentIndex >= JoinFileCount)
        return;
    try {
        showGraphOf(JoinFiles[static_cast<std::size_t>(JoinCurrentIndex)]);
    } catch (const AppError &error) {
        showError(error.text());
    }
}

void frmJoin::lstNewFiles_DblClick(QListWidgetItem *item)
{
    if (lstNewFiles->count() == 0 || !item)
        return;
    GraphFileInfo = JoinFileInfo{};
    GraphFileInfo.fileName = item->text();
    try {
        ReadWaveHeader(GraphFileInfo);
        showGraphOf(GraphFileInfo);
    } catch (const AppError &error) {
        showError(error.text());
    }
}

void frmJoin::cmdPlay_Click()
{
    // The label's path is opened as it stands: on this system a backslash is a character of
    // file names, not a separator to turn into "/".
    MMControl1->open(lblGraphFileName->text());
    MMControl1->play();
}

void frmJoin::Command1_Click()
{
    MMControl1->stop();
}

void frmJoin::Command2_Click()
{
    close();
}

void frmJoin::Command3_Click()
{
    MMControl1->pause();
}

void frmJoin::Command4_Click()
{
    // Without a mixer program the log says which ones were looked for.
    if (const Status started = startMixerProgram(MixerForm::Compact); !started)
        logError(started.reason());
}

void frmJoin::cmdMakeNewFile_Click()
{
    JoinCurrentIndex = 0;
    WindowLog toCommands([this](const QString &line) { log(line); });
    // A cancelled dialog ends the command without a line. A list too short to join and a join
    // that fails (an output that is one of the files, a full disk) say why in the log; the
    // engine leaves no incomplete file behind.
    if (JoinFileCount < 2) {
        logError(JoinFileCount == 0
                     ? QStringLiteral("Pas de fichier à joindre")
                     : QStringLiteral("Un seul fichier dans la liste : il en faut au moins deux à joindre"));
        return;
    }
    try {
        if (!CheckJoinCompatibility(toCommands))
            return;
        const QString name = chooseWaveFile(true);
        if (name.isEmpty())
            return;
        JoinWaveFiles(name);
        lstNewFiles->addItem(name);
        log(QStringLiteral("Fichier enregistré:"));
        log(QLatin1Char(' ') + name);
    } catch (const AppError &error) {
        logError(error.text());
    }
}
