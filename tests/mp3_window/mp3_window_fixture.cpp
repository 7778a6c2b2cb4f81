#include "mp3_window_fixture.h"

#include "mp3/window/progress_bar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

DialogAnswerer::DialogAnswerer(std::function<void(QFileDialog &)> handler) : m_handler(std::move(handler))
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
    m_timer.start(20);
}

void DialogAnswerer::answer()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        m_messages << box->text();
        QAbstractButton *yes = box->button(QMessageBox::Yes);
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        if (yes)
            yes->click();
        else if (ok)
            ok->click();
        else
            box->reject();
        return;
    }
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    if (!dialog || m_answerQueued)
        return;
    if (dialog != m_lastDialog) {
        ++m_fileDialogs;
        m_lastDialog = dialog;
    }
    // The answer runs from the dialog's own event loop, not from this timer: Qt does not fire a
    // timer again while its handler runs, and accepting may open a question that needs it. A
    // dialog still open after its answer (its folder was still loading) is answered again.
    m_answerQueued = true;
    QTimer::singleShot(0, &m_timer, [this, target = QPointer<QFileDialog>(dialog)] {
        m_answerQueued = false;
        if (!target)
            return;
        if (m_handler)
            m_handler(*target);
        else
            target->reject();
    });
}

Mp3Encoder &Mp3WindowTest::window()
{
    if (!m_window)
        m_window = std::make_unique<Mp3Encoder>();
    return *m_window;
}

void Mp3WindowTest::type(const char *box, const QString &text)
{
    if (QLineEdit *edit = control<QLineEdit>(box))
        edit->setText(text);
}

void Mp3WindowTest::useNames(const QString &source, const QString &mp3Name)
{
    type("txtSourceFile", source);
    type("txtOutputMp3File", folder.path(mp3Name));
}

bool Mp3WindowTest::encodeEnabled()
{
    QPushButton *button = control<QPushButton>("cmdEncode");
    return button && button->isEnabled();
}

void Mp3WindowTest::click(const char *button)
{
    if (QPushButton *found = control<QPushButton>(button))
        found->click();
}

std::vector<Glimpse> Mp3WindowTest::encode(const std::function<void(Mp3WindowTest &)> &duringConversion)
{
    std::vector<Glimpse> glimpses;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        glimpses.push_back({window().progressBar().Text(), control<QPushButton>("cmdEncode")->text(),
                            control<QFrame>("picEncode")->isEnabled()});
        if (duringConversion)
            duringConversion(*this);
    });
    watcher.start(0);
    click("cmdEncode");
    watcher.stop();
    return glimpses;
}

QString Mp3WindowTest::toneFile(double seconds, const QString &name)
{
    const QString path = folder.path(name);
    EXPECT_TRUE(writeToneFile(path, 44100, seconds));
    return path;
}

void Mp3WindowTest::useLibrary(const QString &path)
{
    shim.reset(); // restore first, so that the new choice is not undone
    shim = std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", path);
}
