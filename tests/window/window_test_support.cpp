#include "window_test_support.h"

void WindowTest::SetUp()
{
    ASSERT_TRUE(m_root.isValid());
    qputenv("SONORIEL_HOME", (m_root.path() + QStringLiteral("/home")).toUtf8());
    qputenv("XDG_CONFIG_HOME", configFolder().toUtf8());
    qputenv("SONORIEL_AUDIO", "virtual");
    qputenv("SONORIEL_VIRTUAL_SPEED", "4");
    qunsetenv("SONORIEL_VIRTUAL_INPUT");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configFolder());
}

void WindowTest::TearDown()
{
    qunsetenv("SONORIEL_HOME");
}

void ModalAnswerer::answer()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        messages << box->text();
        QAbstractButton *answer = box->button(static_cast<QMessageBox::StandardButton>(questionAnswer));
        answer ? answer->click() : box->done(QMessageBox::Ok);
        return;
    }
    ++dialogs;
    handler ? handler(*dialog) : dialog->reject();
}
