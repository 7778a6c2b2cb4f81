// Shared set-up of the join window's tests: a private program folder (its Wav folder is where
// the dialogs open), the window's controls by name, and an answerer that plays the user in
// front of the window's modal file dialogs and questions.
#pragma once

#include "../support/wave_bytes.h"

#include "join/window/frm_join.h"
#include "join/window/graph_box.h"

#include <QByteArray>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <optional>
#include <set>
#include <memory>

#include <gtest/gtest.h>

// What the user does in front of the next modal dialog.
struct DialogAnswer {
    enum class Kind { ChooseFile, Cancel, Yes, No };
    Kind kind = Kind::Cancel;
    QString path; // ChooseFile

    static DialogAnswer choose(const QString &path) { return {Kind::ChooseFile, path}; }
    static DialogAnswer cancel() { return {Kind::Cancel, {}}; }
    static DialogAnswer yes() { return {Kind::Yes, {}}; }
    static DialogAnswer no() { return {Kind::No, {}}; }
};

// What a modal dialog looked like when it was answered.
struct SeenDialog {
    bool fileDialog = false;
    bool saving = false;
    QString folder;        // a file dialog's folder
    QStringList filters;   // a file dialog's name filters
    QString text;          // a message box's text
    QString title;
};

// While it lives, answers each modal dialog that opens with the next queued answer (a dialog
// with none left is cancelled and counted as unexpected).
class DialogAnswerer {
public:
    DialogAnswerer();
    void queue(const DialogAnswer &answer) { m_answers.push_back(answer); }
    const std::vector<SeenDialog> &seen() const { return m_seen; }
    int unexpected() const { return m_unexpected; }

private:
    void answer();
    // False when the answer does not fit the dialog.
    bool respond(QDialog &dialog, const DialogAnswer &answer);

    QTimer m_timer;
    std::set<QDialog *> m_busy; // dialogs whose answer is on its way
    std::deque<DialogAnswer> m_answers;
    std::vector<SeenDialog> m_seen;
    int m_unexpected = 0;
};

class JoinWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString wavFolder() const { return m_root.path() + QStringLiteral("/home/Wav"); }
    // Writes bytes as wavFolder()/name and returns the path.
    QString writeFile(const QString &name, const QByteArray &bytes) const;

    // Adds path through "Ajouter" and its open dialog.
    void addFile(const QString &path);
    void click(const char *button);
    QListWidget &list(const char *name);
    GraphBox &box(const char *name);
    QStringList lines(const char *listName);
    QString graphFileName();

    frmJoin &window() { return *m_window; }
    DialogAnswerer &dialogs() { return *m_dialogs; }

private:
    QTemporaryDir m_root;
    std::unique_ptr<DialogAnswerer> m_dialogs;
    std::unique_ptr<frmJoin> m_window;
};
