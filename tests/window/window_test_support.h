// Shared set-up of the main window's tests: a private home and settings store, the virtual
// capture device, and an answerer for the modal dialogs the window opens.
#pragma once

#include "../support/tools.h"
#include "app/window/frm_rec.h"

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

struct WindowTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    QString wavFolder() const { return m_root.path() + QStringLiteral("/home/Wav"); }
    QString configFolder() const { return m_root.path() + QStringLiteral("/config"); }
    QSettings settings() const { return QSettings(QStringLiteral("Sonoriel"), QStringLiteral("Sonoriel")); }
    QTemporaryDir m_root;
};

// While it lives, answers every modal dialog: a message box's text goes to messages and a
// question gets questionAnswer (none: No); any other dialog goes to handler, or is rejected.
struct ModalAnswerer {
    explicit ModalAnswerer(std::function<void(QDialog &)> onDialog = {}) : handler(std::move(onDialog))
    { QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); }); m_timer.start(20); }
    std::function<void(QDialog &)> handler;
    QStringList messages;
    int dialogs = 0;
    int questionAnswer = 0;
    void answer();
    QTimer m_timer;
};

// The control named name inside window, failing the test when it is missing.
template <typename T>
T *control(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
}
