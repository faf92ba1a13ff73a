#include "ptydevice.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int RemainingMilliseconds(std::chrono::steady_clock::time_point deadline)
{
    const auto left
        = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

CPtyDevice::CPtyDevice()
{
    int slave = -1;
    if (openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_slavePath = ttyname(slave);
    close(slave);
}

CPtyDevice::~CPtyDevice()
{
    hangUp();
}

void CPtyDevice::linkAs(const std::string &portName) const
{
    if (symlink(m_slavePath.c_str(), portName.c_str()) != 0)
        throw std::runtime_error("cannot link " + portName);
}

void CPtyDevice::send(std::string_view bytes) const
{
    while (!bytes.empty()) {
        const ssize_t written = write(m_master, bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR)
            throw std::runtime_error("device write failed");
        if (written > 0)
            bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::string CPtyDevice::receive(std::size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string received;
    char buffer[4096];
    while (received.size() < count) {
        pollfd wait = {m_master, POLLIN, 0};
        if (poll(&wait, 1, RemainingMilliseconds(deadline)) <= 0 || (wait.revents & POLLIN) == 0)
            break;
        const ssize_t got
            = read(m_master, buffer, std::min(sizeof buffer, count - received.size()));
        if (got <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

std::size_t CPtyDevice::bytesWaiting() const
{
    int count = 0;
    ioctl(m_master, FIONREAD, &count);
    return static_cast<std::size_t>(count);
}

bool CPtyDevice::portClosedWithin(std::chrono::milliseconds timeout) const
{
    pollfd wait = {m_master, POLLIN, 0};
    return poll(&wait, 1, static_cast<int>(timeout.count())) > 0 && (wait.revents & POLLHUP) != 0;
}

void CPtyDevice::hangUp()
{
    if (m_master >= 0)
        close(m_master);
    m_master = -1;
}
