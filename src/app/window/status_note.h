// A status-bar note that never widens the window: a long text is cut with an ellipsis where
// the bar ends (the whole text in the tool tip), and a click on it is reported when it leads
// somewhere (the last take's folder).
#pragma once

#include <QLabel>

class StatusNote : public QLabel {
    Q_OBJECT
public:
    explicit StatusNote(QWidget *parent = nullptr);

    // Shows text; clickable: a click says clicked() and the pointer shows a hand over it.
    void setNote(const QString &text, const QString &toolTip = {}, bool clickable = false);
    bool isClickable() const { return m_clickable; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_clickable = false;
};
