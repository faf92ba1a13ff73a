#include "portlayer.h"

#include "portconfig.h"
#include "portnames.h"
#include "portsettings.h"
#include "portspeed.h"
#include "posixio.h"
#include "termiosmapping.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// O_NONBLOCK keeps the open from waiting for a carrier. The lock holds against every other
// opener, root included, and is taken first so that a refused open leaves the other holder's
// terminal as it was. TIOCEXCL also keeps out programs that do not lock; only a terminal takes
// it, and anything else is refused when its state is read. On failure errno says why.
int OpenExclusive(const char *path)
{
    const int fd
        = RetryOnInterrupt([&] { return open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return INVALID_PORT_HANDLE;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return INVALID_PORT_HANDLE;
    }
    ioctl(fd, TIOCEXCL);
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

// Waits until the port takes bytes again, at most until the deadline.
bool WaitUntilWritable(int port, Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return false;
    pollfd wait = {port, POLLOUT, 0};
    return RetryOnInterrupt([&] { return poll(&wait, 1, static_cast<int>(left.count())); }) > 0;
}

// A terminal write would wait until every byte is taken, without end while output is held, so
// the descriptor is non-blocking and the write waits in poll(). The deadline moves with every
// byte taken, so only a write that stalls fails, not a long one.
bool WriteUnlessStalled(int port, const char *bytes, std::int32_t length,
                        std::chrono::milliseconds stallBound)
{
    auto deadline = Clock::now() + stallBound;
    while (length > 0) {
        const ssize_t written = write(port, bytes, static_cast<size_t>(length));
        if (written > 0) {
            bytes += written;
            length -= static_cast<std::int32_t>(written);
            deadline = Clock::now() + stallBound;
        } else if (written < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        } else if (!WaitUntilWritable(port, deadline)) {
            return false;
        }
    }
    return true;
}

bool WriteNothing(int port, const char *bytes)
{
    return RetryOnInterrupt([&] { return write(port, bytes, 0); }) == 0;
}

} // namespace

CSerialPort::CSerialPort(std::shared_ptr<CLineControl> control)
    : m_control(std::move(control))
{ }

CSerialPort::~CSerialPort()
{
    ClosePort();
}

bool CSerialPort::OpenPort(std::uint32_t portIndex)
{
    ClosePort();
    const std::string path = PortDevicePath(portIndex);
    if (path.empty()) {
        m_lastFailure = {ENOENT, path};
        return false;
    }
    m_handle = OpenExclusive(path.c_str());
    if (m_handle == INVALID_PORT_HANDLE) {
        m_lastFailure = {errno, path};
        return false;
    }
    m_lastFailure = {};
    m_openedPath = path;
    m_countsAtOpen = m_control->ReadErrorCounts(m_handle);
    return true;
}

bool CSerialPort::ApplyPortSettings(const PortSettings &settings, Dcb &dcb,
                                    CommTimeouts &commTimeouts)
{
    const int fd = m_handle;
    if (fd == INVALID_PORT_HANDLE || tcgetattr(fd, &dcb.portState) != 0)
        return false;
    MapPortSettings(settings, dcb, commTimeouts);
    return true;
}

bool CSerialPort::ConfigurePort(const Dcb &dcb, const CommTimeouts &commTimeouts)
{
    const int fd = m_handle;
    if (fd == INVALID_PORT_HANDLE)
        return false;
    if (!ApplyDcb(fd, dcb)) {
        ClosePort();
        return false;
    }
    m_readIntervalTimeout = commTimeouts.ReadIntervalTimeout;
    return true;
}

void CSerialPort::RaiseModemLines()
{
    const int fd = m_handle;
    if (fd != INVALID_PORT_HANDLE)
        m_control->RaiseModemLines(fd);
}

bool CSerialPort::WritePort(const char *bytes, std::int32_t length)
{
    const int port = m_handle;
    if (port == INVALID_PORT_HANDLE || length < 0)
        return false;
    const bool written = length == 0 ? WriteNothing(port, bytes)
                                     : WriteUnlessStalled(port, bytes, length, m_writeStallTimeout);
    if (!written)
        m_control->DiscardOutput(port);
    return written;
}

std::optional<LineErrorCounts> CSerialPort::ErrorCountsSinceOpen() const
{
    const int fd = m_handle;
    if (fd == INVALID_PORT_HANDLE || !m_countsAtOpen)
        return std::nullopt;
    const auto counts = m_control->ReadErrorCounts(fd);
    if (!counts)
        return std::nullopt;
    return CountsSince(*counts, *m_countsAtOpen);
}

void CSerialPort::ClosePort()
{
    const int fd = m_handle.exchange(INVALID_PORT_HANDLE);
    if (fd == INVALID_PORT_HANDLE)
        return;
    // On the last close of a real port, close() waits until the output queue has drained: up to
    // the port's closing wait (30 s by default) while CTS or an XOFF holds the line, and
    // usb-serial drivers keep bytes that TCOFLUSH should have dropped. So queued output is
    // dropped and flow control let go, which leaves little to drain, and close() itself runs on
    // a thread of its own: no window waits for a line that a device holds. Dropping and letting
    // go come first, here: once the port can be opened again they would undo the settings of
    // the next open.
    m_control->DiscardOutput(fd);
    m_control->ReleaseFlowControl(fd);
    // A terminal stays exclusive after the close while something else holds it open, such as
    // the other end of a pseudo-terminal; without this, the next open by an ordinary user fails.
    // Both are let go now, so that the port opens again while the descriptor still closes.
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    try {
        std::thread([control = m_control, fd] { control->Close(fd); }).detach();
    } catch (const std::system_error &) {
        m_control->Close(fd);
    }
}
