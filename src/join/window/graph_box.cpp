#include "join/window/graph_box.h"

#include <QPainter>

GraphBox::GraphBox(QSize imageSize, QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setImageSize(imageSize);
}

void GraphBox::setImageSize(QSize size)
{
    if (m_image.size() != size)
        m_image = QImage(size, QImage::Format_RGB32);
    clear();
    setFixedHeight(size.height());
    updateGeometry();
}

void GraphBox::clear()
{
    m_image.fill(backColor());
    update();
}

void GraphBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), m_image);
}
