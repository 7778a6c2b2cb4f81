// The equaliser curve's picture box.
#include "effects/window/curve_picture.h"

#include "effects/window/equalizer_curve.h"
#include "display/picture_box.h"

#include <QPainter>

CurvePicture::CurvePicture(QSize imageSize, QWidget *parent)
    : QWidget(parent), m_image(imageSize, QImage::Format_RGB32)
{
    m_image.fill(colorFromRgbValue(equalizer_curve::kBackground));
    setFixedSize(imageSize);
}

void CurvePicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_image);
}
