// Helpers of the display tests: blocks of known samples, and reading the drawn images.
#pragma once

#include "../support/scoped_locale.h"

#include <QImage>

#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

inline constexpr std::int32_t rgbValue(int red, int green, int blue) { return red + 256 * green + 65536 * blue; }

inline QImage blackImage(int width, int height) { QImage image(width, height, QImage::Format_RGB32); image.fill(Qt::black); return image; }

inline std::vector<std::int16_t> constantBlock(std::size_t count, std::int16_t value) { return std::vector<std::int16_t>(count, value); }

inline bool isColor(const QImage &image, int x, int y, int red, int green, int blue) { return (image.pixel(x, y) & 0xffffffu) == (qRgb(red, green, blue) & 0xffffffu); }

// Whether every pixel from (left, top) to (right, bottom) included has the given colour.
inline bool areaIs(const QImage &image, int left, int top, int right, int bottom, int red, int green, int blue)
{
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (!isColor(image, x, y, red, green, blue)) return false;
    return true;
}

// Number of pixels that differ from black, in column x or in the whole image (x < 0).
inline int litPixels(const QImage &image, int column = -1)
{
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = column < 0 ? 0 : column; x < (column < 0 ? image.width() : column + 1); ++x)
            lit += (image.pixel(x, y) & 0xffffff) != 0 ? 1 : 0;
    return lit;
}
