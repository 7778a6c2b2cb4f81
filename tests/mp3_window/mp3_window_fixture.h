// Shared set-up of the conversion window's tests: a private folder, the encoder library built by
// the project, an answerer for the window's modal dialogs, and a watcher that looks at the
// window while a conversion yields to the event loop.
#pragma once

#include "../mp3/mp3_fixtures.h"
#include "../support/scoped_locale.h"

#include "mp3/window/mp3_encoder.h"

#include <QFileDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

// Failures show texts as text.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

// While it lives, answers every modal dialog: a message box's text is recorded and the box is
// answered "Oui" when it asks, "OK" otherwise; a file dialog goes to the handler (which accepts
// or rejects it), or is rejected when there is none.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void(QFileDialog &)> handler = {});

    const QStringList &messages() const { return m_messages; }
    int fileDialogs() const { return m_fileDialogs; }

private:
    void answer();

    std::function<void(QFileDialog &)> m_handler;
    QTimer m_timer;
    QStringList m_messages;
    int m_fileDialogs = 0;
    QPointer<QFileDialog> m_lastDialog; // the file dialog answered last
    bool m_answerQueued = false;
};

// What the window looked like at one moment of a conversion.
struct Glimpse {
    QString barText;
    QString encodeCaption;
    bool encodeFrameEnabled = true;
};

class Mp3WindowTest : public ::testing::Test {
public:
    // Builds the window (after the test has chosen its library and locale).
    Mp3Encoder &window();
    template <typename T>
    T *control(const char *name)
    {
        T *found = window().findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }
    void type(const char *box, const QString &text);
    // Types the source and, in the test's folder, the MP3 file's name.
    void useNames(const QString &source, const QString &mp3Name = QStringLiteral("concert.mp3"));
    bool encodeEnabled();
    // Clicks "&Encoder" and, each time the conversion lets the event loop run, records a glimpse
    // and runs duringConversion (which may press buttons).
    std::vector<Glimpse> encode(const std::function<void(Mp3WindowTest &)> &duringConversion = {});
    void click(const char *button);
    QString toneFile(double seconds, const QString &name = QStringLiteral("concert.wav"));
    // The encoder library the window will load (before the window is built).
    void useLibrary(const QString &path);

    TestFolder folder;
    std::unique_ptr<ScopedEnvironment> shim =
        std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", realShimPath());

private:
    std::unique_ptr<Mp3Encoder> m_window;
};

