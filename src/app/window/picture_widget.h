// A picture box of the main window: it owns the QImage that the display routines paint on
// and shows it stretched over the widget, so the drawings keep their pixel size while the
// window follows the font and screen density.
#pragma once

#include "display/picture_box.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

class PictureWidget : public QWidget {
    Q_OBJECT
public:
    // imageSize is the drawing's size in pixels; backColor (red + 256 * green + 65536 * blue)
    // is what clearing the box restores.
    PictureWidget(QSize imageSize, std::int32_t backColor, QWidget *parent = nullptr);

    PictureBox &box() { return m_box; }
    const QImage &image() const { return m_image; }

    QSize sizeHint() const override { return m_image.size(); }
    QSize minimumSizeHint() const override { return m_image.size() / 2; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    PictureBox m_box;
};
