#include "legendview_win32.h"

#include "plotrenderer_win32.h"

CLegendView::CLegendView(TraceChannel channel)
    : m_channel(channel)
{ }

void CLegendView::Paint(HDC dc, const RECT &client)
{
    RenderFrame(dc, client);
    RenderLegend(dc, client, m_channel);
}
