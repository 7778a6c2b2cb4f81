#include "app/window/status_note.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

StatusNote::StatusNote(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void StatusNote::setNote(const QString &text, const QString &toolTip, bool clickable)
{
    setText(text);
    setToolTip(toolTip.isEmpty() ? text : toolTip);
    m_clickable = clickable;
    if (clickable)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

QSize StatusNote::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

QSize StatusNote::sizeHint() const
{
    return {0, QLabel::sizeHint().height()};
}

void StatusNote::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_clickable && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void StatusNote::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}
