#include "deviceend.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void MakeRaw(int fd)
{
    termios mode {};
    if (::tcgetattr(fd, &mode) != 0)
        Fail("cannot read the pseudo-terminal's mode");
    ::cfmakeraw(&mode);
    if (::tcsetattr(fd, TCSANOW, &mode) != 0)
        Fail("cannot set the pseudo-terminal to raw mode");
}

} // namespace

CDeviceEnd::CDeviceEnd(std::string linkName)
    : m_linkName(std::move(linkName))
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        Fail("cannot open a pseudo-terminal");
    char path[PATH_MAX];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || ::ptsname_r(m_master, path, sizeof path) != 0) {
        ::close(m_master);
        Fail("cannot unlock the pseudo-terminal");
    }
    m_otherEndPath = path;
    m_otherEnd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_otherEnd < 0) {
        ::close(m_master);
        Fail("cannot open the pseudo-terminal's other end");
    }
    try {
        // Unless raw, the terminal would echo the frames back and turn CR into LF.
        MakeRaw(m_otherEnd);
        if (!m_linkName.empty() && ::symlink(path, m_linkName.c_str()) != 0)
            Fail("cannot link the pseudo-terminal");
    } catch (...) {
        ::close(m_otherEnd);
        ::close(m_master);
        throw;
    }
}

CDeviceEnd::~CDeviceEnd()
{
    if (!m_linkName.empty())
        ::unlink(m_linkName.c_str());
    ::close(m_otherEnd);
    ::close(m_master);
}

std::size_t CDeviceEnd::Offer(const char *data, std::size_t length)
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

std::size_t CDeviceEnd::BytesWaitingForReader() const
{
    int waiting = 0;
    if (::ioctl(m_otherEnd, FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<std::size_t>(waiting);
}
