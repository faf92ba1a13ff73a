#include "readerwaits.h"

#include "posixio.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int READER_NICE_INCREMENT = 2;

// How long the bytes of a chunk gather between two reads; well below the read interval and the
// hand-over time, and at the highest line speed a few kilobytes, which the driver holds.
constexpr std::uint32_t READ_GATHER_TIME_MS = 5;

// Waits in poll() on the port, which is non-blocking, and on an eventfd that a stop writes to.
// The wake-up is only ever sent with the run flag cleared, so it is never consumed.
class CPollWaits : public CReaderWaits
{
public:
    explicit CPollWaits(int wakeFd)
        : m_wakeFd(wakeFd)
    { }
    ~CPollWaits() override { close(m_wakeFd); }
    CPollWaits(const CPollWaits &) = delete;
    CPollWaits &operator=(const CPollWaits &) = delete;

    ReadResult ReadWithin(int port, char *buffer, std::int32_t length,
                          std::optional<std::uint32_t> milliseconds) override
    {
        if (milliseconds && !Gathered(*milliseconds))
            return {};
        const int left = milliseconds
            ? static_cast<int>(*milliseconds - std::min(*milliseconds, READ_GATHER_TIME_MS))
            : -1;
        pollfd waits[] = {{m_wakeFd, POLLIN, 0}, {port, POLLIN, 0}};
        const int ready = RetryOnInterrupt([&] { return poll(waits, 2, left); });
        if (ready < 0)
            return {0, ReadEnd::Failed};
        if (ready == 0 || waits[0].revents != 0)
            return {};
        // A hang-up or error without data would be reported again on every wait.
        if ((waits[1].revents & POLLIN) == 0)
            return {0, ReadEnd::Lost};
        return ReadWaiting(port, buffer, length);
    }

    bool WaitUntilWoken() override
    {
        pollfd wait = {m_wakeFd, POLLIN, 0};
        return RetryOnInterrupt([&] { return poll(&wait, 1, -1); }) >= 0;
    }

    void Wake() override
    {
        const std::uint64_t one = 1;
        RetryOnInterrupt([&] { return write(m_wakeFd, &one, sizeof one); });
    }

private:
    // Lets the bytes that follow gather for READ_GATHER_TIME_MS before it looks for them: a fast
    // line passes its bytes on in small pieces, and a wake-up for each would cost more than the
    // reading. The whole wait for the next byte is still `milliseconds`, so a pause of the read
    // interval ends the chunk as before. False when woken.
    bool Gathered(std::uint32_t milliseconds) const
    {
        const auto gather = std::min(milliseconds, READ_GATHER_TIME_MS);
        pollfd wait = {m_wakeFd, POLLIN, 0};
        return gather == 0
            || RetryOnInterrupt([&] { return poll(&wait, 1, static_cast<int>(gather)); }) == 0;
    }

    // A hung-up terminal reads as end of file; an unplugged adapter fails with EIO or ENODEV.
    static ReadResult ReadWaiting(int port, char *buffer, std::int32_t length)
    {
        const ssize_t got
            = RetryOnInterrupt([&] { return read(port, buffer, static_cast<size_t>(length)); });
        if (got > 0)
            return {static_cast<std::int32_t>(got)};
        return {0, got < 0 && errno == EAGAIN ? ReadEnd::Open : ReadEnd::Lost};
    }

    int m_wakeFd;
};

} // namespace

std::unique_ptr<CReaderWaits> MakeReaderWaits()
{
    const int wakeFd = eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0)
        return nullptr;
    return std::make_unique<CPollWaits>(wakeFd);
}

void PrepareReaderThread(const char *name)
{
    pthread_setname_np(pthread_self(), name);
    const pid_t thread = gettid();
    errno = 0;
    const int niceness = getpriority(PRIO_PROCESS, thread);
    if (niceness == -1 && errno != 0)
        return;
    setpriority(PRIO_PROCESS, thread, niceness + READER_NICE_INCREMENT);
}
