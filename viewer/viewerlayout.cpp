#include "viewerlayout.h"

#include "frameparser.h"
#include "recording.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int TOP_VALUE = 500;
constexpr int VALUE_STEP = 100;
// Frame numbers on the axis stand at least this far apart.
constexpr int FRAME_LABEL_SPACING = 100;
// The value labels end this far left of the plot area, the frame labels start this far below it.
constexpr int VALUE_LABEL_GAP = 6;
constexpr int FRAME_LABEL_GAP = 3;

// Frames this many pixels apart or more get a dot each, so that every one can be told apart.
constexpr double DOT_SPACING = 6;
// A single marked column would be easy to miss: a mark is never narrower than this.
constexpr double MARK_MIN_WIDTH = 3;

// A column joins the column before it: its bar reaches at least to the other's span, so that a
// trace stays unbroken wherever it moves.
ChannelSpan JoinedToPrevious(ChannelSpan span, const ChannelSpan &previous)
{
    if (previous.present) {
        span.low = std::min(span.low, previous.high);
        span.high = std::max(span.high, previous.low);
    }
    return span;
}

int Rounded(double value)
{
    return static_cast<int>(std::lround(value));
}

} // namespace

std::int64_t RoundStep(double least)
{
    std::int64_t power = 1;
    while (true) {
        for (const std::int64_t multiple : {1, 2, 5}) {
            if (static_cast<double>(multiple * power) >= least)
                return multiple * power;
        }
        power *= 10;
    }
}

CViewerLayout::CViewerLayout(int width, int height, const CViewRange &range)
    : m_width(width)
    , m_height(height)
    , m_range(range)
{ }

PlotRect CViewerLayout::Area() const
{
    return {MARGIN_LEFT, MARGIN_TOP, m_width - MARGIN_RIGHT, m_height - MARGIN_BOTTOM};
}

double CViewerLayout::FractionAt(int x) const
{
    const PlotRect area = Area();
    return (x - area.left + 0.5) / (area.right - area.left);
}

double CViewerLayout::FrameX(double frame) const
{
    const PlotRect area = Area();
    return area.left + (frame - m_range.First()) * (area.right - area.left) / m_range.Span();
}

// Value 0 on the area's bottom row, 500 on its top row.
double CViewerLayout::ValueY(int value) const
{
    const PlotRect area = Area();
    return area.bottom - 1 - static_cast<double>(value) * (area.bottom - area.top - 1) / TOP_VALUE;
}

std::int64_t CViewerLayout::FrameAt(int x, int y, std::int64_t knownFrames) const
{
    const PlotRect area = Area();
    if (x < area.left || x >= area.right || y < area.top || y >= area.bottom)
        return -1;
    const auto frame = static_cast<std::int64_t>(std::floor(m_range.FrameAt(FractionAt(x))));
    return frame < knownFrames ? frame : -1;
}

bool CViewerLayout::ShowsFrames() const
{
    return m_range.Span() <= Area().right - Area().left;
}

PlotShapes CViewerLayout::Shapes(const CRecording &recording, std::int32_t code) const
{
    return ShowsFrames() ? FrameShapes(recording, code) : ColumnShapes(recording);
}

PlotShapes CViewerLayout::ColumnShapes(const CRecording &recording) const
{
    PlotShapes shapes;
    const PlotRect area = Area();
    if (m_range.EndFrame() <= m_range.FirstFrame() || area.right <= area.left)
        return shapes;
    const std::vector<FrameStretch> stretches
        = recording.Stretches(m_range.FirstFrame(), m_range.EndFrame(), area.right - area.left);
    std::array<ChannelSpan, 3> previous {};
    for (std::size_t column = 0; column < stretches.size(); ++column) {
        const FrameStretch &stretch = stretches[column];
        const int x = area.left + static_cast<int>(column);
        if (stretch.malformed) {
            const double left = x + 0.5 - MARK_MIN_WIDTH / 2;
            shapes.marks.push_back({left, left + MARK_MIN_WIDTH});
        }
        for (std::size_t c = 0; c < 3; ++c) {
            const ChannelSpan &span = stretch.channel[c];
            if (span.present) {
                const ChannelSpan joined = JoinedToPrevious(span, previous[c]);
                const int top = Rounded(ValueY(joined.high));
                const int bottom = Rounded(ValueY(joined.low));
                shapes.bars[c].push_back({x, top, 1, bottom - top + 1});
            }
            previous[c] = span;
        }
    }
    return shapes;
}

PlotShapes CViewerLayout::FrameShapes(const CRecording &recording, std::int32_t code) const
{
    PlotShapes shapes;
    const PlotRect area = Area();
    // One frame past the right edge, so that the lines run on to it.
    const std::int64_t first = m_range.FirstFrame();
    const std::vector<RecordedFrame> frames
        = recording.Frames(first, m_range.EndFrame() - first + 1);
    struct Point
    {
        double x;
        double y;
    };
    std::array<std::optional<Point>, 3> previous;
    std::int64_t expected = first;
    const double spacing = (area.right - area.left) / m_range.Span();
    const bool dotted = spacing >= DOT_SPACING;
    for (const RecordedFrame &frame : frames) {
        const double x = FrameX(static_cast<double>(frame.number) + 0.5);
        // The skipped bytes lie between this frame and the one before.
        if (frame.afterSkippedBytes)
            shapes.marks.push_back({x - std::max(spacing, MARK_MIN_WIDTH), x});
        if (frame.number != expected)
            previous = {};
        expected = frame.number + 1;
        for (std::size_t c = 0; c < 3; ++c) {
            if (static_cast<int>(c) >= frame.channels) {
                previous[c].reset();
                continue;
            }
            const Point point {x, ValueY(DecodeChannelValue(frame.digits[c], code))};
            const Point from = previous[c].value_or(point);
            shapes.lines[c].push_back({from.x, from.y, point.x, point.y});
            previous[c] = point;
            if (dotted)
                shapes.bars[c].push_back({Rounded(x) - 1, Rounded(point.y) - 1, 3, 3});
        }
    }
    return shapes;
}

std::vector<GridMark> CViewerLayout::ValueGrid(int textHeight) const
{
    const PlotRect area = Area();
    std::vector<GridMark> marks;
    for (int value = 0; value <= TOP_VALUE; value += VALUE_STEP) {
        const int y = Rounded(ValueY(value));
        const int labelTop = y - textHeight / 2;
        marks.push_back({{{area.left, y}, {area.right - 1, y}},
                         {0, labelTop, MARGIN_LEFT - VALUE_LABEL_GAP, labelTop + textHeight},
                         value});
    }
    return marks;
}

std::vector<GridMark> CViewerLayout::FrameGrid(int textHeight) const
{
    const PlotRect area = Area();
    const double pixelsPerFrame = (area.right - area.left) / m_range.Span();
    const std::int64_t step = RoundStep(FRAME_LABEL_SPACING / pixelsPerFrame);
    const std::int64_t end = m_range.EndFrame();
    const int labelTop = area.bottom - 1 + FRAME_LABEL_GAP;
    std::vector<GridMark> marks;
    for (std::int64_t frame = (m_range.FirstFrame() + step - 1) / step * step; frame < end;
         frame += step) {
        const int x = Rounded(FrameX(static_cast<double>(frame) + 0.5));
        if (x < area.left || x >= area.right)
            continue;
        marks.push_back({{{x, area.top}, {x, area.bottom - 1}},
                         {x - FRAME_LABEL_SPACING / 2, labelTop, x + FRAME_LABEL_SPACING / 2,
                          labelTop + textHeight},
                         frame});
    }
    return marks;
}
