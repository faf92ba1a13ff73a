#pragma once

#include "plotgeometry.h"

#include <windows.h>

// The sweep graph and the legends drawn from scratch with GDI, laid out by plotgeometry.h as the
// Linux window lays them out. Nothing is kept between calls, so the plotting area paints them
// into its bitmap and tests paint them into theirs. Runs on the window's thread.

// The pens the graph draws with, made in the order X, Y, Z, grid: X red, Y blue, Z black, the
// grid light grey. The main window owns them for its whole life; the plotting area borrows them.
// A pen the system could not make stays null and its lines are drawn with the black pen that a
// fresh device context starts with.
struct PlotPens
{
    PlotPens();
    ~PlotPens();
    PlotPens(const PlotPens &) = delete;
    PlotPens &operator=(const PlotPens &) = delete;

    HPEN x;
    HPEN y;
    HPEN z;
    HPEN grid;
};

// Erases the client rectangle shrunk by 4 pixels, draws grid and labels and, when tracesShown,
// the X, Y and Z traces over them in that order. Nothing is painted outside the client. The
// device context's selections, colours and origin are as they were afterwards.
void RenderPlot(HDC dc, const RECT &client, const SampleBuffers &samples, const PlotPens &pens,
                bool tracesShown);
// The two halves of RenderPlot: the erased area with grid and labels, then the traces.
void RenderPlotBackground(HDC dc, const RECT &client, const PlotPens &pens);
void RenderTraces(HDC dc, const RECT &client, const SampleBuffers &samples, const PlotPens &pens);

// Fills the client shrunk by 1 pixel with white and writes the channel's legend in its colour.
// The outermost pixel ring, where the frame goes, is left as it is.
void RenderLegend(HDC dc, const RECT &client, TraceChannel channel);

// The black frame of the plotting area and the legends on the client's outermost pixel ring.
void RenderFrame(HDC dc, const RECT &client);

// The font of the value labels and the legends, made once for the life of the program.
HFONT DrawingFont();

COLORREF ToColorRef(PlotColour colour);
