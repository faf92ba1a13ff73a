#pragma once

#include "plotgeometry.h"
#include "viewrange.h"

#include <array>
#include <cstdint>
#include <vector>

class CRecording;

// Where the viewer's plot puts every pixel, the same for each system's painting: margins around
// a plot area for the value labels (0 to 500, left) and the frame numbers (below), frames across
// and values up. Coordinates are pixels from the widget's top-left corner, y growing downwards.

// A pale band over the whole height of the plot area, after skipped bytes: [left, right).
struct MarkBand
{
    double left;
    double right;
};

// A straight piece of a trace, both ends included.
struct TraceSegment
{
    double x1;
    double y1;
    double x2;
    double y2;
};

// Filled in the trace's colour: a column's span one pixel wide, or the dot on a frame.
struct TraceBar
{
    int x;
    int y;
    int width;
    int height;
};

// What one paint draws: the bands of the marked stretches and, for each channel (X, Y, Z), the
// lines through frames and the bars. Bars are filled as rectangles, which costs far less than
// stroking as many tall lines.
struct PlotShapes
{
    std::vector<MarkBand> marks;
    std::array<std::vector<TraceSegment>, 3> lines;
    std::array<std::vector<TraceBar>, 3> bars;
};

// A grid line, the number it stands for and the box its label is written in: a value's label
// right-aligned and centred upright, a frame number's centred under its line.
struct GridMark
{
    PlotLine line;
    PlotRect label;
    std::int64_t number;
};

inline constexpr PlotColour MARK_COLOUR {255, 204, 128};
inline constexpr PlotColour AXIS_TEXT_COLOUR = PLOT_BLACK;

// 1, 2 or 5 times a power of ten, the smallest that is at least `least`.
std::int64_t RoundStep(double least);

class CViewerLayout
{
public:
    static constexpr int MARGIN_LEFT = 40;
    static constexpr int MARGIN_RIGHT = 14;
    static constexpr int MARGIN_TOP = 10;
    static constexpr int MARGIN_BOTTOM = 22;
    // The smallest widget that still shows a plot worth reading.
    static constexpr int MIN_WIDTH = MARGIN_LEFT + MARGIN_RIGHT + 200;
    static constexpr int MIN_HEIGHT = MARGIN_TOP + MARGIN_BOTTOM + 100;

    CViewerLayout(int width, int height, const CViewRange &range);

    PlotRect Area() const;
    // The middle of pixel column x, as a share of the plot area's width.
    double FractionAt(int x) const;
    // Where frame position `frame` (frame f covers [f, f + 1)) and a value stand.
    double FrameX(double frame) const;
    double ValueY(int value) const;
    // The frame under a point; -1 outside the plot area or at `knownFrames` and past.
    std::int64_t FrameAt(int x, int y, std::int64_t knownFrames) const;
    // Lines through the frames themselves once no column covers more than one of them.
    bool ShowsFrames() const;

    // The shapes of the traces and marks in view: frames or column spans, as ShowsFrames says.
    PlotShapes Shapes(const CRecording &recording, std::int32_t code) const;
    PlotShapes ColumnShapes(const CRecording &recording) const;
    PlotShapes FrameShapes(const CRecording &recording, std::int32_t code) const;

    // The value lines 0 to 500 by 100, from the bottom up, and the frame lines at a round step
    // at least 100 pixels apart; labels `textHeight` pixels high.
    std::vector<GridMark> ValueGrid(int textHeight) const;
    std::vector<GridMark> FrameGrid(int textHeight) const;

private:
    int m_width;
    int m_height;
    CViewRange m_range;
};
