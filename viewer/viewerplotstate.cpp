#include "viewerplotstate.h"

#include "recording.h"
#include "samplebuffers.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double WHEEL_STEP_ZOOM = 1.25;
constexpr double KEY_ZOOM = 2;
// An arrow key moves the view by this share of what it shows.
constexpr double KEY_PAN_SHARE = 0.125;

} // namespace

CViewerPlotState::CViewerPlotState(const CRecording &recording, std::function<void()> redraw,
                                   std::function<void(std::int64_t)> pointedFrameChanged)
    : m_recording(recording)
    , m_redraw(std::move(redraw))
    , m_pointedFrameChanged(std::move(pointedFrameChanged))
    , m_code(BIT_LENGTH_12)
{
    m_range.SetFrameCount(m_recording.EstimatedFrameCount());
}

void CViewerPlotState::SetSize(int width, int height)
{
    m_width = width;
    m_height = height;
    RangeChanged();
}

void CViewerPlotState::SetBitLengthCode(std::int32_t code)
{
    m_code = code;
    m_redraw();
}

void CViewerPlotState::RecordingGrew()
{
    m_range.SetFrameCount(m_recording.EstimatedFrameCount());
    RangeChanged();
}

PlotShapes CViewerPlotState::Shapes() const
{
    return Layout().Shapes(m_recording, m_code);
}

std::int64_t CViewerPlotState::FrameAt(int x, int y) const
{
    return Layout().FrameAt(x, y, m_recording.FrameCount());
}

void CViewerPlotState::Wheel(int x, double notches)
{
    if (notches == 0)
        return;
    const double fraction = std::clamp(Layout().FractionAt(x), 0.0, 1.0);
    m_range.ZoomAround(fraction, std::pow(WHEEL_STEP_ZOOM, notches));
    RangeChanged();
}

void CViewerPlotState::Press(int x)
{
    m_dragStart = x;
    m_dragFirst = m_range.First();
}

void CViewerPlotState::MoveTo(int x, int y)
{
    m_pointerX = x;
    m_pointerY = y;
    if (!m_dragStart) {
        SetPointedFrame(FrameAt(x, y));
        return;
    }
    const PlotRect area = Layout().Area();
    const double framesPerPixel = m_range.Span() / (area.right - area.left);
    const double first = m_dragFirst - (x - *m_dragStart) * framesPerPixel;
    m_range.Pan(first - m_range.First());
    RangeChanged();
}

void CViewerPlotState::Release()
{
    m_dragStart.reset();
}

void CViewerPlotState::Leave()
{
    m_pointerX = -1;
    m_pointerY = -1;
    SetPointedFrame(-1);
}

void CViewerPlotState::Key(PlotKey key)
{
    const double pan = std::max(1.0, m_range.Span() * KEY_PAN_SHARE);
    switch (key) {
    case PlotKey::ZoomIn:
        m_range.ZoomAround(0.5, KEY_ZOOM);
        break;
    case PlotKey::ZoomOut:
        m_range.ZoomAround(0.5, 1 / KEY_ZOOM);
        break;
    case PlotKey::PanLeft:
        m_range.Pan(-pan);
        break;
    case PlotKey::PanRight:
        m_range.Pan(pan);
        break;
    case PlotKey::ShowAll:
        m_range.ShowAll();
        break;
    }
    RangeChanged();
}

// The pointer stays where it is while the frames move under it.
void CViewerPlotState::RangeChanged()
{
    m_redraw();
    SetPointedFrame(FrameAt(m_pointerX, m_pointerY));
}

void CViewerPlotState::SetPointedFrame(std::int64_t frame)
{
    if (frame == m_pointedFrame)
        return;
    m_pointedFrame = frame;
    m_pointedFrameChanged(frame);
}
