// cProgressBar: the conversion window's progress bar, a thin strip that fills from the left in
// the highlight colour and shows a text centred over it (the text takes the highlight-text
// colour where it lies over the filled part). The minimum is always 0.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <cstdint>

class QPainter;

class cProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit cProgressBar(QWidget *parent = nullptr);

    bool ShowText() const { return m_showText; }
    void setShowText(bool show);
    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor &color);
    QColor ForeColor() const { return m_foreColor; }
    void setForeColor(const QColor &color);
    QColor BarColor() const { return m_barColor; }
    void setBarColor(const QColor &color);
    QColor BarForeColor() const { return m_barForeColor; }
    void setBarForeColor(const QColor &color);
    QString Text() const { return m_text; }
    void setText(const QString &text);
    std::int32_t max() const { return m_max; }
    void setMax(std::int32_t max);
    std::int32_t Value() const { return m_value; }
    void setValue(std::int32_t value);

    // Value / max limited to 0...1, times 100; 100 when max is 0 (nothing to do is done).
    double Percent() const;

    // Paints the bar into rect: background, filled part, frame and text.
    void DrawToDC(QPainter &painter, const QRect &rect) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_showText = false;
    QColor m_backColor;
    QColor m_foreColor;
    QColor m_barColor;
    QColor m_barForeColor;
    QString m_text;
    std::int32_t m_max = 100;
    std::int32_t m_value = 0;
};
