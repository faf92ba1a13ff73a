#pragma once

#include <cstdint>
#include <termios.h>

// The configuration applied to the port: the fields the program sets, beside the terminal
// settings read from the port, so that everything else stays as the port reported it.

struct Dcb
{
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    bool fOutX = false;
    bool fInX = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    char XonChar = 0;
    char XoffChar = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    termios portState {};
};

struct CommTimeouts
{
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};
