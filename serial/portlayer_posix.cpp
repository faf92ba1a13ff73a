#include "portlayer.h"

#include "closesinflight.h"
#include "portconfig.h"
#include "portholders.h"
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
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A terminal that nobody had open, such as a freshly plugged adapter, has the kernel's settings:
// it echoes what arrives back to the device and turns CR into LF from the moment it is open. So
// the port is made raw at once, before the lock and before the user's settings; the state is
// read first only so that it can be put back. Who else holds the port was looked for before the
// open; a holder that could not be seen (another user's process) and took the lock gets its
// terminal back as it was when the lock is refused. O_NONBLOCK keeps the open from waiting for a
// carrier. The lock holds against every other opener, root included; TIOCEXCL, which only a
// terminal takes, also keeps out programs that do not lock. Anything but a terminal is refused
// when its state is read. On failure errno says why.
int OpenExclusive(const char *path)
{
    const int fd
        = RetryOnInterrupt([&] { return open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return INVALID_PORT_HANDLE;
    termios found {};
    const bool terminal = tcgetattr(fd, &found) == 0;
    if (terminal) {
        termios raw = found;
        cfmakeraw(&raw);
        RetryOnInterrupt([&] { return tcsetattr(fd, TCSANOW, &raw); });
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (terminal)
            RetryOnInterrupt([&] { return tcsetattr(fd, TCSANOW, &found); });
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

// What came before the user's settings were in place was received under settings that are not
// the user's: at the kernel's speed and framing, or from before the port was raw, echoed and with
// CR turned into LF. It is discarded once the settings are in place and not earlier, since bytes
// go on arriving while they are applied; what comes after them is the device's bytes as sent.
bool ApplyDcb(int fd, const Dcb &dcb)
{
    const auto state = PortTermios(dcb);
    if (!state || !SetStateAndSpeed(fd, *state, dcb.BaudRate) || !LineRunsAt(fd, dcb.BaudRate))
        return false;
    tcflush(fd, TCIFLUSH);
    return true;
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

} // namespace

bool CSerialPort::OpenPort(std::uint32_t portIndex)
{
    ClosePort();
    const std::string path = PortDevicePath(portIndex);
    m_lastFailure = path.empty() ? OpenFailure {ENOENT, path} : ClaimDevice(path);
    if (m_lastFailure.error == 0) {
        m_handle = OpenExclusive(path.c_str());
        if (m_handle == INVALID_PORT_HANDLE)
            m_lastFailure = {errno, path};
    }
    if (m_lastFailure.error != 0) {
        RemoveLockFile(m_lockFile);
        m_lockFile.clear();
        return false;
    }
    m_openedPath = path;
    m_countsAtOpen = m_control->ReadErrorCounts(m_handle);
    return true;
}

// Before the open: this program's previous close of the device has ended, no other process has
// the device open, and no other program's lock file names it; then this program's own lock file
// names it. Files and FIFOs are no devices and need none of it; they are refused when their state
// is read.
OpenFailure CSerialPort::ClaimDevice(const std::string &path)
{
    struct stat status
    {
    };
    if (stat(path.c_str(), &status) != 0)
        return {errno, path};
    if (!S_ISCHR(status.st_mode))
        return {};
    if (!m_closes->WaitUntilClosed(status.st_rdev, m_previousCloseWait))
        return {EBUSY, path, std::nullopt, true};
    if (const auto holder = DescriptorHolder("/proc", status, HolderScope::OthersThanThisProcess))
        return {EBUSY, path, holder};
    std::error_code error;
    const LockClaim claim
        = ClaimLockFile(LockFolders(), std::filesystem::canonical(path, error).string());
    if (claim.holder)
        return {EBUSY, path, claim.holder};
    m_lockFile = claim.written;
    return {};
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

bool CSerialPort::ReadState(PortState &state) const
{
    const int fd = m_handle;
    return fd != INVALID_PORT_HANDLE && tcgetattr(fd, &state) == 0;
}

// A write of 0 bytes reaches the driver, which refuses it on a port that fails.
bool CSerialPort::WriteAll(PortHandle port, const char *bytes, std::int32_t length)
{
    if (length == 0)
        return RetryOnInterrupt([&] { return write(port, bytes, 0); }) == 0;
    return WriteUnlessStalled(port, bytes, length, m_writeStallTimeout);
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
    // Both are let go now, so that nothing of this connection stays once the descriptor has
    // closed; its lock file goes now, since a later open by this program rewrites it.
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    RemoveLockFile(m_lockFile);
    m_lockFile.clear();
    // An open of the same device waits for the close to end, a bounded while.
    struct stat status
    {
    };
    const bool device = fstat(fd, &status) == 0 && S_ISCHR(status.st_mode);
    if (device)
        m_closes->Begin(status.st_rdev);
    const auto closeAndReport
        = [control = m_control, closes = m_closes, fd, device, number = status.st_rdev] {
              control->Close(fd);
              if (device)
                  closes->End(number);
          };
    try {
        std::thread(closeAndReport).detach();
    } catch (const std::system_error &) {
        closeAndReport();
    }
}
