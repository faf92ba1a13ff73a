#pragma once

#include "viewerlayout.h"
#include "viewrange.h"

#include <cstdint>
#include <functional>
#include <optional>

class CRecording;

// The commands of the plot's keys: + and = zoom in, - zooms out, the arrows pan by an eighth of
// what is shown, Home shows the whole run.
enum class PlotKey { ZoomIn, ZoomOut, PanLeft, PanRight, ShowAll };

// What the viewer's plot knows and how it answers the user, whatever window shows it: the range
// in view, the bit length of the frames read back, the pointer and a drag. The wheel zooms around
// the pointer, a drag with the left button moves the frames with the pointer, and the frame under
// the pointer stays known while the frames move under it. The window routes its events here and
// paints again when told. Lives on the window's thread.
class CViewerPlotState
{
public:
    // `redraw` is called whenever the picture changes, `pointedFrameChanged` when the frame under
    // the pointer does (-1 for none).
    CViewerPlotState(const CRecording &recording, std::function<void()> redraw,
                     std::function<void(std::int64_t)> pointedFrameChanged);

    void SetSize(int width, int height);
    void SetBitLengthCode(std::int32_t code);
    std::int32_t BitLengthCode() const { return m_code; }
    // More frames are known: the range follows. Before the scan ends the whole run is taken to
    // hold as many frames as the recording estimates.
    void RecordingGrew();

    const CViewRange &Range() const { return m_range; }
    CViewerLayout Layout() const { return {m_width, m_height, m_range}; }
    PlotShapes Shapes() const;
    std::int64_t FrameAt(int x, int y) const;
    std::int64_t PointedFrame() const { return m_pointedFrame; }

    // A turn of the wheel in notches (120ths of a turn over 120), positive away from the user.
    void Wheel(int x, double notches);
    void Press(int x);
    void MoveTo(int x, int y);
    void Release();
    bool Dragging() const { return m_dragStart.has_value(); }
    void Leave();
    void Key(PlotKey key);

private:
    void RangeChanged();
    void SetPointedFrame(std::int64_t frame);

    const CRecording &m_recording;
    std::function<void()> m_redraw;
    std::function<void(std::int64_t)> m_pointedFrameChanged;
    CViewRange m_range;
    std::int32_t m_code;
    int m_width = CViewerLayout::MIN_WIDTH;
    int m_height = CViewerLayout::MIN_HEIGHT;
    // Where a drag began, and the first frame shown then.
    std::optional<int> m_dragStart;
    double m_dragFirst = 0;
    int m_pointerX = -1;
    int m_pointerY = -1;
    std::int64_t m_pointedFrame = -1;
};
