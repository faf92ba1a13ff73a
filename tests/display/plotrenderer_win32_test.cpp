#include "dibsurface_win32.h"
#include "plotrenderer_win32.h"
#include "samplebuffers.h"
#include "win32testing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

// The plotting area of 813 x 531 pixels with the client inside a 2-pixel edge. Pixels outside
// the client keep this colour unless something paints there.
constexpr int CONTROL_WIDTH = 813;
constexpr int CONTROL_HEIGHT = 531;
constexpr RECT CLIENT {2, 2, 811, 529};
constexpr std::uint32_t UNTOUCHED = Rgb(12, 34, 56);

// The tops of the value labels and the blanks before each; a label's room runs from x = 10 up
// to the grid, 20 rows high.
constexpr int LABEL_TOPS[] = {8, 108, 208, 308, 408, 508};
constexpr int LEADING_BLANKS[] = {0, 1, 1, 1, 1, 3};

int LabelAt(int x, int y)
{
    for (int i = 0; i < 6; ++i) {
        if (x >= 10 && x < 50 && y >= LABEL_TOPS[i] && y < LABEL_TOPS[i] + 20)
            return i;
    }
    return -1;
}

bool IsGridPixel(int x, int y)
{
    const bool onRow = y >= 20 && y <= 520 && (y - 20) % 50 == 0;
    const bool onColumn = x >= 50 && x <= 800 && (x - 50) % 50 == 0;
    return (onRow && x >= 50 && x <= 800) || (onColumn && y >= 20 && y <= 520);
}

class PlotRendererOnWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EmptySamples(samples);
        ASSERT_TRUE(surface.Fit(CONTROL_WIDTH, CONTROL_HEIGHT));
    }

    CDibPixels Render(bool tracesShown)
    {
        const RECT all {0, 0, CONTROL_WIDTH, CONTROL_HEIGHT};
        SetDCBrushColor(surface.Dc(), RGB(12, 34, 56));
        FillRect(surface.Dc(), &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        RenderPlot(surface.Dc(), CLIENT, samples, pens, tracesShown);
        return CDibPixels(surface.Dc());
    }

    // A pixel in client coordinates.
    std::uint32_t At(const CDibPixels &pixels, int x, int y)
    {
        return pixels.At(CLIENT.left + x, CLIENT.top + y);
    }

    SampleBuffers samples;
    PlotPens pens;
    CDibSurface surface;
};

TEST_F(PlotRendererOnWindows, EmptyGraphIsWhiteWithGreyGridAndLabelsInsideTheErasedArea)
{
    const CDibPixels image = Render(false);
    SIZE blank {};
    SelectObject(surface.Dc(), DrawingFont());
    GetTextExtentPoint32W(surface.Dc(), L" ", 1, &blank);
    int inkPixels[6] = {};
    for (int y = -CLIENT.top; y < CONTROL_HEIGHT - CLIENT.top; ++y) {
        for (int x = -CLIENT.left; x < CONTROL_WIDTH - CLIENT.left; ++x) {
            const std::uint32_t pixel = At(image, x, y);
            const int label = LabelAt(x, y);
            if (x < 4 || y < 4 || x >= 809 - 4 || y >= 527 - 4) {
                ASSERT_EQ(pixel, UNTOUCHED) << x << "," << y;
            } else if (IsGridPixel(x, y)) {
                ASSERT_EQ(pixel, GRID) << x << "," << y;
            } else if (label >= 0 && pixel != WHITE) {
                ASSERT_EQ(pixel, BLACK) << x << "," << y;
                ASSERT_GE(x, 10 + LEADING_BLANKS[label] * blank.cx) << x << "," << y;
                ++inkPixels[label];
            } else {
                ASSERT_EQ(pixel, WHITE) << x << "," << y;
            }
        }
    }
    for (const int ink : inkPixels)
        EXPECT_GT(ink, 10);
}

// GDI leaves out a line's end point; the graph's lines cover it, and Z covers Y covers X.
TEST_F(PlotRendererOnWindows, TracesCoverBothEndsInTheirOrderAndStopAtTheClient)
{
    for (int slot = 0; slot < 374; ++slot)
        samples.x[slot] = samples.y[slot] = samples.z[slot] = 250;
    CDibPixels image = Render(true);
    for (int x = 50; x <= 796; ++x)
        ASSERT_EQ(At(image, x, 270), BLACK) << x;
    EXPECT_EQ(At(image, 797, 270), GRID);
    EXPECT_EQ(At(image, 800, 520), GRID);

    // An empty first slot starts a trace one pixel below the bottom line.
    EmptySamples(samples);
    samples.y[1] = 1;
    image = Render(true);
    EXPECT_EQ(At(image, 50, 521), BLUE);
    EXPECT_EQ(At(image, 51, 520), BLUE);
    EXPECT_EQ(At(image, 52, 519), BLUE);

    // Slot 0 is never checked: the first segment runs to the client's edge and no further.
    for (const std::int32_t wild :
         {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()}) {
        SCOPED_TRACE(wild);
        samples.x[0] = wild;
        samples.x[1] = 250;
        image = Render(true);
        const int edge = wild > 0 ? 0 : 526;
        EXPECT_TRUE(At(image, 50, edge) == RED || At(image, 51, edge) == RED
                    || At(image, 52, edge) == RED);
        const int outside = wild > 0 ? -1 : 527;
        for (int x = -CLIENT.left; x < CONTROL_WIDTH - CLIENT.left; ++x)
            ASSERT_EQ(At(image, x, outside), UNTOUCHED) << x;
    }
}

// A pen the system could not make is not selected: its trace is drawn black, as with a fresh
// device context, never with the pen of the trace before it. The caller's device context keeps
// its own pen and origin.
TEST_F(PlotRendererOnWindows, TraceWithoutItsPenIsDrawnBlack)
{
    for (int slot = 0; slot < 10; ++slot) {
        samples.x[slot] = 100;
        samples.y[slot] = 300;
    }
    DeleteObject(pens.y);
    pens.y = nullptr;
    const HGDIOBJ callersPen = GetCurrentObject(surface.Dc(), OBJ_PEN);
    const CDibPixels image = Render(true);
    EXPECT_EQ(At(image, 55, 420), RED);
    EXPECT_EQ(At(image, 55, 220), BLACK);
    EXPECT_EQ(GetCurrentObject(surface.Dc(), OBJ_PEN), callersPen);
    POINT origin {};
    GetViewportOrgEx(surface.Dc(), &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
}

} // namespace
