#include "app/window/picture_widget.h"

#include <QPainter>

PictureWidget::PictureWidget(QSize imageSize, std::int32_t backColor, QWidget *parent)
    : QWidget(parent), m_image(imageSize, QImage::Format_RGB32), m_box(m_image, backColor)
{
    m_image.fill(colorFromRgbValue(backColor));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumHeight(imageSize.height());
    // The image covers the whole widget: nothing beneath it needs painting first, which keeps
    // the 25 ms display refresh from repainting the frames around the pictures.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), m_image);
}
