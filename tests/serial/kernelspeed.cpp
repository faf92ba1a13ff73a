#include "kernelspeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

KernelSpeeds KernelLineSpeeds(int fd)
{
    termios2 state {};
    if (ioctl(fd, TCGETS2, &state) != 0)
        return {};
    return {state.c_ispeed, state.c_ospeed};
}
