// What `sonoriel record` says on its terminal: stderr carries a live size and duration line,
// rewritten in place, and the messages and notices, each on a line of its own after it; the
// space bar, when standard input is the terminal in the foreground, asks to pause or resume.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace cli {

class StderrMessages {
public:
    // A failure: the recording holds less than was asked, and the command fails.
    void showMessage(const QString &text, const QString &reason = {});
    // News that is no failure (a pause, the trigger, the next part).
    void showNotice(const QString &text);
    void showLiveLine(const QString &text);
    void endLiveLine();
    int count() const { return m_count; }

private:
    void print(const QString &text);

    int m_count = 0;
    bool m_liveLine = false;
};

// Reads single keys from a terminal on standard input, without echo, while it lives; the
// terminal gets its settings back when it goes. Does nothing when standard input is no
// terminal or the program runs in the background.
class SpaceBar : public QObject {
    Q_OBJECT
public:
    explicit SpaceBar(QObject *parent = nullptr);
    ~SpaceBar() override;

signals:
    void pressed();

private:
    struct Terminal;
    std::unique_ptr<Terminal> m_terminal;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace cli
