#include "linefeeder.h"

#include "pseudoterminal.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sched.h>

namespace {

constexpr long NS_PER_SECOND = 1'000'000'000;
constexpr long WAKE_INTERVAL_NS = 1'000'000;
constexpr int DRAIN_TIMEOUT_MS = 10'000;

timespec Now()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

timespec Later(timespec time, long ns)
{
    time.tv_nsec += ns;
    while (time.tv_nsec >= NS_PER_SECOND) {
        time.tv_nsec -= NS_PER_SECOND;
        ++time.tv_sec;
    }
    return time;
}

double SecondsBetween(const timespec &from, const timespec &to)
{
    return static_cast<double>(to.tv_sec - from.tv_sec)
        + static_cast<double>(to.tv_nsec - from.tv_nsec) / NS_PER_SECOND;
}

} // namespace

CLineFeeder::CLineFeeder(std::vector<CPseudoTerminal *> ends, double bytesPerSecond,
                         std::FILE *record)
    : m_ends(std::move(ends))
    , m_backlogs(m_ends.size())
    , m_stats(m_ends.size())
    , m_bytesPerSecond(bytesPerSecond)
    , m_record(record)
    , m_thread(&CLineFeeder::Run, this)
{ }

CLineFeeder::~CLineFeeder()
{
    Stop();
}

void CLineFeeder::Stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
}

void CLineFeeder::AskForRealTime()
{
    const sched_param lowestRealTime {sched_get_priority_min(SCHED_FIFO)};
    m_realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowestRealTime) == 0;
}

void CLineFeeder::Run()
{
    AskForRealTime();
    const timespec start = Now();
    timespec wake = start;
    while (m_running) {
        // Due times count from the start, so a late wake-up catches up and the rate holds.
        const timespec now = Now();
        m_latestWakeUpNs = std::max(
            m_latestWakeUpNs, static_cast<long long>(SecondsBetween(wake, now) * NS_PER_SECOND));
        const double elapsed = SecondsBetween(start, now);
        Release(static_cast<std::uint64_t>(std::floor(elapsed * m_bytesPerSecond)));
        OfferBacklogs();
        wake = Later(wake, WAKE_INTERVAL_NS);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) { }
    }
    DrainBacklogs();
}

void CLineFeeder::Release(std::uint64_t due)
{
    if (due <= m_released)
        return;
    m_batch.clear();
    m_source.Append(m_batch, static_cast<std::size_t>(due - m_released));
    if (m_record)
        std::fwrite(m_batch.data(), 1, m_batch.size(), m_record);
    for (Backlog &backlog : m_backlogs)
        backlog.bytes += m_batch;
    m_released = due;
}

// Offers an end its backlog; true when the terminal took all of it.
bool CLineFeeder::Offer(std::size_t end)
{
    Backlog &backlog = m_backlogs[end];
    backlog.taken += m_ends[end]->Offer(backlog.bytes.data() + backlog.taken, backlog.Size());
    if (backlog.taken * 2 >= backlog.bytes.size()) {
        backlog.bytes.erase(0, backlog.taken);
        backlog.taken = 0;
    }
    return backlog.Size() == 0;
}

void CLineFeeder::OfferBacklogs()
{
    for (std::size_t i = 0; i < m_ends.size(); ++i) {
        if (Offer(i))
            continue;
        ++m_stats[i].stalledWakeUps;
        m_stats[i].largestBacklog = std::max(m_stats[i].largestBacklog, m_backlogs[i].Size());
    }
}

void CLineFeeder::DrainBacklogs()
{
    for (std::size_t i = 0; i < m_ends.size(); ++i) {
        while (m_backlogs[i].Size() != 0) {
            pollfd writable {m_ends[i]->MasterFd(), POLLOUT, 0};
            if (::poll(&writable, 1, DRAIN_TIMEOUT_MS) <= 0)
                break;
            Offer(i);
        }
    }
    if (m_record)
        std::fflush(m_record);
}
