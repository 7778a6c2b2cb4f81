// A picture box of the main window: it owns the QImage that the display routines paint on, at
// the widget's own size in device pixels, and shows it pixel for pixel. ScaleWidth and
// ScaleHeight of its box are that size, so a trace or a bar is drawn as finely as the screen
// shows it, at any scale factor, and never stretched.
#pragma once

#include "display/picture_box.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

class PictureWidget : public QWidget {
    Q_OBJECT
public:
    // size is the box's preferred size in the window's (device-independent) pixels; backColor
    // (red + 256 * green + 65536 * blue) is what clearing the box restores. The size policy is
    // the caller's.
    PictureWidget(QSize size, std::int32_t backColor, QWidget *parent = nullptr);

    // The box to draw on, its image first brought to the widget's current device size.
    PictureBox &box();
    const QImage &image() const { return m_image; }

    QSize sizeHint() const override { return m_size; }
    QSize minimumSizeHint() const override { return m_size; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QSize deviceSize() const;
    // A new image when the widget's device size changed; the picture shown so far is kept,
    // scaled, until the next drawing replaces it.
    void fitImage();

    QSize m_size;
    QImage m_image;
    PictureBox m_box;
};
