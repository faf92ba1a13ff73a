#include "pseudoterminal.h"

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

} // namespace

CPseudoTerminal::CPseudoTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        Fail("cannot open a pseudo-terminal");
    try {
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            Fail("cannot unlock the pseudo-terminal");
        char path[PATH_MAX];
        if (::ptsname_r(m_master, path, sizeof path) != 0)
            Fail("cannot name the pseudo-terminal");
        m_slavePath = path;
        m_slave = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_slave < 0)
            Fail("cannot open the pseudo-terminal's slave");
        // Without raw mode the slave would echo our frames back to the master, where they would
        // read as bytes the program sent, and would turn CR into LF for the reader.
        termios mode {};
        if (::tcgetattr(m_slave, &mode) != 0)
            Fail("cannot read the pseudo-terminal's mode");
        ::cfmakeraw(&mode);
        if (::tcsetattr(m_slave, TCSANOW, &mode) != 0)
            Fail("cannot set the pseudo-terminal to raw mode");
        const int flags = ::fcntl(m_master, F_GETFL);
        if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
            Fail("cannot make the pseudo-terminal non-blocking");
    } catch (...) {
        if (m_slave >= 0)
            ::close(m_slave);
        ::close(m_master);
        throw;
    }
}

CPseudoTerminal::~CPseudoTerminal()
{
    ::close(m_slave);
    ::close(m_master);
}

std::size_t CPseudoTerminal::BytesWaitingForReader() const
{
    int waiting = 0;
    if (::ioctl(m_slave, FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<std::size_t>(waiting);
}
