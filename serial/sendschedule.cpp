#include "sendschedule.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr long double NANOS_PER_SECOND = 1e9L;

} // namespace

CSendSchedule::CSendSchedule(double rate, Nanos start)
    : m_rate(rate)
    , m_scheduleStart(start)
    , m_lastRelease(start - MIN_WRITE_INTERVAL)
{ }

std::uint64_t CSendSchedule::Release(Nanos now)
{
    // Between wake-ups a few more bytes are always due at high rates; taking them at once
    // would turn the loop into a spin of tiny writes.
    if (now < NextWake())
        return 0;
    std::uint64_t due = DueBy(now);
    if (due - m_released > LagLimit()) {
        m_scheduleStart = now;
        m_unitsBeforeStart = m_released;
        due = DueBy(now);
    }
    const std::uint64_t released = due - m_released;
    m_released = due;
    m_lastRelease = now;
    return released;
}

Nanos CSendSchedule::NextWake() const
{
    return std::max(DueTime(m_released + 1), m_lastRelease + MIN_WRITE_INTERVAL);
}

std::uint64_t CSendSchedule::DueBy(Nanos now) const
{
    if (now < m_scheduleStart)
        return m_unitsBeforeStart;
    const long double elapsed = static_cast<long double>((now - m_scheduleStart).count());
    const auto onSchedule
        = static_cast<std::uint64_t>(std::floor(elapsed * m_rate / NANOS_PER_SECOND));
    return m_unitsBeforeStart + onSchedule + 1;
}

// The time at which DueBy reaches `units`.
Nanos CSendSchedule::DueTime(std::uint64_t units) const
{
    if (units <= m_unitsBeforeStart + 1)
        return m_scheduleStart;
    const long double index = static_cast<long double>(units - m_unitsBeforeStart - 1);
    return m_scheduleStart
        + Nanos(static_cast<Nanos::rep>(std::ceil(index * NANOS_PER_SECOND / m_rate)));
}

std::uint64_t CSendSchedule::LagLimit() const
{
    const long double units = static_cast<long double>(m_rate) * MAX_LAG.count() / NANOS_PER_SECOND;
    return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(units));
}
