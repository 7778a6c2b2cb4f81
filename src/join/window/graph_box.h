// One picture box of the join window's waveform graph: it owns the QImage the graph is drawn
// on and shows it stretched over the widget's width, so the drawing keeps its pixel size
// while the window's layout grows or shrinks it.
#pragma once

#include <QImage>
#include <QWidget>

class GraphBox : public QWidget {
    Q_OBJECT
public:
    // A box whose drawing is imageSize pixels; it starts cleared.
    explicit GraphBox(QSize imageSize, QWidget *parent = nullptr);

    QImage &image() { return m_image; }
    const QImage &image() const { return m_image; }

    // A new drawing size (the box is cleared) and the widget's height to match it.
    void setImageSize(QSize size);
    // Fills the drawing with the box's background colour.
    void clear();

    static QColor backColor() { return Qt::white; }

    QSize sizeHint() const override { return m_image.size(); }
    QSize minimumSizeHint() const override { return {m_image.width() / 4, m_image.height()}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};
