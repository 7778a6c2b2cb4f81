// Shared set-up of the main window's tests: a private home and settings store, the virtual
// capture device, and an answerer for the modal dialogs the window opens.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

class QDialog;

// Lets GoogleTest print texts as they read.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString wavFolder() const { return m_root.path() + QStringLiteral("/home/Wav"); }
    QString configFolder() const { return m_root.path() + QStringLiteral("/config"); }
    QSettings settings() const { return QSettings(QStringLiteral("Sonoriel"), QStringLiteral("Sonoriel")); }

private:
    QTemporaryDir m_root;
};

// While it lives, answers every modal dialog: a message box's text is recorded and the box
// closed (a question gets the button set, by default none: No); any other dialog goes to the
// handler, or is rejected when there is none.
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QDialog &)> handler = {});

    const QStringList &messages() const { return m_messages; }
    void answerQuestionsWith(int standardButton) { m_questionAnswer = standardButton; }
    int dialogsAnswered() const { return m_dialogs; }
    void setHandler(std::function<void(QDialog &)> handler) { m_handler = std::move(handler); }

private:
    void answer();

    std::function<void(QDialog &)> m_handler;
    QTimer m_timer;
    QStringList m_messages;
    int m_dialogs = 0;
    int m_questionAnswer = 0;
};

// The control named name inside window, failing the test when it is missing.
template <typename T>
T *control(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
}
