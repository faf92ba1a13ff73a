#include "portlayer.h"

#include "portconfig.h"
#include "portnames.h"
#include "portsettings.h"
#include "portspeed.h"
#include "retryoninterrupt.h"
#include "termiosmapping.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

std::atomic<int> com_handle {INVALID_PORT_HANDLE};
std::atomic<std::uint32_t> g_readIntervalTimeout {20};

namespace {

bool ClearNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// O_NONBLOCK keeps the open from waiting for a carrier. The lock holds against every other
// opener, root included, and is taken first so that a refused open leaves the other holder's
// terminal as it was. TIOCEXCL also keeps out programs that do not lock; only a terminal takes
// it, and anything else is refused when its state is read.
int OpenExclusive(const char *path)
{
    const int fd
        = RetryOnInterrupt([&] { return open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return INVALID_PORT_HANDLE;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return INVALID_PORT_HANDLE;
    }
    ioctl(fd, TIOCEXCL);
    if (!ClearNonBlocking(fd)) {
        close(fd);
        return INVALID_PORT_HANDLE;
    }
    return fd;
}

// A speed without a B-constant goes through termios2 once the rest is set. Speed 0 would hang
// up the line.
bool SetStateAndSpeed(int fd, termios state, std::uint32_t baudRate)
{
    const auto constant = SpeedConstant(baudRate);
    if (constant) {
        cfsetispeed(&state, *constant);
        cfsetospeed(&state, *constant);
    } else if (baudRate == 0) {
        return false;
    }
    if (RetryOnInterrupt([&] { return tcsetattr(fd, TCSANOW, &state); }) != 0)
        return false;
    return constant || SetArbitrarySpeed(fd, baudRate);
}

// A driver that cannot run at a speed may quietly pick another; the line would then carry
// garbage, so anything but the requested speed counts as a refusal.
bool LineRunsAt(int fd, std::uint32_t baudRate)
{
    std::uint32_t inputSpeed = 0;
    std::uint32_t outputSpeed = 0;
    return ReadLineSpeeds(fd, inputSpeed, outputSpeed) && inputSpeed == baudRate
        && outputSpeed == baudRate;
}

bool ApplyDcb(int fd, const Dcb &dcb)
{
    const auto state = PortTermios(dcb);
    return state && SetStateAndSpeed(fd, *state, dcb.BaudRate) && LineRunsAt(fd, dcb.BaudRate);
}

} // namespace

bool OpenPort(std::uint32_t portIndex)
{
    ClosePort();
    const std::string path = PortDevicePath(portIndex);
    if (path.empty())
        return false;
    com_handle = OpenExclusive(path.c_str());
    return com_handle != INVALID_PORT_HANDLE;
}

bool ApplyPortSettings(Dcb &dcb, CommTimeouts &commTimeouts)
{
    const int fd = com_handle;
    if (fd == INVALID_PORT_HANDLE || tcgetattr(fd, &dcb.portState) != 0)
        return false;
    MapPortSettings(g_portSettings, dcb, commTimeouts);
    return true;
}

bool ConfigurePort(const Dcb &dcb, const CommTimeouts &commTimeouts)
{
    const int fd = com_handle;
    if (fd == INVALID_PORT_HANDLE)
        return false;
    if (!ApplyDcb(fd, dcb)) {
        ClosePort();
        return false;
    }
    g_readIntervalTimeout = commTimeouts.ReadIntervalTimeout;
    return true;
}

void RaiseModemLines()
{
    const int fd = com_handle;
    if (fd == INVALID_PORT_HANDLE)
        return;
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &dtr);
    ioctl(fd, TIOCMBIS, &rts);
}

void ClosePort()
{
    const int fd = com_handle.exchange(INVALID_PORT_HANDLE);
    if (fd == INVALID_PORT_HANDLE)
        return;
    // A terminal stays exclusive after the close while something else holds it open, such as
    // the other end of a pseudo-terminal; without this, the next open by an ordinary user fails.
    ioctl(fd, TIOCNXCL);
    close(fd);
}
