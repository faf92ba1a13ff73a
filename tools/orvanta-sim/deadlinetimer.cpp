#include "deadlinetimer.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr Nanos::rep NANOS_PER_SECOND = 1000000000;

} // namespace

Nanos MonotonicNow()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return Nanos(now.tv_sec * NANOS_PER_SECOND + now.tv_nsec);
}

CDeadlineTimer::CDeadlineTimer()
{
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot create a timer");
}

CDeadlineTimer::~CDeadlineTimer()
{
    ::close(m_fd);
}

void CDeadlineTimer::FireAt(Nanos deadline)
{
    itimerspec when {};
    when.it_value.tv_sec = deadline.count() / NANOS_PER_SECOND;
    when.it_value.tv_nsec = deadline.count() % NANOS_PER_SECOND;
    // A zero time would disarm the timer; the clock's start has long passed anyway.
    if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0)
        when.it_value.tv_nsec = 1;
    if (::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &when, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot set the timer");
}

void CDeadlineTimer::Acknowledge()
{
    std::uint64_t expirations = 0;
    while (::read(m_fd, &expirations, sizeof expirations) < 0 && errno == EINTR) { }
}
