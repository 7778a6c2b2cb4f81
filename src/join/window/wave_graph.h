// The waveform graph of one WAV file, drawn on the join window's four picture boxes: the
// left (or only) channel on the two left boxes, the right channel on the two right boxes,
// each pair receiving exactly the same drawing. Coordinates are twips (15 to a pixel), the
// first left box giving the geometry: a black centre line, two guide lines 3/8 of the height
// above and below it in the button-face colour, and the trace of the samples across the box.
#pragma once

#include "join/window/graph_box.h"

#include <QColor>
#include <QString>

#include <cstdint>

struct WaveGraphBoxes {
    GraphBox &left1;
    GraphBox &left2;
    GraphBox &right1;
    GraphBox &right2;
};

namespace wave_graph {

constexpr int kTwipsPerPixel = 15;
constexpr int kMonoHeightTwips = 2480;   // the first left box alone
constexpr int kStereoHeightTwips = 1240; // each channel's box
constexpr int kWidthPixels = 640;        // 9600 twips
constexpr int kLastStepTwips = 9999;     // the trace of a long file samples x = 1 ... 9999

// A box height in pixels, rounded to an even count so that the centre line falls on a pixel.
constexpr int heightPixels(int twips)
{
    return 2 * ((twips + kTwipsPerPixel) / (2 * kTwipsPerPixel));
}

inline QColor traceColor() { return QColor(0, 0, 160); }
inline QColor labelColor() { return Qt::black; }
inline QColor centreLineColor() { return Qt::black; }

} // namespace wave_graph

// Clears the four boxes and draws the samples of fileName: frameCount frames of channels x
// bitsPerSample from dataOffset (the fields of the file's join record). Channels other than 2
// draw the first channel as mono, hide the right boxes and print no labels; stereo prints
// "Left" and "Right" at the top left of its boxes. Frames that lie beyond frameCount or
// beyond the end of the file are not drawn and are no error. Raises an AppError when the file
// cannot be opened (the boxes are then left cleared).
void DrawWaveGraph(const WaveGraphBoxes &boxes, std::int16_t channels, std::int64_t frameCount,
                   const QString &fileName, std::int16_t bitsPerSample, std::int64_t dataOffset);
