#include "app/window/picture_widget.h"

#include <QPainter>

#include <cmath>

PictureWidget::PictureWidget(QSize size, std::int32_t backColor, QWidget *parent)
    : QWidget(parent), m_size(size), m_box(m_image, backColor)
{
    // The image covers the whole widget: nothing beneath it needs painting first, which keeps
    // the 25 ms display refresh from repainting the frames around the pictures.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(size);
    fitImage();
}

PictureBox &PictureWidget::box()
{
    fitImage();
    return m_box;
}

QSize PictureWidget::deviceSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
}

void PictureWidget::fitImage()
{
    const QSize size = deviceSize();
    if (size == m_image.size() || size.isEmpty())
        return;
    QImage fitted(size, QImage::Format_RGB32);
    fitted.fill(colorFromRgbValue(m_box.backColor));
    if (!m_image.isNull()) {
        QPainter painter(&fitted);
        painter.drawImage(fitted.rect(), m_image);
    }
    m_image = std::move(fitted); // m_box keeps pointing at m_image
    m_box.ScaleWidth = m_image.width();
    m_box.ScaleHeight = m_image.height();
}

void PictureWidget::resizeEvent(QResizeEvent *)
{
    fitImage();
}

void PictureWidget::paintEvent(QPaintEvent *)
{
    fitImage(); // the window may have moved to a screen of another scale
    QPainter painter(this);
    // A device-size image in the widget's rectangle: one image pixel to one screen pixel.
    painter.drawImage(QRectF(rect()), m_image, QRectF(m_image.rect()));
}
