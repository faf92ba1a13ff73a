#include "stopsignals.h"

#include <cerrno>
#include <csignal>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace {

sigset_t StopSet()
{
    sigset_t set;
    ::sigemptyset(&set);
    ::sigaddset(&set, SIGINT);
    ::sigaddset(&set, SIGTERM);
    ::sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

CStopSignals::CStopSignals()
{
    const sigset_t set = StopSet();
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot block the stop signals");
    m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot watch the stop signals");
}

CStopSignals::~CStopSignals()
{
    ::close(m_fd);
}

int CStopSignals::Take()
{
    signalfd_siginfo info {};
    ssize_t got;
    do {
        got = ::read(m_fd, &info, sizeof info);
    } while (got < 0 && errno == EINTR);
    return got == sizeof info ? static_cast<int>(info.ssi_signo) : 0;
}
