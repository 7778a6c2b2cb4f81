// Keeps a widget that belongs to the window itself lying over a place inside a frame: the
// slot takes the widget's room in the frame's layout and moves the widget onto itself. The
// widget is not the frame's child, so disabling the frame leaves it usable (the line list and
// the volume slider stay usable while the input frame is disabled during a recording).
#pragma once

#include <QPointer>
#include <QWidget>

class OverlaySlot : public QWidget {
    Q_OBJECT
public:
    // overlay must be a child of an ancestor of this slot's future parent.
    explicit OverlaySlot(QWidget *overlay, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QPointer<QWidget> m_overlay;
};
