#pragma once

#include "samplebuffers.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Where the sweep graph and the legends put every pixel, the same for each system's painting: a
// white area, a grey grid of 15 x 10 cells with six value labels on its left and one trace per
// channel from the sample buffers. Coordinates are pixels from the client's top-left corner, y
// growing downwards; a painter clips everything to the client, so nothing lands outside it.

enum class TraceChannel { X, Y, Z };

// The pen of a channel among a system's pens for X, Y and Z.
template<typename Pens> const auto &TracePen(const Pens &pens, TraceChannel channel)
{
    switch (channel) {
    case TraceChannel::X:
        return pens.x;
    case TraceChannel::Y:
        return pens.y;
    case TraceChannel::Z:
        break;
    }
    return pens.z;
}

// The channels in the order their traces are drawn: Z over Y, Y over X.
inline constexpr TraceChannel TRACE_CHANNELS[]
    = {TraceChannel::X, TraceChannel::Y, TraceChannel::Z};

struct PlotPoint
{
    int x;
    int y;
};

// A line covers both of its end points: the grid reaches its far corner and a full sweep ends on
// the pixel of its last sample.
struct PlotLine
{
    PlotPoint from;
    PlotPoint to;
};

// Pixels left <= x < right and top <= y < bottom.
struct PlotRect
{
    int left;
    int top;
    int right;
    int bottom;
};

struct PlotColour
{
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;

    friend bool operator==(const PlotColour &, const PlotColour &) = default;
};

inline constexpr PlotColour PLOT_WHITE {255, 255, 255};
inline constexpr PlotColour PLOT_BLACK {0, 0, 0};
inline constexpr PlotColour GRID_COLOUR {191, 191, 191};
inline constexpr PlotColour LABEL_COLOUR = PLOT_BLACK;
// The frames of the plotting area and of the legends, the client's outermost pixel ring.
inline constexpr PlotColour FRAME_COLOUR = PLOT_BLACK;

// X red, Y blue, Z black. The legends write in their traces' colours.
PlotColour TraceColour(TraceChannel channel);

// The graph does not follow the client's size: the whole grid needs a client of this size.
inline constexpr int PLOT_CLIENT_MIN_WIDTH = 801;
inline constexpr int PLOT_CLIENT_MIN_HEIGHT = 521;

// The area the graph erases to white: the client shrunk by 4 pixels on every side. What lies
// between it and the client's edge is the plotting area's frame, which the graph leaves alone.
PlotRect ErasedArea(int clientWidth, int clientHeight);

// The 11 horizontal grid lines from the top one down, then the 16 vertical ones from the left.
std::span<const PlotLine> GridLines();

// A fixed text of the graph or a legend, placed by its top-left corner.
struct PlotText
{
    PlotPoint topLeft;
    const char *text;
};

// The grid read on a scale of 10 and on a scale of 5, from the top line down to the bottom one.
// Their leading blanks line them up in a monospaced face.
inline constexpr std::size_t VALUE_LABEL_COUNT = 6;
std::span<const PlotText, VALUE_LABEL_COUNT> ValueLabels();

// The font of the value labels and the legends: a plain monospaced face of this many pixels,
// small enough that the four characters of a label fit between x = 10 and the grid. Its glyphs
// are one colour: every pixel of a text is the text's colour or left as it was.
inline constexpr int DRAWING_FONT_PIXELS = 13;

// A trace as one line through its points: slot 0 joined to each following slot up to the first
// that holds no drawable value (0 to 501). Only the end of a segment is checked, so the trace
// starts from whatever slot 0 holds: an empty slot puts it one pixel below the bottom line. A
// channel with fewer than two drawable samples has no points. The longest trace has a point for
// every slot of a sweep and one more.
inline constexpr int TRACE_POINT_CAPACITY = SWEEP_LENGTH + 1;
using TracePoints = PlotPoint[TRACE_POINT_CAPACITY];
std::span<const PlotPoint> TraceOf(const std::int32_t *channel, TracePoints &points);

const std::int32_t *ChannelSamples(const SampleBuffers &samples, TraceChannel channel);

// The legend of one channel in a black frame: the area inside the frame is filled white and the
// text is written in the channel's colour.
inline constexpr int LEGEND_FRAME_WIDTH = 1;
PlotRect LegendFillArea(int clientWidth, int clientHeight);
PlotText LegendText(TraceChannel channel);
