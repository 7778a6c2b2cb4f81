// clsDraw's trace, spectrum bars and rectangle fill, painted with QPainter on the box's image.
#include "display/draw.h"

#include "common/rounding.h"


#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr std::int32_t kSpectrumLength = 1024;
constexpr std::int32_t kSpectrumBins = 513;
constexpr double kSpectrumBoxWidth = 99; // the 22 bars from x = 4 to x = 91, and a margin
constexpr std::int32_t kBlack = 0;
constexpr std::int32_t kWhite = 255 + 256 * 255 + 65536 * 255;

std::int32_t roundToLong(double value)
{
    return static_cast<std::int32_t>(roundHalfEven(value));
}

std::int32_t rgb(std::int32_t red, std::int32_t green, std::int32_t blue)
{
    return red + 256 * green + 65536 * blue;
}

// A one-pixel line from `from` towards `to` that stops before its end point: one pixel for each
// step along the longer axis, the other coordinate the one nearest the ideal line (a tie goes
// towards the end point). A polyline drawn segment by segment so lights each vertex once, with
// the next segment, and a steep segment shares its rows between the columns it joins. Pixels
// outside the image are left out.
void lineTo(QImage &image, QPoint from, QPoint to, QRgb color)
{
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i < steps; ++i) {
        // i * d / steps rounded to the nearest, halves away from the start, in integers.
        const auto along = [i, steps](int d) {
            const int magnitude = (2 * i * std::abs(d) + steps) / (2 * steps);
            return d < 0 ? -magnitude : magnitude;
        };
        const int x = from.x() + along(dx);
        const int y = from.y() + along(dy);
        if (image.rect().contains(x, y))
            image.setPixel(x, y, color);
    }
}

} // namespace

clsDraw::clsDraw() = default;
clsDraw::~clsDraw() = default;

float clsDraw::HannWeight(std::int32_t n, std::int32_t length)
{
    return static_cast<float>((1 - std::cos(6.2831855f * static_cast<double>(n) / length)) / 2);
}

void clsDraw::DrawRect(QPainter &hdc, std::int32_t lngLeft, std::int32_t lngTop,
                       std::int32_t lngRight, std::int32_t lngBottom, std::int32_t lngColor)
{
    if (lngRight <= lngLeft || lngBottom <= lngTop)
        return;
    hdc.fillRect(QRect(lngLeft, lngTop, lngRight - lngLeft, lngBottom - lngTop),
                 colorFromRgbValue(lngColor));
}

void clsDraw::DrawAmplitudes(std::span<const std::int16_t> samples, PictureBox &box)
{
    const std::int32_t width = roundToLong(box.ScaleWidth);
    const std::int32_t height = roundToLong(box.ScaleHeight);
    const std::int32_t mid = height / 2;

    {
        QPainter painter(box.image);
        DrawRect(painter, 0, 0, width, height, kBlack);
    }

    m_trace.clear();
    m_trace.emplace_back(0, mid);
    const std::int32_t last = roundToLong(box.ScaleWidth - 3);
    if (last < 1) {
        m_trace.emplace_back(1, mid);
        m_trace.emplace_back(2, mid);
        drawTrace(*box.image);
        return;
    }

    // Each column shows the mean of `step` consecutive stored samples. A box too wide for the
    // block would make the run empty or carry it past the block's end; such columns show
    // silence instead.
    const double lastIndex = static_cast<double>(samples.size()) - 1;
    const std::int32_t step = roundToLong(lastIndex / box.ScaleWidth);
    const std::size_t count = samples.size();
    std::size_t i = 0;
    for (std::int32_t x = 1; x <= last; ++x) {
        double a = 0;
        if (step >= 1 && i + static_cast<std::size_t>(step) <= count) {
            // A sum of 16-bit samples is exact in integers, as it would be in a double.
            std::int64_t sum = 0;
            for (std::int32_t n = 0; n < step; ++n)
                sum += samples[i + static_cast<std::size_t>(n)];
            i += static_cast<std::size_t>(step);
            a = static_cast<double>(sum) / step / 32767;
            if (a > 1)
                a = 1;
            if (a < -1)
                a = -1;
        }
        m_trace.emplace_back(x, roundToLong((mid - 2) * a + mid));
    }
    m_trace.emplace_back(last + 1, mid);
    m_trace.emplace_back(last + 2, mid);
    drawTrace(*box.image);
}

void clsDraw::drawTrace(QImage &image) const
{
    const QRgb white = colorFromRgbValue(kWhite).rgb();
    for (std::size_t i = 1; i < m_trace.size(); ++i)
        lineTo(image, m_trace[i - 1], m_trace[i], white);
}

void clsDraw::DrawFrequencies(std::span<const std::int16_t> samples, PictureBox &box)
{
    if (samples.size() < static_cast<std::size_t>(kSpectrumLength))
        return;

    if (!m_fourier) {
        auto fourier = std::make_unique<clsFourier>();
        fourier->NumberOfSamples(kSpectrumLength);
        fourier->WithTimeWindow(1);
        m_fourier = std::move(fourier);
    }
    for (std::int32_t i = 0; i < kSpectrumLength; ++i)
        m_fourier->RealIn(i + 1, samples[static_cast<std::size_t>(i)]);

    for (double &level : m_levels) {
        level -= 0.07;
        if (level < 0)
            level = 0;
    }

    // Bin magnitudes scaled so that 0.2 of full scale (after the window) and above reads 1.
    std::array<float, kSpectrumLength> s{};
    for (std::int32_t i = 0; i < kSpectrumBins; ++i) {
        float value = static_cast<float>(m_fourier->ComplexOut(i + 1) / 256 / 32767);
        if (value > 0.2)
            value = 0.2f;
        s[static_cast<std::size_t>(i)] = static_cast<float>(value / 0.2);
    }

    // The running sum is never reset, so each bar carries a share of the bars to its left.
    float sum = 0;
    std::size_t k = 1;
    for (int b = 0; b < kBarCount; ++b) {
        sum = sum + s[k] + s[k + 1] + s[k + 2] + s[k + 3];
        sum = (HannWeight(b + 3, 25) + 1) * sum / 3;
        double &level = m_levels[static_cast<std::size_t>(b)];
        if (static_cast<float>(level) < sum)
            level = sum;
        if (level > 1)
            level = 1;
        k += 5;
    }

    // The bars' columns are laid out for a box of kSpectrumBoxWidth pixels; a wider box (the
    // same box on a screen of a higher scale) spreads them in proportion, so that they fill it
    // as they fill the narrow one: twice as wide on a box twice as wide.
    const double height = box.ScaleHeight;
    const double across = box.ScaleWidth / kSpectrumBoxWidth;
    const auto column = [across](std::int32_t x) { return roundToLong(x * across); };
    QPainter painter(box.image);
    painter.fillRect(box.image->rect(), colorFromRgbValue(box.backColor));
    for (int b = 0; b < kBarCount; ++b) {
        const double level = m_levels[static_cast<std::size_t>(b)];
        const std::int32_t color = rgb(255, roundToLong(level * 255), 50);
        const std::int32_t top =
            MaxLong(2, MinLong(roundToLong(height), roundToLong(height - height * level)) - 2);
        DrawRect(painter, column(4 * b + 4), top, column(4 * b + 7), roundToLong(height - 2), color);
    }
}
