#include "app/window/picture_widget.h"

#include <QPainter>

PictureWidget::PictureWidget(QSize imageSize, std::int32_t backColor, QWidget *parent)
    : QWidget(parent), m_image(imageSize, QImage::Format_RGB32), m_box(m_image, backColor)
{
    m_image.fill(colorFromRgbValue(backColor));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumHeight(imageSize.height());
}

void PictureWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), m_image);
}
