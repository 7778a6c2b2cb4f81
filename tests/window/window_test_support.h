// Shared set-up of the main window's tests: a private home (recordings folder and settings
// store) so that nothing touches the real user's files, the virtual capture device, and an
// answerer for the modal dialogs the window opens (message boxes, format and file choosers).
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

    QString homeFolder() const { return m_root.path() + QStringLiteral("/home"); }
    QString wavFolder() const { return homeFolder() + QStringLiteral("/Wav"); }
    QString configFolder() const { return m_root.path() + QStringLiteral("/config"); }
    // The window's persisted settings, group "Settings".
    QSettings settings() const;

private:
    QTemporaryDir m_root;
};

// While it lives, answers every modal dialog that opens: a message box's text is recorded and
// the box closed; any other dialog goes to the handler (which accepts or rejects it), or is
// rejected when there is none.
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QDialog &)> handler = {});
    ~ModalAnswerer();

    const QStringList &messages() const { return m_messages; }
    // The button a question (a box with Yes and No) gets; by default it is closed unanswered,
    // which counts as No.
    void answerQuestionsWith(int standardButton) { m_questionAnswer = standardButton; }
    int dialogsAnswered() const { return m_dialogs; }
    // What the dialogs that open from now on get.
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
