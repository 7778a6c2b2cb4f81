#include "app/window/overlay_slot.h"

#include <QEvent>

OverlaySlot::OverlaySlot(QWidget *overlay, QWidget *parent) : QWidget(parent), m_overlay(overlay)
{
    setSizePolicy(overlay->sizePolicy());
}

QSize OverlaySlot::sizeHint() const
{
    return m_overlay ? m_overlay->sizeHint() : QSize();
}

QSize OverlaySlot::minimumSizeHint() const
{
    return m_overlay ? m_overlay->minimumSizeHint() : QSize();
}

bool OverlaySlot::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        place();
        break;
    case QEvent::ParentChange:
        // Moves of the frames above us move the slot without a Move event of its own.
        for (QWidget *ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
            ancestor->removeEventFilter(this);
            ancestor->installEventFilter(this);
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool OverlaySlot::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        place();
    return false;
}

void OverlaySlot::place()
{
    if (!m_overlay || !m_overlay->parentWidget())
        return;
    const QPoint topLeft = mapTo(window(), QPoint(0, 0));
    const QPoint inOwner = m_overlay->parentWidget()->mapFrom(window(), topLeft);
    m_overlay->setGeometry(QRect(inOwner, size()));
    m_overlay->raise();
}
