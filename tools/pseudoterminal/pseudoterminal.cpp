#include "pseudoterminal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

int RemainingMilliseconds(std::chrono::steady_clock::time_point deadline)
{
    const auto left
        = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Without raw mode the slave would echo the device's bytes back to the master, where they would
// read as bytes the program sent, and would turn CR into LF for the reader. On the master the
// terminal's mode is the slave's.
void MakeRaw(int master)
{
    termios mode {};
    if (::tcgetattr(master, &mode) != 0)
        Fail("cannot read the pseudo-terminal's mode");
    ::cfmakeraw(&mode);
    if (::tcsetattr(master, TCSANOW, &mode) != 0)
        Fail("cannot set the pseudo-terminal to raw mode");
}

} // namespace

CPseudoTerminal::CPseudoTerminal(OtherEnd otherEnd)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        Fail("cannot open a pseudo-terminal");
    try {
        char path[PATH_MAX];
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
            || ::ptsname_r(m_master, path, sizeof path) != 0)
            Fail("cannot unlock the pseudo-terminal");
        m_slavePath = path;
        if (otherEnd != OtherEnd::Released)
            MakeRaw(m_master);
        m_slave = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_slave < 0)
            Fail("cannot open the pseudo-terminal's slave");
        if (otherEnd != OtherEnd::HeldInProcess) {
            ::close(m_slave);
            m_slave = -1;
        }
    } catch (...) {
        if (m_slave >= 0)
            ::close(m_slave);
        ::close(m_master);
        throw;
    }
}

CPseudoTerminal::~CPseudoTerminal()
{
    m_links.clear();
    if (m_slave >= 0)
        ::close(m_slave);
    HangUp();
}

void CPseudoTerminal::LinkAs(const std::string &name)
{
    m_links.push_back(std::make_unique<CPortLink>(name, m_slavePath));
}

std::size_t CPseudoTerminal::Offer(const char *data, std::size_t length) const
{
    std::size_t taken = 0;
    while (taken < length) {
        const ssize_t written = ::write(m_master, data + taken, length - taken);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN)
            break;
        if (written < 0)
            Fail("cannot write to the pseudo-terminal");
        taken += static_cast<std::size_t>(written);
    }
    return taken;
}

void CPseudoTerminal::Send(std::string_view bytes) const
{
    while (!bytes.empty()) {
        bytes.remove_prefix(Offer(bytes.data(), bytes.size()));
        if (bytes.empty())
            break;
        // A full buffer with nobody left to read it would never drain.
        pollfd writable = {m_master, POLLOUT, 0};
        if (::poll(&writable, 1, -1) < 0 && errno != EINTR)
            Fail("cannot wait for the pseudo-terminal");
        if ((writable.revents & (POLLOUT | POLLHUP)) == POLLHUP) {
            errno = EIO;
            Fail("nobody reads the pseudo-terminal");
        }
    }
}

std::string CPseudoTerminal::Receive(std::size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string received;
    char buffer[4096];
    while (received.size() < count) {
        pollfd readable = {m_master, POLLIN, 0};
        if (::poll(&readable, 1, RemainingMilliseconds(deadline)) <= 0
            || (readable.revents & POLLIN) == 0)
            break;
        const ssize_t got
            = ::read(m_master, buffer, std::min(sizeof buffer, count - received.size()));
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

std::size_t CPseudoTerminal::BytesWaiting() const
{
    int waiting = 0;
    if (::ioctl(m_master, FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<std::size_t>(waiting);
}

std::size_t CPseudoTerminal::BytesWaitingForReader() const
{
    if (m_slave < 0)
        throw std::logic_error("the bytes waiting for the reader show only on a held slave");
    int waiting = 0;
    if (::ioctl(m_slave, FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<std::size_t>(waiting);
}

bool CPseudoTerminal::SlaveClosedWithin(std::chrono::milliseconds timeout) const
{
    pollfd wait = {m_master, POLLIN, 0};
    return ::poll(&wait, 1, static_cast<int>(timeout.count())) > 0 && (wait.revents & POLLHUP) != 0;
}

// In packet mode a read of the master tells of the slave's flushes in a leading status byte.
// Until a program opens the slave, the master reports a hang-up at once, so the wait looks again
// every few milliseconds.
bool CPseudoTerminal::InputDiscardedWithin(std::chrono::milliseconds timeout) const
{
    int packetMode = 1;
    ::ioctl(m_master, TIOCPKT, &packetMode);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool discarded = false;
    while (!discarded && std::chrono::steady_clock::now() < deadline) {
        pollfd wait = {m_master, POLLIN | POLLPRI, 0};
        if (::poll(&wait, 1, 10) > 0 && (wait.revents & (POLLIN | POLLPRI)) != 0) {
            char packet[512];
            discarded = ::read(m_master, packet, sizeof packet) > 0
                && (packet[0] & TIOCPKT_FLUSHREAD) != 0;
        } else if ((wait.revents & POLLHUP) != 0) {
            ::poll(nullptr, 0, 10);
        }
    }
    packetMode = 0;
    ::ioctl(m_master, TIOCPKT, &packetMode);
    return discarded;
}

void CPseudoTerminal::HangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
