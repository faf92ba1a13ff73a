#include "dibsurface_win32.h"
#include "legendview_win32.h"
#include "plotrenderer_win32.h"
#include "plotview_win32.h"
#include "samplebuffers.h"
#include "templates.h"
#include "win32testing.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

namespace {

// A point of the traces below, away from every grid line: slot 30 at value 240.
constexpr POINT TRACE_POINT {110, 280};
// On the grid line y = 70, between two columns.
constexpr POINT GRID_POINT {125, 70};

// The brush the test's dialog gives its static controls; none means the system's default.
HBRUSH g_staticBackground = nullptr;

INT_PTR CALLBACK TestDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    if (message == WM_CTLCOLORSTATIC && g_staticBackground)
        return reinterpret_cast<INT_PTR>(g_staticBackground);
    return FALSE;
}

class PlotViewOnWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EmptySamples(samples);
        for (int slot = 0; slot < 100; ++slot)
            samples.x[slot] = samples.y[slot] = samples.z[slot] = 240;
        ASSERT_NE(dialog.get(), nullptr) << GetLastError();
        ASSERT_TRUE(view.Attach(GetDlgItem(dialog.get(), IDC_PLOT)));
    }

    void TearDown() override
    {
        dialog.reset();
        if (g_staticBackground)
            DeleteObject(g_staticBackground);
        g_staticBackground = nullptr;
    }

    // Paints the control as the system asks it to, then reads back its client as it prints it.
    CDibPixels PaintedClient(HWND control)
    {
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const CDibPixels pixels = PrintedClient(control, printed);
        EXPECT_TRUE(pixels.Valid());
        return pixels;
    }

    std::uint32_t ClientPixel(POINT point)
    {
        return PaintedClient(view.Window()).At(point.x, point.y);
    }

    SampleBuffers samples;
    PlotPens pens;
    CPlotView view {samples, pens};
    OwnedWindow dialog = MakeMainWindow(TestDialogProc);
    CDibSurface printed;
};

TEST_F(PlotViewOnWindows, TakesOverThePlottingAreaOfTheTemplateOnce)
{
    EXPECT_EQ(view.Window(), GetDlgItem(dialog.get(), IDC_PLOT));
    EXPECT_FALSE(view.Attach(GetDlgItem(dialog.get(), IDC_PLOT)));
    CPlotView other(samples, pens);
    EXPECT_FALSE(other.Attach(GetDlgItem(dialog.get(), IDC_PLOT)));
    EXPECT_FALSE(other.Attach(nullptr));
    // The sunken edge stays outside the client, which holds the whole grid.
    RECT outer;
    GetWindowRect(view.Window(), &outer);
    const RECT client = ClientOf(view.Window());
    EXPECT_LT(client.right, outer.right - outer.left);
    EXPECT_GE(client.right, 801);
    EXPECT_GE(client.bottom, 521);
}

// The client framed in black around the erased area, over the dialog's background between;
// the cached background is drawn again when what lies beneath it changes.
TEST_F(PlotViewOnWindows, FramesTheClientInBlackAroundTheErasedAreaOverTheWindowBackground)
{
    struct Row
    {
        COLORREF background;
        bool newBrush;
        SIZE resized;
    };
    const COLORREF green = RGB(10, 200, 30);
    const Row rows[]
        = {{GetSysColor(COLOR_3DFACE), false, {}}, {green, true, {}}, {green, false, {900, 600}}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.resized.cx);
        if (row.newBrush)
            g_staticBackground = CreateSolidBrush(row.background);
        if (row.resized.cx) {
            SetWindowPos(view.Window(), nullptr, 0, 0, row.resized.cx, row.resized.cy,
                         SWP_NOMOVE | SWP_NOZORDER);
        }
        const RECT client = ClientOf(view.Window());
        const CDibPixels image = PaintedClient(view.Window());
        EXPECT_EQ(image.At(0, 0), BLACK);
        EXPECT_EQ(image.At(client.right - 1, client.bottom - 1), BLACK);
        EXPECT_EQ(image.At(0, 300), BLACK);
        EXPECT_EQ(image.At(2, 2), Rgb(row.background));
        EXPECT_EQ(image.At(client.right - 3, client.bottom - 3), Rgb(row.background));
        EXPECT_EQ(image.At(4, 4), WHITE);
        EXPECT_EQ(image.At(client.right - 5, client.bottom - 5), WHITE);
        EXPECT_EQ(image.At(GRID_POINT.x, GRID_POINT.y), GRID);
        EXPECT_EQ(image.At(TRACE_POINT.x, TRACE_POINT.y), WHITE);
    }
}

// A paint shows what the view was last told to show, with the samples as they stand at the
// paint; showing the grid or the traces asks for a paint of the whole client.
TEST_F(PlotViewOnWindows, EveryPaintShowsWhatItWasLastToldToShow)
{
    struct Step
    {
        const char *name;
        std::function<void()> act;
        bool asksForPaint;
        bool tracesShown;
        std::uint32_t tracePixel;
    };
    const Step steps[] = {
        {"at first", [] {}, false, false, WHITE},
        {"traces", [this] { view.ShowTraces(); }, true, true, BLACK},
        {"samples changed", [this] { samples.z[1] = EMPTY_SAMPLE; }, false, true, BLUE},
        {"grid", [this] { view.ShowGrid(); }, true, false, WHITE},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        UpdateWindow(view.Window());
        step.act();
        RECT pending {};
        ASSERT_EQ(GetUpdateRect(view.Window(), &pending, FALSE) != FALSE, step.asksForPaint);
        const RECT client = ClientOf(view.Window());
        EXPECT_TRUE(!step.asksForPaint || EqualRect(&pending, &client));
        EXPECT_EQ(view.TracesShown(), step.tracesShown);
        EXPECT_EQ(ClientPixel(TRACE_POINT), step.tracePixel);
    }
}

// The system's own printing of the control (WM_PRINT, with its erase) and the paint that the
// window system asks for, read back from the control's window, both show the client as printed.
// The display keeps only what lies on the screen; the main window may be wider than that.
TEST_F(PlotViewOnWindows, PaintsAndPrintsTheSameClient)
{
    view.ShowTraces();
    const RECT client = ClientOf(view.Window());
    const CDibPixels expected = PaintedClient(view.Window());
    ASSERT_EQ(expected.At(TRACE_POINT.x, TRACE_POINT.y), BLACK);

    CDibSurface printedWindow;
    const CDibPixels printedPixels
        = PrintedClient(view.Window(), printedWindow, PrintBy::PrintWindow);
    ASSERT_TRUE(printedPixels.Valid());

    view.ShowGrid();
    view.ShowTraces();
    UpdateWindow(view.Window());
    CDibSurface shown;
    ASSERT_TRUE(shown.Fit(client.right, client.bottom));
    const HDC screen = GetDC(view.Window());
    BitBlt(shown.Dc(), 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ReleaseDC(view.Window(), screen);

    POINT onScreen {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    ScreenToClient(view.Window(), &onScreen);
    const CDibPixels shownPixels(shown.Dc());
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            ASSERT_EQ(printedPixels.At(x, y), expected.At(x, y)) << x << "," << y;
            if (x < onScreen.x && y < onScreen.y) {
                ASSERT_EQ(shownPixels.At(x, y), expected.At(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(onScreen.x, TRACE_POINT.x);
}

// Each legend is written in its channel's colour on white inside the black frame, from (5, 1)
// and clear of the right edge.
TEST_F(PlotViewOnWindows, LegendsOfTheTemplateShowTheirChannelsInsideABlackFrame)
{
    struct Row
    {
        int id;
        TraceChannel channel;
        std::uint32_t colour;
    };
    const Row rows[] = {
        {IDC_LEGEND_X, TraceChannel::X, RED},
        {IDC_LEGEND_Y, TraceChannel::Y, BLUE},
        {IDC_LEGEND_Z, TraceChannel::Z, BLACK},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.id);
        CLegendView legend(row.channel);
        ASSERT_TRUE(legend.Attach(GetDlgItem(dialog.get(), row.id)));
        const RECT client = ClientOf(legend.Window());
        const CDibPixels image = PaintedClient(legend.Window());
        int inkPixels = 0;
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const bool onRing
                    = x == 0 || y == 0 || x == client.right - 1 || y == client.bottom - 1;
                const std::uint32_t pixel = image.At(x, y);
                if (onRing) {
                    ASSERT_EQ(pixel, BLACK) << x << "," << y;
                } else if (pixel == row.colour) {
                    ASSERT_TRUE(x >= 5 && y >= 1 && x < client.right - 3) << x << "," << y;
                    ++inkPixels;
                } else {
                    ASSERT_EQ(pixel, WHITE) << x << "," << y;
                }
            }
        }
        EXPECT_GT(inkPixels, 20);
    }
}

} // namespace
