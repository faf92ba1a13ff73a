#include "pacer.h"

CPacer::CPacer(Interval interval, std::function<void()> run, Timer timer,
               std::function<Clock::time_point()> now)
    : m_interval(std::move(interval))
    , m_run(std::move(run))
    , m_timer(std::move(timer))
    , m_now(std::move(now))
{ }

bool CPacer::HoldBack()
{
    if (m_running)
        return false;
    // A run is due; it does whatever this ask would have done.
    if (m_held)
        return true;
    const Clock::time_point now = m_now();
    const std::chrono::nanoseconds wait
        = m_ranBefore ? m_interval() - (now - m_lastRun) : std::chrono::nanoseconds(0);
    if (wait > std::chrono::nanoseconds(0)) {
        m_held = true;
        m_timer.start(wait);
        return true;
    }
    m_lastRun = now;
    m_ranBefore = true;
    return false;
}

void CPacer::Drop()
{
    if (!m_held)
        return;
    m_held = false;
    m_timer.stop();
}

void CPacer::TimerExpired()
{
    if (!m_held)
        return;
    m_held = false;
    m_lastRun = m_now();
    m_ranBefore = true;
    m_running = true;
    m_run();
    m_running = false;
}
