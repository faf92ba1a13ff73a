#include "linecontrol.h"

#include "posixio.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

void CLineControl::DiscardOutput(PortHandle fd)
{
    tcflush(fd, TCOFLUSH);
}

void CLineControl::ReleaseFlowControl(PortHandle fd)
{
    termios state {};
    if (tcgetattr(fd, &state) == 0) {
        state.c_cflag &= ~CRTSCTS;
        state.c_iflag &= ~(IXON | IXOFF);
        RetryOnInterrupt([&] { return tcsetattr(fd, TCSANOW, &state); });
    }
    tcflow(fd, TCOON);
}

void CLineControl::Close(PortHandle fd)
{
    close(fd);
}

void CLineControl::RaiseModemLines(PortHandle fd)
{
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &dtr);
    ioctl(fd, TIOCMBIS, &rts);
}

std::optional<LineErrorCounts> CLineControl::ReadErrorCounts(PortHandle fd)
{
    serial_icounter_struct counters {};
    if (ioctl(fd, TIOCGICOUNT, &counters) != 0)
        return std::nullopt;
    const auto count = [](int value) { return static_cast<std::uint32_t>(value); };
    return LineErrorCounts {count(counters.overrun) + count(counters.buf_overrun),
                            count(counters.frame), count(counters.parity), count(counters.brk)};
}
