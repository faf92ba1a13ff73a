#pragma once

#include <cstdint>

// The speeds a terminal holds, as the kernel reports them through termios2; kept apart from
// <termios.h>, whose structure of the same name clashes.
struct KernelSpeeds
{
    std::uint32_t input = 0;
    std::uint32_t output = 0;
};

KernelSpeeds KernelLineSpeeds(int fd);
