// Channel peaks, the level bar and the colour ramp.
#include "display/meters.h"

#include "common/rounding.h"
#include "display/draw.h"

#include <QPainter>

namespace {

constexpr std::int32_t kMeterLow = 0 + 256 * 255 + 65536 * 0;      // RGB(0, 255, 0)
constexpr std::int32_t kMeterMid = 225 + 256 * 168 + 65536 * 34;   // RGB(225, 168, 34)
constexpr std::int32_t kMeterHigh = 255 + 256 * 0 + 65536 * 0;     // RGB(255, 0, 0)

std::int32_t component(float value)
{
    if (!(value > 0)) // also NaN
        return 0;
    if (value > 255)
        return 255;
    return static_cast<std::int32_t>(roundHalfEven(value));
}

} // namespace

std::int32_t ChannelPeak(std::span<const std::int16_t> samples, std::int32_t first,
                         std::int32_t step)
{
    if (first < 0 || step < 1)
        return 0;
    std::int32_t peak = 0;
    for (std::size_t i = static_cast<std::size_t>(first); i < samples.size();
         i += static_cast<std::size_t>(step)) {
        const std::int32_t value = samples[i] < 0 ? -static_cast<std::int32_t>(samples[i]) : samples[i];
        if (value > peak)
            peak = value;
    }
    return peak;
}

void DrawMeter(clsDraw &painter, PictureBox &box, float level)
{
    const std::int32_t color = GradientColor(1.0f, level, kMeterLow, kMeterMid, kMeterHigh);
    QPainter hdc(box.image);
    hdc.fillRect(box.image->rect(), colorFromRgbValue(box.backColor));
    const auto right = static_cast<std::int32_t>(roundHalfEven(level * box.ScaleWidth));
    const auto bottom = static_cast<std::int32_t>(roundHalfEven(box.ScaleHeight));
    painter.DrawRect(hdc, 0, 0, right, bottom, color);
}

std::int32_t GradientColor(float maximum, float value, std::int32_t lowColor, std::int32_t midColor,
                           std::int32_t highColor)
{
    const float half = maximum / 2;
    if (!(half > 0))
        return value >= half ? highColor : lowColor;

    ColorParts from;
    ColorParts to;
    float t;
    if (value >= half) {
        from = SplitColor(midColor);
        to = SplitColor(highColor);
        t = value - half;
    } else {
        from = SplitColor(lowColor);
        to = SplitColor(midColor);
        t = value;
    }
    const float red = from.red + (to.red - from.red) / half * t;
    const float green = from.green + (to.green - from.green) / half * t;
    const float blue = from.blue + (to.blue - from.blue) / half * t;
    return component(red) + 256 * component(green) + 65536 * component(blue);
}

ColorParts SplitColor(std::int32_t color)
{
    return ColorParts{static_cast<float>(color & 255), static_cast<float>((color / 256) & 255),
                      static_cast<float>((color / 65536) & 255)};
}
