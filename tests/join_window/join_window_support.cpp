#include "join_window_support.h"

#include "../support/wave_bytes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>


DialogAnswerer::DialogAnswerer()
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
    m_timer.start(20);
}

void DialogAnswerer::answer()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || m_busy.count(dialog))
        return;
    SeenDialog seen;
    seen.title = dialog->windowTitle();
    if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
        seen.fileDialog = true;
        seen.saving = files->acceptMode() == QFileDialog::AcceptSave;
        seen.folder = files->directory().absolutePath();
        seen.filters = files->nameFilters();
    } else if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        seen.text = box->text();
    }
    m_seen.push_back(seen);
    std::optional<DialogAnswer> next;
    if (!m_answers.empty()) {
        next = m_answers.front();
        m_answers.pop_front();
    }
    // Answered from the event loop rather than from this timer's tick: accepting a dialog may
    // open another one (the question about replacing a file) that must be answered in turn.
    m_busy.insert(dialog);
    QTimer::singleShot(0, dialog, [this, dialog, next] {
        if (!next || !respond(*dialog, *next)) {
            ++m_unexpected;
            dialog->reject();
        }
        m_busy.erase(dialog);
    });
}

bool DialogAnswerer::respond(QDialog &dialog, const DialogAnswer &answer)
{
    auto *box = qobject_cast<QMessageBox *>(&dialog);
    auto *files = qobject_cast<QFileDialog *>(&dialog);
    switch (answer.kind) {
    case DialogAnswer::Kind::ChooseFile:
        if (!files)
            return false;
        files->selectFile(answer.path);
        // selectFile leaves the name box alone while it has the focus: type the name too.
        if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(answer.path);
        static_cast<QDialog *>(files)->accept(); // QFileDialog::accept, which checks the name
        return true;
    case DialogAnswer::Kind::Yes:
    case DialogAnswer::Kind::No:
        if (!box)
            return false;
        box->button(answer.kind == DialogAnswer::Kind::Yes ? QMessageBox::Yes : QMessageBox::No)->click();
        return true;
    case DialogAnswer::Kind::Cancel:
        dialog.reject();
        return true;
    }
    return false;
}

void JoinWindowTest::SetUp()
{
    ASSERT_TRUE(m_root.isValid());
    ASSERT_TRUE(QDir().mkpath(wavFolder()));
    qputenv("SONORIEL_HOME", (m_root.path() + QStringLiteral("/home")).toUtf8());
    m_dialogs = std::make_unique<DialogAnswerer>();
    m_window = std::make_unique<frmJoin>();
    m_window->show();
}

void JoinWindowTest::TearDown()
{
    m_window.reset();
    EXPECT_EQ(m_dialogs->unexpected(), 0) << "a dialog opened that the test did not expect";
    m_dialogs.reset();
    qunsetenv("SONORIEL_HOME");
}

QString JoinWindowTest::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = wavFolder() + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << path.toStdString();
    return path;
}

void JoinWindowTest::addFile(const QString &path)
{
    m_dialogs->queue(DialogAnswer::choose(path));
    click("cmdOpen");
}

void JoinWindowTest::click(const char *button)
{
    auto *control = m_window->findChild<QPushButton *>(QLatin1String(button));
    ASSERT_NE(control, nullptr) << button;
    QTest::mouseClick(control, Qt::LeftButton);
}

QListWidget &JoinWindowTest::list(const char *name)
{
    auto *control = m_window->findChild<QListWidget *>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << name;
    return *control;
}

GraphBox &JoinWindowTest::box(const char *name)
{
    auto *control = m_window->findChild<GraphBox *>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << name;
    return *control;
}

QStringList JoinWindowTest::lines(const char *listName)
{
    QStringList out;
    QListWidget &control = list(listName);
    for (int i = 0; i < control.count(); ++i)
        out << control.item(i)->text();
    return out;
}

QString JoinWindowTest::graphFileName()
{
    auto *label = m_window->findChild<QLabel *>(QStringLiteral("lblGraphFileName"));
    EXPECT_NE(label, nullptr);
    return label ? label->text() : QString();
}
