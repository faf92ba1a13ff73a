#pragma once

#include "dibsurface_win32.h"
#include "paintedcontrol_win32.h"
#include "plotrenderer_win32.h"

#include <windows.h>

struct SampleBuffers;

// The plotting area of the main window, control IDC_PLOT of its template (a static control with
// a black frame and a sunken edge): inside the edge, the client's outermost ring black, the
// window's background, and the sweep graph of the main window's samples drawn with its pens,
// grid only or grid and traces. Every paint draws the graph afresh from the samples, whether the
// program or the system asked for it: the traces are drawn over a copy of the unchanging rest.
// Lives on the main window's thread, which is also the only one that writes the samples.
class CPlotView final : public CPaintedControl
{
public:
    CPlotView(const SampleBuffers &samples, const PlotPens &pens);

    // From the next paint on, the empty grid (after a clear).
    void ShowGrid();
    // From the next paint on, the grid and the traces of the samples as they then stand.
    void ShowTraces();

    bool TracesShown() const { return m_bTracesShown; }

private:
    void Paint(HDC dc, const RECT &client) override;
    // Redraws the cached background if the size or the window's background changed; false when
    // there is no bitmap for it.
    bool UpdateBackground(const RECT &client, HBRUSH windowBackground);
    void DrawBackground(HDC dc, const RECT &client, HBRUSH windowBackground) const;
    HBRUSH WindowBackground(HDC dc) const;

    const SampleBuffers &m_samples;
    const PlotPens &m_pens;
    bool m_bTracesShown = false;
    // The whole client as it is without traces, drawn once for its size and the window's
    // background.
    CDibSurface m_background;
    LOGBRUSH m_backgroundBrush {};
};
