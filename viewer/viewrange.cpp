#include "viewrange.h"

#include <algorithm>
#include <cmath>

std::int64_t CViewRange::FirstFrame() const
{
    return static_cast<std::int64_t>(std::floor(m_first));
}

std::int64_t CViewRange::EndFrame() const
{
    return std::min(m_count, static_cast<std::int64_t>(std::ceil(m_first + m_span)));
}

void CViewRange::SetFrameCount(std::int64_t count)
{
    m_count = count;
    if (m_showsAll)
        ShowAll();
    else
        Clamp();
}

void CViewRange::ShowAll()
{
    m_showsAll = true;
    m_first = 0;
    m_span = MaxSpan();
}

void CViewRange::ZoomAround(double fraction, double factor)
{
    const double anchor = FrameAt(fraction);
    m_span = std::clamp(m_span / factor, std::min(MIN_SPAN, MaxSpan()), MaxSpan());
    m_first = anchor - fraction * m_span;
    m_showsAll = false;
    Clamp();
}

void CViewRange::Pan(double frames)
{
    m_first += frames;
    m_showsAll = false;
    Clamp();
}

// An empty run still spans one frame, so that the scale never divides by zero.
double CViewRange::MaxSpan() const
{
    return std::max<double>(1, static_cast<double>(m_count));
}

void CViewRange::Clamp()
{
    m_span = std::min(m_span, MaxSpan());
    m_first = std::clamp(m_first, 0.0, MaxSpan() - m_span);
}
