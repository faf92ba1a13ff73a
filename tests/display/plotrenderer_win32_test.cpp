#include "dibpixels_win32.h"
#include "dibsurface_win32.h"
#include "plotrenderer_win32.h"
#include "samplebuffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

// The plotting area of 813 x 531 pixels with the client inside a 2-pixel edge. Pixels outside
// the client keep this colour unless something paints there.
constexpr int CONTROL_WIDTH = 813;
constexpr int CONTROL_HEIGHT = 531;
constexpr RECT CLIENT {2, 2, 811, 529};
constexpr std::uint32_t UNTOUCHED = Rgb(12, 34, 56);

constexpr std::uint32_t WHITE = Rgb(255, 255, 255);
constexpr std::uint32_t GRID = Rgb(191, 191, 191);
constexpr std::uint32_t RED = Rgb(255, 0, 0);
constexpr std::uint32_t BLUE = Rgb(0, 0, 255);
constexpr std::uint32_t BLACK = Rgb(0, 0, 0);

struct Label
{
    int top;
    int leadingBlanks;
};

const Label LABELS[] = {{8, 0}, {108, 1}, {208, 1}, {308, 1}, {408, 1}, {508, 3}};

// Room for a label, in client pixels: from x = 10 up to the grid, and less than the 100 pixels
// between labels.
RECT LabelBox(const Label &label)
{
    return {10, label.top, 50, label.top + 20};
}

bool Contains(const RECT &rect, int x, int y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

bool InLabelBox(int x, int y)
{
    return std::any_of(std::begin(LABELS), std::end(LABELS),
                       [&](const Label &label) { return Contains(LabelBox(label), x, y); });
}

bool IsGridPixel(int x, int y)
{
    const bool onRow = y >= 20 && y <= 520 && (y - 20) % 50 == 0;
    const bool onColumn = x >= 50 && x <= 800 && (x - 50) % 50 == 0;
    return (onRow && x >= 50 && x <= 800) || (onColumn && y >= 20 && y <= 520);
}

void Fill(HDC dc, int width, int height, std::uint32_t rgb)
{
    const RECT all {0, 0, width, height};
    const HBRUSH brush = CreateSolidBrush(RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
    FillRect(dc, &all, brush);
    DeleteObject(brush);
}

// A pixel in client coordinates.
std::uint32_t At(const CDibPixels &pixels, int x, int y)
{
    return pixels.At(CLIENT.left + x, CLIENT.top + y);
}

class PlotRendererOnWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EmptySamples(samples);
        ASSERT_TRUE(grid.Fit(CONTROL_WIDTH, CONTROL_HEIGHT));
        ASSERT_TRUE(traces.Fit(CONTROL_WIDTH, CONTROL_HEIGHT));
    }

    // Renders into surface; returns its pixels.
    CDibPixels Render(CDibSurface &surface, bool tracesShown)
    {
        Fill(surface.Dc(), CONTROL_WIDTH, CONTROL_HEIGHT, UNTOUCHED);
        RenderPlot(surface.Dc(), CLIENT, samples, pens, tracesShown);
        return CDibPixels(surface.Dc());
    }

    SampleBuffers samples;
    PlotPens pens;
    CDibSurface grid;
    CDibSurface traces;
};

TEST_F(PlotRendererOnWindows, EmptyGraphIsWhiteWithGreyGridAndLabelsInsideTheErasedArea)
{
    const CDibPixels image = Render(grid, false);
    const RECT erased {4, 4, 809 - 4, 527 - 4};
    for (int y = -CLIENT.top; y < CONTROL_HEIGHT - CLIENT.top; ++y) {
        for (int x = -CLIENT.left; x < CONTROL_WIDTH - CLIENT.left; ++x) {
            const std::uint32_t pixel = At(image, x, y);
            if (!Contains(erased, x, y))
                ASSERT_EQ(pixel, UNTOUCHED) << x << "," << y;
            else if (IsGridPixel(x, y))
                ASSERT_EQ(pixel, GRID) << x << "," << y;
            else if (InLabelBox(x, y))
                ASSERT_TRUE(pixel == WHITE || pixel == BLACK) << x << "," << y;
            else
                ASSERT_EQ(pixel, WHITE) << x << "," << y;
        }
    }
}

TEST_F(PlotRendererOnWindows, LabelsAreWrittenAfterTheirLeadingBlanks)
{
    const CDibPixels image = Render(grid, false);
    SIZE blank {};
    const HGDIOBJ old = SelectObject(grid.Dc(), DrawingFont());
    GetTextExtentPoint32W(grid.Dc(), L" ", 1, &blank);
    SelectObject(grid.Dc(), old);
    ASSERT_GT(blank.cx, 0);
    for (const Label &label : LABELS) {
        SCOPED_TRACE(label.top);
        const RECT box = LabelBox(label);
        int inkLeft = box.right;
        int inkPixels = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                if (At(image, x, y) == BLACK) {
                    ++inkPixels;
                    inkLeft = std::min(inkLeft, x);
                }
            }
        }
        EXPECT_GT(inkPixels, 10);
        EXPECT_GE(inkLeft, box.left + label.leadingBlanks * blank.cx);
    }
}

struct StoredRun
{
    int channel;
    int firstSlot;
    int lastSlot;
    std::int32_t value;
};

// Pixels x = left..right on row y, in client coordinates.
struct DrawnRun
{
    int left;
    int right;
    int y;
    std::uint32_t colour;
};

struct TraceCase
{
    const char *name;
    std::vector<StoredRun> stored;
    std::vector<DrawnRun> drawn;
};

constexpr int X = 0;
constexpr int Y = 1;
constexpr int Z = 2;

const TraceCase TRACE_CASES[] = {
    {"OneSampleOfEachChannelDrawsNothing", {{X, 0, 0, 250}, {Y, 0, 0, 250}, {Z, 0, 0, 250}}, {}},
    {"FullSweepEndsAt796WithBlackOverBlueOverRed",
     {{X, 0, 373, 250}, {Y, 0, 373, 250}, {Z, 0, 373, 250}},
     {{50, 796, 270, BLACK}}},
    {"BlueCoversRed", {{X, 0, 9, 120}, {Y, 0, 9, 120}}, {{50, 68, 400, BLUE}}},
    {"Value501LiesAboveTheTopLineAnd502EndsTheTrace",
     {{X, 0, 1, 501}, {X, 2, 2, 502}, {X, 3, 9, 501}},
     {{50, 52, 19, RED}}},
    {"XRunsOnWhileYThatStartsAtSlot10DrawsNothing",
     {{X, 0, 29, 310}, {Y, 10, 29, 100}},
     {{50, 108, 210, RED}}},
    {"EmptyFirstSlotStartsTheTraceBelowTheBottomLine",
     {{Z, 1, 1, 1}},
     {{50, 50, 521, BLACK}, {51, 51, 520, BLACK}, {52, 52, 519, BLACK}}},
    {"NegativeValueEndsTheTrace",
     {{Y, 0, 4, 130}, {Y, 5, 5, -7}, {Y, 6, 9, 130}},
     {{50, 58, 390, BLUE}}},
};

std::int32_t *Channel(SampleBuffers &samples, int channel)
{
    std::int32_t *const channels[] = {samples.x, samples.y, samples.z};
    return channels[channel];
}

const DrawnRun *FindRun(const std::vector<DrawnRun> &runs, int x, int y)
{
    for (const DrawnRun &run : runs) {
        if (run.y == y && x >= run.left && x <= run.right)
            return &run;
    }
    return nullptr;
}

// Every pixel that the traces change lies on an expected run and has its colour, and every
// pixel of the runs is drawn: GDI's lines leave out their end points, the graph's do not.
TEST_F(PlotRendererOnWindows, DrawsEachTraceUpToItsFirstUndrawableSlot)
{
    for (const TraceCase &row : TRACE_CASES) {
        SCOPED_TRACE(row.name);
        EmptySamples(samples);
        for (const StoredRun &run : row.stored) {
            for (int slot = run.firstSlot; slot <= run.lastSlot; ++slot)
                Channel(samples, run.channel)[slot] = run.value;
        }
        const CDibPixels without = Render(grid, false);
        const CDibPixels with = Render(traces, true);
        for (int y = 0; y < CLIENT.bottom - CLIENT.top; ++y) {
            for (int x = 0; x < CLIENT.right - CLIENT.left; ++x) {
                const DrawnRun *run = FindRun(row.drawn, x, y);
                if (run)
                    ASSERT_EQ(At(with, x, y), run->colour) << x << "," << y;
                else
                    ASSERT_EQ(At(with, x, y), At(without, x, y)) << x << "," << y;
            }
        }
    }
}

// Slot 0 is never checked; whatever it holds, the first segment runs to the client's edge and
// stops there.
TEST_F(PlotRendererOnWindows, WildFirstValuePaintsUpToTheClientEdgeAndNoFurther)
{
    struct Row
    {
        std::int32_t value;
        int edgeRow;
        int outsideRow;
    };
    const int height = CLIENT.bottom - CLIENT.top;
    const Row rows[] = {
        {std::numeric_limits<std::int32_t>::max(), 0, -1},
        {std::numeric_limits<std::int32_t>::min(), height - 1, height},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value);
        samples.x[0] = row.value;
        samples.x[1] = 250;
        const CDibPixels image = Render(traces, true);
        const bool reachesEdge = At(image, 50, row.edgeRow) == RED
            || At(image, 51, row.edgeRow) == RED || At(image, 52, row.edgeRow) == RED;
        EXPECT_TRUE(reachesEdge);
        for (int x = -CLIENT.left; x < CONTROL_WIDTH - CLIENT.left; ++x)
            ASSERT_EQ(At(image, x, row.outsideRow), UNTOUCHED) << x;
    }
}

// A pen the system could not make is not selected: its trace is drawn black, as with a fresh
// device context, never with the pen of the trace before it.
TEST_F(PlotRendererOnWindows, TraceWithoutItsPenIsDrawnBlack)
{
    for (int slot = 0; slot < 10; ++slot) {
        samples.x[slot] = 100;
        samples.y[slot] = 300;
    }
    DeleteObject(pens.y);
    pens.y = nullptr;
    const CDibPixels image = Render(traces, true);
    EXPECT_EQ(At(image, 55, 420), RED);
    EXPECT_EQ(At(image, 55, 220), BLACK);
}

// The main window's device contexts keep their pen, font, colours and origin.
TEST_F(PlotRendererOnWindows, LeavesTheDeviceContextAsItFoundIt)
{
    const HDC dc = traces.Dc();
    const HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
    const HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    const COLORREF textColour = GetTextColor(dc);
    samples.z[0] = samples.z[1] = 100;
    RenderPlot(dc, CLIENT, samples, pens, true);
    RenderLegend(dc, CLIENT, TraceChannel::X);
    POINT origin {};
    GetViewportOrgEx(dc, &origin);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(GetTextColor(dc), textColour);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
}

// The three legend boxes at the size the main window gives them.
struct LegendCase
{
    const char *name;
    TraceChannel channel;
    int width;
    int height;
    std::uint32_t colour;
};

const LegendCase LEGENDS[] = {
    {"X", TraceChannel::X, 95, 20, RED},
    {"Y", TraceChannel::Y, 98, 20, BLUE},
    {"Z", TraceChannel::Z, 110, 20, BLACK},
};

TEST(LegendRendererOnWindows, WritesTheLegendInItsChannelColourOnWhiteInsideTheFrame)
{
    for (const LegendCase &legend : LEGENDS) {
        SCOPED_TRACE(legend.name);
        CDibSurface surface;
        ASSERT_TRUE(surface.Fit(legend.width, legend.height));
        Fill(surface.Dc(), legend.width, legend.height, UNTOUCHED);
        RenderLegend(surface.Dc(), {0, 0, legend.width, legend.height}, legend.channel);
        const CDibPixels image(surface.Dc());
        RECT ink {legend.width, legend.height, -1, -1};
        for (int y = 0; y < legend.height; ++y) {
            for (int x = 0; x < legend.width; ++x) {
                const std::uint32_t pixel = image.At(x, y);
                const bool onRing
                    = x == 0 || y == 0 || x == legend.width - 1 || y == legend.height - 1;
                if (onRing) {
                    ASSERT_EQ(pixel, UNTOUCHED) << x << "," << y;
                } else if (pixel != WHITE) {
                    ASSERT_EQ(pixel, legend.colour) << x << "," << y;
                    ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                           std::max<LONG>(ink.right, x), std::max<LONG>(ink.bottom, y)};
                }
            }
        }
        // The text starts at (5, 1) and ends clear of the right edge.
        EXPECT_GE(ink.left, 5);
        EXPECT_LE(ink.left, 7);
        EXPECT_GE(ink.top, 1);
        EXPECT_LT(ink.right, legend.width - 3);
    }
}

} // namespace
