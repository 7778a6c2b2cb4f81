// The progress bar's properties and its drawing: background, the filled part from the left, a
// frame, and the text centred in two colours.
#include "mp3/window/progress_bar.h"

#include "mp3/encoding_presets.h"

#include <QPainter>

#include <cmath>

cProgressBar::cProgressBar(QWidget *parent)
    : QWidget(parent), m_backColor(palette().color(QPalette::Base)), m_foreColor(palette().color(QPalette::Text)),
      m_barColor(palette().color(QPalette::Highlight)), m_barForeColor(palette().color(QPalette::HighlightedText))
{
}

void cProgressBar::setShowText(bool show)
{
    m_showText = show;
    update();
}

void cProgressBar::setBackColor(const QColor &color)
{
    m_backColor = color;
    update();
}

void cProgressBar::setForeColor(const QColor &color)
{
    m_foreColor = color;
    update();
}

void cProgressBar::setBarColor(const QColor &color)
{
    m_barColor = color;
    update();
}

void cProgressBar::setBarForeColor(const QColor &color)
{
    m_barForeColor = color;
    update();
}

void cProgressBar::setText(const QString &text)
{
    m_text = text;
    update();
}

void cProgressBar::setMax(std::int32_t max)
{
    m_max = max;
    update();
}

void cProgressBar::setValue(std::int32_t value)
{
    m_value = value;
    update();
}

double cProgressBar::Percent() const
{
    return progressPercent(m_value, m_max);
}

void cProgressBar::DrawToDC(QPainter &painter, const QRect &rect) const
{
    if (rect.isEmpty())
        return;
    painter.save();
    painter.fillRect(rect, m_backColor);
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    const int filledWidth = static_cast<int>(std::lround(inner.width() * Percent() / 100.0));
    const QRect filled(inner.left(), inner.top(), filledWidth, inner.height());
    const QRect empty(inner.left() + filledWidth, inner.top(), inner.width() - filledWidth, inner.height());
    painter.fillRect(filled, m_barColor);

    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));

    if (m_showText && !m_text.isEmpty()) {
        // The text is drawn twice, each time clipped to one part, so that it stays readable
        // where the bar passes under it.
        painter.setFont(font());
        painter.setClipRect(empty);
        painter.setPen(m_foreColor);
        painter.drawText(inner, Qt::AlignCenter, m_text);
        painter.setClipRect(filled);
        painter.setPen(m_barForeColor);
        painter.drawText(inner, Qt::AlignCenter, m_text);
    }
    painter.restore();
}

void cProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    DrawToDC(painter, rect());
}
