// DrawWaveGraph: reads the frames the graph needs straight from the file (one frame per twip
// step for a long file, every frame for a short one; never the file whole) and draws them as one polyline per
// channel, in twips converted to the boxes' pixels.
#include "join/window/wave_graph.h"

#include "join/join_errors.h"

#include "common/app_error.h"
#include "common/rounding.h"
#include "platform/files/file.h"

#include <QPainter>
#include <QPalette>
#include <QPoint>

#include <cmath>
#include <vector>

namespace {

using namespace wave_graph;

int toPixels(double twips)
{
    return static_cast<int>(std::floor(twips / kTwipsPerPixel + 0.5));
}

// Where a channel's trace goes, in twips, with the box geometry it is drawn for.
class Trace {
public:
    Trace(double midY, bool eightBit)
        : m_midY(midY), m_baseLine8(std::floor(midY + 1920.0)), m_eightBit(eightBit)
    {
    }

    // An 8-bit value is unsigned, 15 twips a step with 128 on the centre line; a 16-bit value
    // is signed, 17 units to a twip.
    void add(double xTwips, int value)
    {
        const double y = m_eightBit ? m_baseLine8 - 15.0 * value : roundHalfEven(m_midY - value / 17.0);
        m_points.emplace_back(toPixels(xTwips), toPixels(y));
    }

    const std::vector<QPoint> &points() const { return m_points; }

private:
    double m_midY;
    double m_baseLine8;
    bool m_eightBit;
    std::vector<QPoint> m_points;
};

// The frames of the data chunk, read with one positioned read each (the graph of a long file
// samples frames far apart) or, for the frames that follow each other, a block at a time.
// Reading a frame past frameCount or past the end of the file reports false instead of failing.
class FrameReader {
public:
    FrameReader(const File &file, std::int16_t channels, std::int16_t bits, std::int64_t frameCount,
                std::int64_t dataOffset)
        : m_file(file), m_valueBytes(bits == 8 ? 1 : 2),
          m_stride(std::max<int>(1, channels) * m_valueBytes), m_frameCount(frameCount), m_dataOffset(dataOffset)
    {
    }

    // The first value (left) and, when there is one, the second (right) of frame index;
    // blockFrames > 1 reads that many frames ahead in one go.
    bool read(std::int64_t index, int &left, int &right, std::int64_t blockFrames = 1)
    {
        if (index < 0 || index >= m_frameCount)
            return false;
        if (index < m_firstFrame || index >= m_firstFrame + m_framesHeld) {
            if (!load(index, std::min(blockFrames, m_frameCount - index)))
                return false;
        }
        const std::size_t at = static_cast<std::size_t>((index - m_firstFrame) * m_stride);
        left = value(at);
        right = m_stride > m_valueBytes ? value(at + std::size_t(m_valueBytes)) : 0;
        return true;
    }

private:
    bool load(std::int64_t index, std::int64_t frames)
    {
        m_block.resize(static_cast<std::size_t>(frames * m_stride));
        // A file that cannot be read further ends the trace where it stands.
        const Result<std::size_t> filled =
            m_file.readAt(static_cast<std::uint64_t>(m_dataOffset + index * m_stride), m_block);
        m_firstFrame = index;
        m_framesHeld = filled ? static_cast<std::int64_t>(*filled) / m_stride : 0; // whole frames only
        return m_framesHeld > 0;
    }

    int value(std::size_t at) const
    {
        if (m_valueBytes == 1)
            return m_block[at];
        return static_cast<std::int16_t>(m_block[at] | (m_block[at + 1] << 8));
    }

    const File &m_file;
    int m_valueBytes;
    int m_stride;
    std::int64_t m_frameCount;
    std::int64_t m_dataOffset;
    std::vector<std::uint8_t> m_block;
    std::int64_t m_firstFrame = 0;
    std::int64_t m_framesHeld = 0;
};

void drawGuides(GraphBox &box, double width, double height, double midY)
{
    QPainter painter(&box.image());
    painter.setPen(centreLineColor());
    painter.drawLine(0, toPixels(midY), toPixels(width), toPixels(midY));
    painter.setPen(box.palette().color(QPalette::Button));
    for (const double y : {midY - 3.0 * height / 8.0, midY + 3.0 * height / 8.0})
        painter.drawLine(0, toPixels(y), toPixels(width), toPixels(y));
}

void drawTrace(GraphBox &box, const std::vector<QPoint> &points, const QString &label)
{
    QPainter painter(&box.image());
    painter.setPen(traceColor());
    if (!points.empty())
        painter.drawPoint(points.front());
    if (points.size() > 1)
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    if (label.isEmpty())
        return;
    painter.setPen(labelColor());
    painter.setFont(box.font());
    painter.drawText(box.image().rect(), Qt::AlignLeft | Qt::AlignTop, label);
}

} // namespace

void DrawWaveGraph(const WaveGraphBoxes &boxes, std::int16_t channels, std::int64_t frameCount,
                   const QString &fileName, std::int16_t bitsPerSample, std::int64_t dataOffset)
{
    for (GraphBox *box : {&boxes.left1, &boxes.left2, &boxes.right1, &boxes.right2})
        box->clear();
    const Result<File> file = File::openForReading(fileName);
    if (!file)
        throw AppError(join_error::kFileAccess, QStringLiteral("Impossible d'ouvrir le fichier ") + file.reason(),
                       errorSource(QStringLiteral("DrawWaveGraph")));

    const bool stereo = channels == 2;
    const QSize size(kWidthPixels, heightPixels(stereo ? kStereoHeightTwips : kMonoHeightTwips));
    for (GraphBox *box : {&boxes.left1, &boxes.left2, &boxes.right1, &boxes.right2})
        box->setImageSize(size);
    boxes.right1.setVisible(stereo);
    boxes.right2.setVisible(stereo);

    const double width = double(size.width()) * kTwipsPerPixel;
    const double height = double(size.height()) * kTwipsPerPixel;
    const double midY = height / 2.0;
    drawGuides(boxes.left1, width, height, midY);
    drawGuides(boxes.left2, width, height, midY);
    if (stereo) {
        drawGuides(boxes.right1, width, height, midY);
        drawGuides(boxes.right2, width, height, midY);
    }

    const bool eightBit = bitsPerSample == 8;
    Trace left(midY, eightBit);
    Trace right(midY, eightBit);
    FrameReader frames(*file, channels, bitsPerSample, frameCount, dataOffset);
    auto plot = [&](std::int64_t index, double x, std::int64_t blockFrames = 1) {
        int leftValue = 0;
        int rightValue = 0;
        if (!frames.read(index, leftValue, rightValue, blockFrames))
            return false;
        left.add(x, leftValue);
        right.add(x, rightValue);
        return true;
    };

    // A short file is read whole; it has at most one frame per twip of the box.
    constexpr std::int64_t kSequentialBlockFrames = 1 << 14;
    plot(0, 0.0);
    const auto widthTwips = static_cast<std::int64_t>(width);
    if (widthTwips < frameCount) {
        // One frame per twip; past the box's width the indices run beyond the data and end
        // the trace.
        for (std::int64_t x = 1; x <= kLastStepTwips; ++x) {
            if (!plot(x * frameCount / widthTwips, double(x)))
                break;
        }
    } else {
        for (std::int64_t i = 1; i < frameCount; ++i) {
            if (!plot(i, double(i * widthTwips / frameCount), kSequentialBlockFrames))
                break;
        }
    }

    const QString leftLabel = stereo ? QStringLiteral("Left") : QString();
    drawTrace(boxes.left1, left.points(), leftLabel);
    drawTrace(boxes.left2, left.points(), leftLabel);
    if (stereo) {
        drawTrace(boxes.right1, right.points(), QStringLiteral("Right"));
        drawTrace(boxes.right2, right.points(), QStringLiteral("Right"));
    }
    for (GraphBox *box : {&boxes.left1, &boxes.left2, &boxes.right1, &boxes.right2})
        box->update();
}
