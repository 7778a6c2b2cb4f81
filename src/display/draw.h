// clsDraw: the two graphic views of the main window drawn from the latest captured block, an
// amplitude trace (one white line across a black box, each column the mean of a run of
// samples) and a 22-bar spectrum with peak hold, plus the solid fill the level meters use.
// Lines leave out their end point; filled rectangles cover their left and top edges and stop
// before their right and bottom edges.
#pragma once

#include "display/fourier.h"
#include "display/picture_box.h"

#include <QPainter>
#include <QPoint>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class clsDraw {
public:
    static constexpr int kBarCount = 22;

    clsDraw();
    ~clsDraw();

    // Fills [lngLeft, lngRight) x [lngTop, lngBottom) with lngColor; an empty or inverted
    // rectangle fills nothing.
    void DrawRect(QPainter &hdc, std::int32_t lngLeft, std::int32_t lngTop, std::int32_t lngRight,
                  std::int32_t lngBottom, std::int32_t lngColor);

    // Clears the box to black and draws the trace of samples; positive values go downward.
    void DrawAmplitudes(std::span<const std::int16_t> samples, PictureBox &box);

    // Lowers every bar by 0.07, raises it to the spectrum of the first 1024 samples and draws
    // the bars. A block shorter than 1024 samples changes neither the bars nor the picture.
    // The bars are three pixels wide with one-pixel gaps from x = 4 in a box 99 pixels wide;
    // a box of another width scales their columns in proportion.
    void DrawFrequencies(std::span<const std::int16_t> samples, PictureBox &box);

private:
    // The white lines from each vertex of m_trace to the next, each without its end point.
    void drawTrace(QImage &image) const;

    static float HannWeight(std::int32_t n, std::int32_t length);
    static std::int32_t MinLong(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
    static std::int32_t MaxLong(std::int32_t a, std::int32_t b) { return a > b ? a : b; }

    std::array<double, kBarCount> m_levels{};
    std::unique_ptr<clsFourier> m_fourier; // created at the first spectrum call
    std::vector<QPoint> m_trace;           // the trace's vertices, kept to avoid reallocating
};
