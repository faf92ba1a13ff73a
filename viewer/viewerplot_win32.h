#pragma once

#include "dibsurface_win32.h"
#include "plotrenderer_win32.h"
#include "viewerplotstate.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

class CRecording;

// The plot of the log viewer as a child window: laid out and answering the user as
// CViewerPlotState says, painted with GDI into a bitmap that one block copy puts on screen, in the
// pens of the main window's graph. It keeps the keyboard: + = - zoom, the arrows pan, Home shows
// all; the wheel zooms around the pointer and a drag with the left button pans. The window frees
// this object when it is destroyed. Lives on the viewer's thread.
class CViewerPlotWindow
{
public:
    // Made as child `id` of parent; `pointedFrameChanged` hears of the frame under the pointer.
    static CViewerPlotWindow *Create(HWND parent, int id, const CRecording &recording,
                                     std::function<void(std::int64_t)> pointedFrameChanged);

    HWND Window() const { return m_hWnd; }
    CViewerPlotState &State() { return m_state; }
    const CViewerPlotState &State() const { return m_state; }

    // Paints the plot as the screen shows it into `surface`, fitted to the client; false when
    // there is no bitmap for it.
    bool PaintInto(CDibSurface &surface) const;

    // Every message of the window but its last, which frees this object.
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

private:
    CViewerPlotWindow(const CRecording &recording,
                      std::function<void(std::int64_t)> pointedFrameChanged);
    void Render(HDC dc, int width, int height) const;
    void DrawGrid(HDC dc, const CViewerLayout &layout) const;
    void DrawShapes(HDC dc, const PlotShapes &shapes, const PlotRect &area) const;
    void OnPaint();
    void OnMouseMove(int x, int y);

    HWND m_hWnd = nullptr;
    CViewerPlotState m_state;
    PlotPens m_pens;
    CDibSurface m_frame;
    bool m_trackingLeave = false;
};
