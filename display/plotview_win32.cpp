#include "plotview_win32.h"

CPlotView::CPlotView(const SampleBuffers &samples, const PlotPens &pens)
    : m_samples(samples)
    , m_pens(pens)
{ }

void CPlotView::ShowGrid()
{
    m_bTracesShown = false;
    Invalidate();
}

void CPlotView::ShowTraces()
{
    m_bTracesShown = true;
    Invalidate();
}

// One block copy instead of the window's background, the frame and the graph's white area, two
// fills of the whole client, on every paint.
void CPlotView::Paint(HDC dc, const RECT &client)
{
    const HBRUSH windowBackground = WindowBackground(dc);
    if (UpdateBackground(client, windowBackground))
        m_background.CopyTo(dc);
    else
        DrawBackground(dc, client, windowBackground);
    if (m_bTracesShown)
        RenderTraces(dc, client, m_samples, m_pens);
}

bool CPlotView::UpdateBackground(const RECT &client, HBRUSH windowBackground)
{
    LOGBRUSH brush {};
    GetObjectW(windowBackground, sizeof brush, &brush);
    const bool sameBrush = m_backgroundBrush.lbStyle == brush.lbStyle
        && m_backgroundBrush.lbColor == brush.lbColor && m_backgroundBrush.lbHatch == brush.lbHatch;
    const bool sameSize = m_background.Dc() && m_background.Width() == client.right
        && m_background.Height() == client.bottom;
    if (sameBrush && sameSize)
        return true;
    if (!m_background.Fit(client.right, client.bottom))
        return false;
    DrawBackground(m_background.Dc(), client, windowBackground);
    m_backgroundBrush = brush;
    return true;
}

// Between the black frame and the erased area the window's background shows, as it does under
// a static control that leaves those pixels alone.
void CPlotView::DrawBackground(HDC dc, const RECT &client, HBRUSH windowBackground) const
{
    FillRect(dc, &client, windowBackground);
    RenderFrame(dc, client);
    RenderPlotBackground(dc, client, m_pens);
}

// The brush the dialog gives its static controls, as the control itself would ask for it.
HBRUSH CPlotView::WindowBackground(HDC dc) const
{
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(Window()), WM_CTLCOLORSTATIC,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(Window())));
    return brush ? brush : GetSysColorBrush(COLOR_3DFACE);
}
