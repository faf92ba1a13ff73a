#include "portspeed.h"

#include "posixio.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetArbitrarySpeed(int fd, std::uint32_t baudRate)
{
    termios2 state {};
    if (ioctl(fd, TCGETS2, &state) != 0)
        return false;
    // An input speed field of zero makes the input follow the output.
    state.c_cflag &= ~(CBAUD | CIBAUD);
    state.c_cflag |= BOTHER;
    state.c_ispeed = baudRate;
    state.c_ospeed = baudRate;
    return RetryOnInterrupt([&] { return ioctl(fd, TCSETS2, &state); }) == 0;
}

bool ReadLineSpeeds(int fd, std::uint32_t &inputSpeed, std::uint32_t &outputSpeed)
{
    termios2 state {};
    if (ioctl(fd, TCGETS2, &state) != 0)
        return false;
    inputSpeed = state.c_ispeed;
    outputSpeed = state.c_ospeed;
    return true;
}
