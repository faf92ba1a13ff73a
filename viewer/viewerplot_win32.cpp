#include "viewerplot_win32.h"

#include "windowobject_win32.h"

#include <windowsx.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t CLASS_NAME[] = L"OrvantaViewerPlot";

int Rounded(double value)
{
    return static_cast<int>(std::lround(value));
}

void FillRectangle(HDC dc, const RECT &rect, PlotColour colour)
{
    SetDCBrushColor(dc, ToColorRef(colour));
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A grid line covers both of its ends; GDI leaves out the last point of a line.
void DrawGridLine(HDC dc, const PlotLine &line)
{
    MoveToEx(dc, line.from.x, line.from.y, nullptr);
    LineTo(dc, line.to.x + (line.to.x > line.from.x ? 1 : 0),
           line.to.y + (line.to.y > line.from.y ? 1 : 0));
}

// The lines of a trace that meet end to start become one polyline each, which GDI draws far
// faster than as many single lines.
void DrawSegments(HDC dc, const std::vector<TraceSegment> &segments)
{
    std::vector<POINT> points;
    std::vector<DWORD> counts;
    for (const TraceSegment &segment : segments) {
        const POINT from {Rounded(segment.x1), Rounded(segment.y1)};
        const POINT to {Rounded(segment.x2), Rounded(segment.y2)};
        if (counts.empty() || points.back().x != from.x || points.back().y != from.y) {
            points.push_back(from);
            counts.push_back(1);
        }
        points.push_back(to);
        ++counts.back();
    }
    // A run of one point, a frame with nothing beside it, still shows as one pixel.
    for (std::size_t run = 0, at = 0; run < counts.size(); at += counts[run++]) {
        if (counts[run] == 2 && points[at].x == points[at + 1].x
            && points[at].y == points[at + 1].y)
            ++points[at + 1].x;
    }
    if (!counts.empty())
        PolyPolyline(dc, points.data(), counts.data(), static_cast<DWORD>(counts.size()));
}

std::optional<PlotKey> KeyOfChar(WPARAM ch)
{
    switch (ch) {
    case L'+':
    case L'=':
        return PlotKey::ZoomIn;
    case L'-':
        return PlotKey::ZoomOut;
    default:
        return std::nullopt;
    }
}

std::optional<PlotKey> KeyOfVirtualKey(WPARAM key)
{
    switch (key) {
    case VK_LEFT:
        return PlotKey::PanLeft;
    case VK_RIGHT:
        return PlotKey::PanRight;
    case VK_HOME:
        return PlotKey::ShowAll;
    default:
        return std::nullopt;
    }
}

void RegisterPlotClass()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = CLASS_NAME;
        return RegisterClassExW(&windowClass) != 0;
    }();
    static_cast<void>(registered);
}

} // namespace

CViewerPlotWindow::CViewerPlotWindow(const CRecording &recording,
                                     std::function<void(std::int64_t)> pointedFrameChanged)
    : m_state(
        recording,
        [this] {
            if (m_hWnd != nullptr)
                InvalidateRect(m_hWnd, nullptr, FALSE);
        },
        std::move(pointedFrameChanged))
{ }

CViewerPlotWindow *CViewerPlotWindow::Create(HWND parent, int id, const CRecording &recording,
                                             std::function<void(std::int64_t)> pointedFrameChanged)
{
    RegisterPlotClass();
    auto *plot = new CViewerPlotWindow(recording, std::move(pointedFrameChanged));
    const HWND window = CreateWindowExW(
        WS_EX_CLIENTEDGE, CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
        CViewerLayout::MIN_WIDTH, CViewerLayout::MIN_HEIGHT, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        delete plot;
        return nullptr;
    }
    plot->m_hWnd = window;
    AttachWindowObject(window, plot);
    RECT client {};
    GetClientRect(window, &client);
    plot->m_state.SetSize(client.right, client.bottom);
    return plot;
}

LRESULT CViewerPlotWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_PRINTCLIENT: {
        RECT client {};
        GetClientRect(m_hWnd, &client);
        if (m_frame.Fit(client.right, client.bottom)) {
            Render(m_frame.Dc(), client.right, client.bottom);
            m_frame.CopyTo(reinterpret_cast<HDC>(wParam));
        }
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        m_state.SetSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_MOUSEWHEEL: {
        POINT at {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(m_hWnd, &at);
        m_state.Wheel(at.x, GET_WHEEL_DELTA_WPARAM(wParam) / static_cast<double>(WHEEL_DELTA));
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(m_hWnd);
        SetCapture(m_hWnd);
        m_state.Press(GET_X_LPARAM(lParam));
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEALL)));
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        m_state.Release();
        return 0;
    case WM_SETCURSOR:
        if (m_state.Dragging()) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEALL)));
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSELEAVE:
        m_trackingLeave = false;
        m_state.Leave();
        return 0;
    case WM_KEYDOWN:
        if (const std::optional<PlotKey> key = KeyOfVirtualKey(wParam)) {
            m_state.Key(*key);
            return 0;
        }
        break;
    case WM_CHAR:
        if (const std::optional<PlotKey> key = KeyOfChar(wParam)) {
            m_state.Key(*key);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

// The system says when the pointer leaves only if asked anew after each time it said so.
void CViewerPlotWindow::OnMouseMove(int x, int y)
{
    if (!m_trackingLeave) {
        TRACKMOUSEEVENT track {};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        m_trackingLeave = TrackMouseEvent(&track) != FALSE;
    }
    m_state.MoveTo(x, y);
}

void CViewerPlotWindow::OnPaint()
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_hWnd, &paint);
    if (PaintInto(m_frame))
        m_frame.CopyTo(dc);
    EndPaint(m_hWnd, &paint);
}

bool CViewerPlotWindow::PaintInto(CDibSurface &surface) const
{
    RECT client {};
    GetClientRect(m_hWnd, &client);
    if (!surface.Fit(client.right, client.bottom))
        return false;
    Render(surface.Dc(), client.right, client.bottom);
    return true;
}

void CViewerPlotWindow::Render(HDC dc, int width, int height) const
{
    const int saved = SaveDC(dc);
    const RECT client {0, 0, width, height};
    FillRectangle(dc, client, PLOT_WHITE);
    const CViewerLayout layout = m_state.Layout();
    DrawGrid(dc, layout);
    DrawShapes(dc, m_state.Shapes(), layout.Area());
    RestoreDC(dc, saved);
}

void CViewerPlotWindow::DrawGrid(HDC dc, const CViewerLayout &layout) const
{
    SelectObject(dc, DrawingFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ToColorRef(AXIS_TEXT_COLOUR));
    TEXTMETRICW metrics {};
    GetTextMetricsW(dc, &metrics);
    const std::pair<std::vector<GridMark>, UINT> grids[] = {
        {layout.ValueGrid(metrics.tmHeight), DT_RIGHT | DT_VCENTER},
        {layout.FrameGrid(metrics.tmHeight), DT_CENTER | DT_TOP},
    };
    SelectObject(dc, m_pens.grid);
    for (const auto &[marks, alignment] : grids) {
        for (const GridMark &mark : marks) {
            DrawGridLine(dc, mark.line);
            RECT label {mark.label.left, mark.label.top, mark.label.right, mark.label.bottom};
            const std::wstring number = std::to_wstring(mark.number);
            DrawTextW(dc, number.c_str(), static_cast<int>(number.size()), &label,
                      alignment | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
        }
    }
    const PlotRect area = layout.Area();
    const RECT frame {area.left, area.top, area.right, area.bottom};
    SetDCBrushColor(dc, ToColorRef(AXIS_TEXT_COLOUR));
    FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A mark hides the grid lines it covers, never a trace. The traces are drawn in the order of the
// main window's graph, X first, so that Z lies on top.
void CViewerPlotWindow::DrawShapes(HDC dc, const PlotShapes &shapes, const PlotRect &area) const
{
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    for (const MarkBand &mark : shapes.marks)
        FillRectangle(dc, {Rounded(mark.left), area.top, Rounded(mark.right), area.bottom},
                      MARK_COLOUR);
    const HPEN pens[] = {m_pens.x, m_pens.y, m_pens.z};
    for (std::size_t c = 0; c < 3; ++c) {
        SelectObject(dc, pens[c]);
        DrawSegments(dc, shapes.lines[c]);
        const PlotColour colour = TraceColour(TRACE_CHANNELS[c]);
        for (const TraceBar &bar : shapes.bars[c])
            FillRectangle(dc, {bar.x, bar.y, bar.x + bar.width, bar.y + bar.height}, colour);
    }
}
