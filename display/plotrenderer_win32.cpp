#include "plotrenderer_win32.h"

#include "samplebuffers.h"
#include "widetext.h"

#include <array>
#include <cstring>
#include <span>
#include <string>

namespace {

// The face of the window's own font, whose Latin letters are all one width; where it is
// missing, the system's choice of a fixed-pitch face takes its place.
constexpr wchar_t DRAWING_FONT_FACE[] = L"ＭＳ 明朝";

HPEN MakePen(PlotColour colour)
{
    return CreatePen(PS_SOLID, 1, ToColorRef(colour));
}

void SelectPen(HDC dc, HPEN pen)
{
    SelectObject(dc, pen ? pen : GetStockObject(BLACK_PEN));
}

// GDI leaves out a line's end point; the graph's lines cover it.
void DrawEndPoint(HDC dc, PlotPoint end)
{
    MoveToEx(dc, end.x, end.y, nullptr);
    LineTo(dc, end.x + 1, end.y);
}

void DrawLine(HDC dc, const PlotLine &line)
{
    MoveToEx(dc, line.from.x, line.from.y, nullptr);
    LineTo(dc, line.to.x, line.to.y);
    DrawEndPoint(dc, line.to);
}

void FillArea(HDC dc, const PlotRect &area, PlotColour colour)
{
    const RECT rect {area.left, area.top, area.right, area.bottom};
    SetDCBrushColor(dc, ToColorRef(colour));
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void WriteText(HDC dc, const PlotText &text, PlotColour colour)
{
    const std::wstring wide = WideFromUtf8(text.text);
    SetTextColor(dc, ToColorRef(colour));
    TextOutW(dc, text.topLeft.x, text.topLeft.y, wide.data(), static_cast<int>(wide.size()));
}

void DrawTrace(HDC dc, const std::int32_t *channel, HPEN pen)
{
    TracePoints room;
    const std::span<const PlotPoint> points = TraceOf(channel, room);
    if (points.empty())
        return;
    std::array<POINT, TRACE_POINT_CAPACITY> polyline;
    for (std::size_t i = 0; i < points.size(); ++i)
        polyline[i] = {points[i].x, points[i].y};
    SelectPen(dc, pen);
    Polyline(dc, polyline.data(), static_cast<int>(points.size()));
    DrawEndPoint(dc, points.back());
}

// Runs draw clipped to the client, with the origin at the client's top-left corner, one-colour
// text in the drawing font over what lies beneath, and restores the device context afterwards.
template<typename Draw> void DrawInClient(HDC dc, const RECT &client, Draw draw)
{
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
    OffsetViewportOrgEx(dc, client.left, client.top, nullptr);
    SelectObject(dc, DrawingFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    draw();
    RestoreDC(dc, saved);
}

} // namespace

PlotPens::PlotPens()
    : x(MakePen(TraceColour(TraceChannel::X)))
    , y(MakePen(TraceColour(TraceChannel::Y)))
    , z(MakePen(TraceColour(TraceChannel::Z)))
    , grid(MakePen(GRID_COLOUR))
{ }

PlotPens::~PlotPens()
{
    for (const HPEN pen : {x, y, z, grid}) {
        if (pen)
            DeleteObject(pen);
    }
}

void RenderPlot(HDC dc, const RECT &client, const SampleBuffers &samples, const PlotPens &pens,
                bool tracesShown)
{
    RenderPlotBackground(dc, client, pens);
    if (tracesShown)
        RenderTraces(dc, client, samples, pens);
}

void RenderPlotBackground(HDC dc, const RECT &client, const PlotPens &pens)
{
    DrawInClient(dc, client, [&] {
        FillArea(dc, ErasedArea(client.right - client.left, client.bottom - client.top),
                 PLOT_WHITE);
        SelectPen(dc, pens.grid);
        for (const PlotLine &line : GridLines())
            DrawLine(dc, line);
        for (const PlotText &label : ValueLabels())
            WriteText(dc, label, LABEL_COLOUR);
    });
}

void RenderTraces(HDC dc, const RECT &client, const SampleBuffers &samples, const PlotPens &pens)
{
    DrawInClient(dc, client, [&] {
        for (const TraceChannel channel : TRACE_CHANNELS)
            DrawTrace(dc, ChannelSamples(samples, channel), TracePen(pens, channel));
    });
}

void RenderLegend(HDC dc, const RECT &client, TraceChannel channel)
{
    DrawInClient(dc, client, [&] {
        FillArea(dc, LegendFillArea(client.right - client.left, client.bottom - client.top),
                 PLOT_WHITE);
        WriteText(dc, LegendText(channel), TraceColour(channel));
    });
}

void RenderFrame(HDC dc, const RECT &client)
{
    SetDCBrushColor(dc, ToColorRef(FRAME_COLOUR));
    FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

HFONT DrawingFont()
{
    static const HFONT font = [] {
        LOGFONTW face {};
        face.lfHeight = -DRAWING_FONT_PIXELS;
        face.lfWeight = FW_NORMAL;
        face.lfCharSet = DEFAULT_CHARSET;
        face.lfOutPrecision = OUT_DEFAULT_PRECIS;
        face.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        face.lfQuality = NONANTIALIASED_QUALITY;
        face.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        std::memcpy(face.lfFaceName, DRAWING_FONT_FACE, sizeof DRAWING_FONT_FACE);
        return CreateFontIndirectW(&face);
    }();
    return font;
}

COLORREF ToColorRef(PlotColour colour)
{
    return RGB(colour.r, colour.g, colour.b);
}
