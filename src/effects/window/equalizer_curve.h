// The equaliser's response curve of the effects settings window: one point per band, placed
// by the band sliders' values, joined by a cosine-interpolated line whose colour follows its
// height (reddish at +12 dB on top, amber at 0 dB in the middle, green at -12 dB at the bottom),
// over a dark background with a grid line at each band. Drawn into a QImage, so the window
// shows it from memory and tests read its pixels.
#pragma once

#include <QImage>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace equalizer_curve {

// Colours, red + 256 * green + 65536 * blue.
constexpr std::int32_t kBackground = 0x2C1F18;  // RGB(24, 31, 44)
constexpr std::int32_t kGridLine = 0x42585E;    // RGB(94, 88, 66)
constexpr std::int32_t kCurveStart = 0x839EA7;  // RGB(167, 158, 131)
constexpr std::int32_t kCurveTop = 74428;       // RGB(188, 34, 1)
constexpr std::int32_t kCurveMiddle = 2271457;  // RGB(225, 168, 34)
constexpr std::int32_t kCurveBottom = -13312;   // its low three bytes: RGB(0, 204, 0)

// The band sliders' reach: a value of -kSliderMax (+12 dB) is the top edge.
constexpr int kSliderMax = 12;

} // namespace equalizer_curve

// y1 at t = 0, y2 at t = 1, following half a cosine wave in between.
double CosineInterpolate(double y1, double y2, double t);

// Redraws the whole image from the band sliders' values (-12 .. 12, index 0 for band 0; a
// negative value is a gain above 0 dB) and leaves in eqPoints one point per band, in pixels of
// the image: eqPoints[i] belongs to band i. Nothing is drawn but the background when there is
// no band or the image is too narrow for one pixel per band.
void DrawEqualizerCurve(QImage &picture, std::span<const int> sliderValues,
                        std::vector<QPointF> &eqPoints);

// The text under a band slider: "80 Hz", "1000 Hz", and whole kilohertz above 1000 Hz with the
// fraction dropped ("1 kHz" for 1084 Hz).
QString bandFrequencyText(std::int32_t frequencyHz);
