#include "plotgeometry.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

constexpr int ERASE_INSET = 4;

constexpr int GRID_LEFT = 50;
constexpr int GRID_RIGHT = 800;
constexpr int GRID_TOP = 20;
constexpr int GRID_BOTTOM = 520;
constexpr int GRID_STEP = 50;
constexpr int HORIZONTAL_LINE_COUNT = (GRID_BOTTOM - GRID_TOP) / GRID_STEP + 1;
constexpr int VERTICAL_LINE_COUNT = (GRID_RIGHT - GRID_LEFT) / GRID_STEP + 1;

static_assert(PLOT_CLIENT_MIN_WIDTH == GRID_RIGHT + 1 && PLOT_CLIENT_MIN_HEIGHT == GRID_BOTTOM + 1);

constexpr int SAMPLE_SPACING = 2;
// One pixel above the top grid line is still drawn.
constexpr std::int32_t MAX_DRAWABLE_VALUE = 501;
// Far beyond anything the parser stores (a few thousand at most); keeps a corrupted first slot,
// whose value is never checked, from overflowing the pixel arithmetic. The painter's clip cuts
// the line at the client's edge.
constexpr std::int32_t START_VALUE_LIMIT = 1'000'000;

// A trace reads the slot after the last one of a sweep, which always stays empty.
static_assert(SWEEP_LENGTH < SAMPLE_CAPACITY);

using GridLineArray = std::array<PlotLine, HORIZONTAL_LINE_COUNT + VERTICAL_LINE_COUNT>;

constexpr GridLineArray MakeGridLines()
{
    GridLineArray lines {};
    std::size_t n = 0;
    for (int y = GRID_TOP; y <= GRID_BOTTOM; y += GRID_STEP)
        lines[n++] = {{GRID_LEFT, y}, {GRID_RIGHT, y}};
    for (int x = GRID_LEFT; x <= GRID_RIGHT; x += GRID_STEP)
        lines[n++] = {{x, GRID_TOP}, {x, GRID_BOTTOM}};
    return lines;
}

constexpr GridLineArray GRID_LINES = MakeGridLines();

constexpr PlotText VALUE_LABELS[VALUE_LABEL_COUNT] = {
    {{10, 8}, "10/5"},   {{10, 108}, " 8/4"}, {{10, 208}, " 6/3"},
    {{10, 308}, " 4/2"}, {{10, 408}, " 2/1"}, {{10, 508}, "   0"},
};

constexpr PlotPoint LEGEND_TEXT_TOP_LEFT {5, 1};

bool IsDrawable(std::int32_t value)
{
    return value >= 0 && value <= MAX_DRAWABLE_VALUE;
}

PlotPoint SamplePoint(int slot, std::int32_t value)
{
    return {GRID_LEFT + SAMPLE_SPACING * slot,
            GRID_BOTTOM - std::clamp(value, -START_VALUE_LIMIT, START_VALUE_LIMIT)};
}

PlotRect Inset(int width, int height, int inset)
{
    return {inset, inset, width - inset, height - inset};
}

} // namespace

PlotColour TraceColour(TraceChannel channel)
{
    constexpr PlotColour TRACE_COLOURS[] = {{255, 0, 0}, {0, 0, 255}, PLOT_BLACK};
    return TRACE_COLOURS[static_cast<std::size_t>(channel)];
}

PlotRect ErasedArea(int clientWidth, int clientHeight)
{
    return Inset(clientWidth, clientHeight, ERASE_INSET);
}

std::span<const PlotLine> GridLines()
{
    return GRID_LINES;
}

std::span<const PlotText, VALUE_LABEL_COUNT> ValueLabels()
{
    return VALUE_LABELS;
}

std::span<const PlotPoint> TraceOf(const std::int32_t *channel, TracePoints &points)
{
    int slot = 0;
    while (slot < SWEEP_LENGTH && IsDrawable(channel[slot + 1]))
        ++slot;
    if (slot == 0)
        return {};
    for (int i = 0; i <= slot; ++i)
        points[i] = SamplePoint(i, channel[i]);
    return {points, static_cast<std::size_t>(slot) + 1};
}

const std::int32_t *ChannelSamples(const SampleBuffers &samples, TraceChannel channel)
{
    switch (channel) {
    case TraceChannel::X:
        return samples.x;
    case TraceChannel::Y:
        return samples.y;
    case TraceChannel::Z:
        break;
    }
    return samples.z;
}

PlotRect LegendFillArea(int clientWidth, int clientHeight)
{
    return Inset(clientWidth, clientHeight, LEGEND_FRAME_WIDTH);
}

PlotText LegendText(TraceChannel channel)
{
    constexpr const char *TEXTS[] = {"X ch : RED", "Y ch : BLUE", "Z ch : BLACK"};
    return {LEGEND_TEXT_TOP_LEFT, TEXTS[static_cast<std::size_t>(channel)]};
}
