// The picture box that shows the equaliser's curve (picEQAmp): it owns the image that the curve
// is drawn into and paints it at its own pixel size, so what the screen shows is exactly what
// DrawEqualizerCurve left in memory.
#pragma once

#include <QImage>
#include <QWidget>

class CurvePicture : public QWidget {
    Q_OBJECT
public:
    CurvePicture(QSize imageSize, QWidget *parent = nullptr);

    QImage &image() { return m_image; }
    const QImage &image() const { return m_image; }

    QSize sizeHint() const override { return m_image.size(); }
    QSize minimumSizeHint() const override { return m_image.size(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};
