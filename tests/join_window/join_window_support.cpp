#include "join_window_support.h"

void DialogAnswerer::answer()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || dialog == m_busy)
        return;
    SeenDialog seen;
    if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
        seen.saving = files->acceptMode() == QFileDialog::AcceptSave;
        seen.folder = files->directory().absolutePath();
    } else if (auto *box = qobject_cast<QMessageBox *>(dialog))
        seen.text = box->text();
    m_seen.push_back(seen);
    const bool any = !m_answers.empty();
    const DialogAnswer next = any ? m_answers.front() : DialogAnswer{};
    m_answers.erase(m_answers.begin(), m_answers.begin() + (any ? 1 : 0));
    // Answered from the event loop: accepting may open a question that needs this timer again.
    m_busy = dialog;
    QTimer::singleShot(0, dialog, [this, dialog, next, any] {
        if (!any || !respond(*dialog, next))
            ++unexpected, dialog->reject();
        m_busy = nullptr;
    });
}

bool DialogAnswerer::respond(QDialog &dialog, const DialogAnswer &answer)
{
    auto *box = qobject_cast<QMessageBox *>(&dialog);
    auto *files = qobject_cast<QFileDialog *>(&dialog);
    if (answer.kind == DialogAnswer::Kind::Cancel)
        dialog.reject();
    else if (answer.kind == DialogAnswer::Kind::ChooseFile && files) {
        // selectFile leaves the name box alone while it has the focus: type the name too.
        files->selectFile(answer.path);
        files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(answer.path);
        static_cast<QDialog *>(files)->accept(); // QFileDialog::accept, which checks the name
    } else if (answer.kind != DialogAnswer::Kind::ChooseFile && box)
        box->button(answer.kind == DialogAnswer::Kind::Yes ? QMessageBox::Yes : QMessageBox::No)->click();
    else
        return false;
    return true;
}

void JoinWindowTest::SetUp()
{
    ASSERT_TRUE(QDir().mkpath(wavFolder()));
    qputenv("SONORIEL_HOME", (m_root.path() + QStringLiteral("/home")).toUtf8());
    m_dialogs = std::make_unique<DialogAnswerer>();
    m_window = std::make_unique<frmJoin>();
    m_window->show();
}

void JoinWindowTest::TearDown()
{
    m_window.reset();
    EXPECT_EQ(m_dialogs->unexpected, 0) << "a dialog opened that the test did not expect";
    qunsetenv("SONORIEL_HOME");
}

QString JoinWindowTest::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = wavFolder() + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << path.toStdString();
    return path;
}

