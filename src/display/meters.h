// The level meters of the main window: the peak of one channel of a block, the horizontal bar
// whose length and colour follow the level, and the colour ramp (also used by the effects
// settings window). Colours are red + 256 * green + 65536 * blue.
#pragma once

#include "display/picture_box.h"

#include <cstdint>
#include <span>

class clsDraw;

struct ColorParts {
    float red;
    float green;
    float blue;
};

// The largest absolute value of samples[first], samples[first + step], ... (-32768 gives
// 32768); 0 when first is past the end, negative, or step is below 1.
std::int32_t ChannelPeak(std::span<const std::int16_t> samples, std::int32_t first,
                         std::int32_t step);

// Clears the box to its background colour and fills from the left a bar of level (0 to 1)
// times the box's width, coloured green at 0, amber at 0.5 and red at 1.
void DrawMeter(clsDraw &painter, PictureBox &box, float level);

// A two-segment ramp from low (value 0) through mid (value maximum / 2) to high (value
// maximum). Components are kept within 0 .. 255 when value lies outside 0 .. maximum; a
// ramp of no length (maximum not above 0) gives high from value 0 on and low below it.
std::int32_t GradientColor(float maximum, float value, std::int32_t lowColor, std::int32_t midColor,
                           std::int32_t highColor);

ColorParts SplitColor(std::int32_t color);
