// Drawing of the equaliser's response curve, and the band labels' texts.
#include "effects/window/equalizer_curve.h"

#include "common/rounding.h"
#include "display/meters.h"
#include "display/picture_box.h"

#include <QPainter>

#include <cmath>

namespace {

QPoint pixel(double x, double y)
{
    return QPoint(static_cast<int>(roundHalfEven(x)), static_cast<int>(roundHalfEven(y)));
}

} // namespace

double CosineInterpolate(double y1, double y2, double t)
{
    const double m = (1.0 - std::cos(t * 3.14159265358979)) / 2.0;
    // y1 (1 - m) + y2 m, written so that equal ends give exactly that value at every t: a
    // flat stretch of the curve must not fall half a pixel and round into the row above.
    return y1 + (y2 - y1) * m;
}

void DrawEqualizerCurve(QImage &picture, std::span<const int> sliderValues,
                        std::vector<QPointF> &eqPoints)
{
    using namespace equalizer_curve;
    picture.fill(colorFromRgbValue(kBackground));
    const int h = picture.height();
    const int w = picture.width();
    const int n = static_cast<int>(sliderValues.size());
    eqPoints.assign(sliderValues.size(), QPointF());
    if (n == 0)
        return;
    const int step = static_cast<int>(roundHalfEven(static_cast<double>(w - 10) / n));
    if (step < 1)
        return; // no room for one pixel per band

    for (int i = 0; i < n; ++i) {
        const double y = (static_cast<double>(sliderValues[static_cast<std::size_t>(i)]) / kSliderMax) * h / 2.0 +
                         h / 2.0;
        eqPoints[static_cast<std::size_t>(i)] = QPointF(step * (i + 1) - 4, y);
    }

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(colorFromRgbValue(kGridLine));
    for (const QPointF &point : eqPoints)
        painter.drawLine(pixel(point.x(), 2), pixel(point.x(), h - 2));

    QPoint previous = pixel(eqPoints[0].x(), eqPoints[0].y());
    painter.setPen(colorFromRgbValue(kCurveStart));
    painter.drawPoint(previous);

    // A fifth of a pixel per step between neighbouring bands, coloured by height.
    std::int32_t penColor = kCurveStart;
    for (int i = 0; i + 1 < n; ++i) {
        const QPointF &from = eqPoints[static_cast<std::size_t>(i)];
        const QPointF &to = eqPoints[static_cast<std::size_t>(i + 1)];
        for (int j = 0; j <= 5 * step; ++j) {
            const double t = (j / 5.0) / step;
            const double y = CosineInterpolate(from.y(), to.y(), t);
            const double yy = roundHalfEven(y - 0.5);
            const QPoint next = pixel(from.x() + j / 5.0, yy);
            if (next == previous)
                continue; // still on the same pixel: the next line starts from it
            const std::int32_t color =
                GradientColor(static_cast<float>(h), static_cast<float>(yy), kCurveTop, kCurveMiddle, kCurveBottom);
            if (color != penColor) {
                penColor = color;
                painter.setPen(colorFromRgbValue(color));
            }
            painter.drawLine(previous, next);
            previous = next;
        }
    }
}

QString bandFrequencyText(std::int32_t frequencyHz)
{
    if (frequencyHz > 1000)
        return QString::number(frequencyHz / 1000) + QStringLiteral(" kHz");
    return QString::number(frequencyHz) + QStringLiteral(" Hz");
}
