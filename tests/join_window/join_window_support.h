// The join window's tests: a private program folder, the controls, an answerer for dialogs.
#pragma once

#include "../support/wave_bytes.h"

#include "join/window/frm_join.h"
#include "join/window/graph_box.h"

#include <QtTest>
#include <QtWidgets>

#include <deque>

#include <gtest/gtest.h>

// What the user does in front of the next modal dialog.
struct DialogAnswer {
    enum class Kind { ChooseFile, Cancel, Yes, No };
    Kind kind = Kind::Cancel;
    QString path; // ChooseFile

    static DialogAnswer choose(const QString &path) { return {Kind::ChooseFile, path}; }
    static DialogAnswer cancel() { return {}; }
    static DialogAnswer yes() { return {Kind::Yes, {}}; }
    static DialogAnswer no() { return {Kind::No, {}}; }
};

struct SeenDialog { bool saving = false; QString folder, text; }; // a file dialog's mode and folder, a box's text

// Answers each modal dialog with the next queued answer; any other is cancelled and counted.
struct DialogAnswerer {
    DialogAnswerer() { QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); }), m_timer.start(20); }
    void queue(const DialogAnswer &answer) { m_answers.push_back(answer); }
    const std::vector<SeenDialog> &seen() const { return m_seen; }
    int unexpected = 0;
    void answer();
    bool respond(QDialog &dialog, const DialogAnswer &answer); // false when the answer does not fit

    QTimer m_timer;
    QDialog *m_busy = nullptr; // the dialog whose answer is on its way
    std::deque<DialogAnswer> m_answers;
    std::vector<SeenDialog> m_seen;
};

struct JoinWindowTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    QString wavFolder() const { return m_root.path() + QStringLiteral("/home/Wav"); }
    QString writeFile(const QString &name, const QByteArray &bytes) const;
    void addFile(const QString &path) { m_dialogs->queue(DialogAnswer::choose(path)); click("cmdOpen"); }
    void click(const char *button) { QTest::mouseClick(m_window->findChild<QPushButton *>(button), Qt::LeftButton); }
    QListWidget &list(const char *name) { return *m_window->findChild<QListWidget *>(QLatin1String(name)); }
    GraphBox &box(const char *name) { return *m_window->findChild<GraphBox *>(QLatin1String(name)); }
    QStringList lines(const char *name) { QStringList out; for (int i = 0; i < list(name).count(); ++i) out << list(name).item(i)->text(); return out; }

    QTemporaryDir m_root;
    std::unique_ptr<DialogAnswerer> m_dialogs;
    std::unique_ptr<frmJoin> m_window;
};
