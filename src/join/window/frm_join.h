// frmJoin, the window in which the user builds the ordered list of WAV files to join, looks
// at the waveform of any of them, listens to it and writes the joined file.
//
// The visible list lstFiles and the join engine's list JoinFiles move in step: line i of
// lstFiles is the description of JoinFiles[i], JoinFileCount is the number of lines, and
// JoinCurrentIndex is the line last selected or added. Every action is reported as lines of
// the log lstCommands. The window is modal and runs on the UI thread; the graph and the join
// read and write their files synchronously. Closing the window empties the list, so a window
// shown again starts from an empty list, as a new one does.
#pragma once

#include "join/join_file_info.h"

#include <QDialog>
#include <QString>

class GraphBox;
class AudioPlayer;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
struct WaveGraphBoxes;

class frmJoin : public QDialog {
    Q_OBJECT
public:
    explicit frmJoin(QWidget *parent = nullptr);
    ~frmJoin() override;

    void done(int result) override;

private:
    void buildControls();
    void connectHandlers();
    QWidget *buildListFrame();
    QWidget *buildNewFileFrame();
    QWidget *buildCommandFrame();
    QWidget *buildGraphFrame();
    // The size the window opens at, within the screen's free area.
    QSize openingSize() const;

    void Form_Load();
    void cmdOpen_Click() { AddJoinFile(); }
    void cmdDelFile_Click();
    void cmdUp_Click() { moveSelectedFile(-1); }
    void cmdDown_Click() { moveSelectedFile(+1); }
    void cmdMakeNewFile_Click();
    void lstFiles_Click();
    void lstFiles_DblClick();
    void lstNewFiles_Click();
    void lstNewFiles_DblClick(QListWidgetItem *item);
    void lstCommands_Click();
    void cmdPlay_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    void AddJoinFile();
    void GrowJoinFiles();
    // Draws the graph of a record and names its file under the graph.
    void showGraphOf(const JoinFileInfo &record);
    void moveSelectedFile(int step);
    // Selects line row of lstFiles and runs the selection handling, as a click does.
    void selectFileLine(int row);
    void log(const QString &line);
    // "Message d'erreur:" and the reason, as the window logs what it could not do.
    void logError(const QString &reason);
    // Asks "Supprimer le fichier ?"; true only for Yes.
    bool confirmDelete();
    // The name chosen in the open or save dialog of WAV files; empty when cancelled.
    QString chooseWaveFile(bool forSaving);
    void showError(const QString &text);
    WaveGraphBoxes graphBoxes();

    QWidget *m_groups = nullptr; // every control, inside a scroll area
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame4 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *lblGraphFileName = nullptr;
    QListWidget *lstFiles = nullptr;
    QListWidget *lstNewFiles = nullptr;
    QListWidget *lstCommands = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdDelFile = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;
    QPushButton *cmdMakeNewFile = nullptr;
    QPushButton *cmdPlay = nullptr;
    QPushButton *Command1 = nullptr; // stop
    QPushButton *Command2 = nullptr; // close the window
    QPushButton *Command3 = nullptr; // pause
    QPushButton *Command4 = nullptr; // volume
    GraphBox *picLeft1 = nullptr;
    GraphBox *picLeft2 = nullptr;
    GraphBox *picRight1 = nullptr;
    GraphBox *picRight2 = nullptr;
    AudioPlayer *MMControl1 = nullptr;

    JoinFileInfo GraphFileInfo; // a produced file whose graph is shown
    QString m_dialogFolder; // where the next file dialog opens: first the recordings folder
};
