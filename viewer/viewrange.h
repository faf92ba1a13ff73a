#pragma once

#include <cstdint>

// Which frames the viewer's plot shows: `Span()` frames from `First()` on, within the frames
// known so far, [0, count). Frame f covers [f, f + 1) on this scale; both ends are fractional, so
// a deep zoom still moves smoothly. While the whole run is shown it keeps showing the whole run
// as the scan finds more frames. Plain arithmetic, used on the window's thread.
class CViewRange
{
public:
    // The fewest frames a zoom shows, unless the run holds fewer.
    static constexpr double MIN_SPAN = 8;

    double First() const { return m_first; }
    double Span() const { return m_span; }
    // The whole frames that the range touches, [FirstFrame(), EndFrame()).
    std::int64_t FirstFrame() const;
    std::int64_t EndFrame() const;
    // The frame at a point `fraction` of the way across (0 the left edge, 1 the right).
    double FrameAt(double fraction) const { return m_first + fraction * m_span; }

    void SetFrameCount(std::int64_t count);
    void ShowAll();
    // Divides the span by `factor` (above 1 zooms in), keeping the frame at `fraction` where
    // it is unless that would show frames beyond either end.
    void ZoomAround(double fraction, double factor);
    void Pan(double frames);

private:
    double MaxSpan() const;
    void Clamp();

    std::int64_t m_count = 0;
    double m_first = 0;
    double m_span = 1;
    bool m_showsAll = true;
};
