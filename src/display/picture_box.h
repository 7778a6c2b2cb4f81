// What the drawing routines need of a picture box: the image they paint on, the inner size in
// pixels (ScaleWidth, ScaleHeight) and the background colour that clearing restores. The
// window shows the image; tests read its pixels.
#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>

// Colours are red + 256 * green + 65536 * blue, as the display's routines compute them.
inline QColor colorFromRgbValue(std::int32_t value)
{
    return QColor(value & 255, (value >> 8) & 255, (value >> 16) & 255);
}

struct PictureBox {
    // A box whose inner area is the whole image.
    PictureBox(QImage &target, std::int32_t background)
        : image(&target), ScaleWidth(target.width()), ScaleHeight(target.height()), backColor(background)
    {
    }

    PictureBox(QImage &target, double scaleWidth, double scaleHeight, std::int32_t background)
        : image(&target), ScaleWidth(scaleWidth), ScaleHeight(scaleHeight), backColor(background)
    {
    }

    QImage *image;      // borrowed; must outlive every drawing call on the box
    double ScaleWidth;  // inner width in pixels
    double ScaleHeight; // inner height in pixels
    std::int32_t backColor;
};
