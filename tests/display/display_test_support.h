// Helpers of the display tests: blocks of known samples, and reading what the drawing left on
// an image.
#pragma once

#include "../support/scoped_locale.h"

#include <QImage>
#include <QString>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

// Lets GoogleTest print texts as they read.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

inline constexpr std::int32_t rgbValue(int red, int green, int blue) { return red + 256 * green + 65536 * blue; }

inline QImage blackImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

inline std::vector<std::int16_t> constantBlock(std::size_t count, std::int16_t value)
{
    return std::vector<std::int16_t>(count, value);
}

// amplitude * sin(2 pi * cycles * n / period) for n = 0 .. count - 1, rounded.
inline std::vector<std::int16_t> sineBlock(std::size_t count, double amplitude, double cycles, double period)
{
    std::vector<std::int16_t> block(count);
    for (std::size_t n = 0; n < count; ++n)
        block[n] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::acos(-1.0) * cycles * static_cast<double>(n) / period)));
    return block;
}

inline bool isColor(const QImage &image, int x, int y, int red, int green, int blue)
{
    return (image.pixel(x, y) & 0xffffffu) == (qRgb(red, green, blue) & 0xffffffu);
}

// True when every pixel from (left, top) to (right, bottom) included has the given colour.
inline bool areaIs(const QImage &image, int left, int top, int right, int bottom, int red, int green, int blue)
{
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (!isColor(image, x, y, red, green, blue))
                return false;
    return true;
}

// Number of pixels in column x that differ from black, and in the whole image.
inline int litPixelsInColumn(const QImage &image, int x)
{
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        lit += (image.pixel(x, y) & 0xffffff) != 0 ? 1 : 0;
    return lit;
}

inline int litPixels(const QImage &image)
{
    int lit = 0;
    for (int x = 0; x < image.width(); ++x)
        lit += litPixelsInColumn(image, x);
    return lit;
}
