#pragma once

#include <cstdint>
#include <termios.h>

// The configuration applied to the port: the fields the program sets, beside the terminal
// settings read from the port, so that everything else stays as the port reported it.

// The parity and stop-bit codes of the settings, passed to the port unchanged.
inline constexpr std::uint8_t PARITY_NONE = 0;
inline constexpr std::uint8_t PARITY_ODD = 1;
inline constexpr std::uint8_t PARITY_EVEN = 2;
inline constexpr std::uint8_t STOP_BITS_ONE = 0;
inline constexpr std::uint8_t STOP_BITS_ONE_AND_HALF = 1;
inline constexpr std::uint8_t STOP_BITS_TWO = 2;

struct Dcb
{
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    bool fOutX = false;
    bool fInX = false;
    bool fOutxCtsFlow = false;
    // No line discipline holds output on DSR; kept so that the settings map field by field.
    bool fOutxDsrFlow = false;
    char XonChar = 0;
    char XoffChar = 0;
    // The terminal has no adjustable thresholds for XON and XOFF; kept for the same reason.
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    termios portState {};
};

// In milliseconds; 0 means "no time-out". Only the read interval has an effect: the reader
// ends a chunk after that gap. Writes are bounded by WRITE_STALL_TIMEOUT_MS instead.
struct CommTimeouts
{
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};
