#pragma once

#include <chrono>
#include <cstdint>

using Nanos = std::chrono::nanoseconds;

// Wake-ups never come closer together than this: at high rates several frames go out in one
// write instead of one wake-up per frame.
inline constexpr Nanos MIN_WRITE_INTERVAL = std::chrono::milliseconds(1);
// A backlog longer than this means the reader held the line (the terminal's buffer was full);
// the schedule then starts again from now instead of bursting the backlog out at once.
inline constexpr Nanos MAX_LAG = std::chrono::milliseconds(100);

// Releases units (frames or bytes) on a fixed schedule of `rate` units a second: the first at
// the start, unit n (counted from 0) n / rate seconds later. Every due time is computed from the
// start, never from the last wake-up, so a late wake-up catches up and nothing drifts.
// Times are on one monotonic clock; the class itself reads no clock.
class CSendSchedule
{
public:
    CSendSchedule(double rate, Nanos start);

    // The number of units to send at `now`, counted from here on as released; none before
    // NextWake().
    std::uint64_t Release(Nanos now);
    // When Release next has something to give, but not sooner than MIN_WRITE_INTERVAL after the
    // last call of Release.
    Nanos NextWake() const;
    std::uint64_t Released() const { return m_released; }

private:
    std::uint64_t DueBy(Nanos now) const;
    Nanos DueTime(std::uint64_t units) const;
    std::uint64_t LagLimit() const;

    double m_rate;
    Nanos m_scheduleStart;
    // Units released before the schedule last started.
    std::uint64_t m_unitsBeforeStart = 0;
    std::uint64_t m_released = 0;
    Nanos m_lastRelease;
};
