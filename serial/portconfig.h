#pragma once

#include "portsystem.h"

#include <cstdint>

struct PortSettings;

// The configuration applied to the port: the fields the program sets, beside the state read
// from the port (the terminal settings on Linux, the system's DCB on Windows), so that
// everything else stays as the port reported it.

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
    // No Linux line discipline holds output on DSR; kept so that the settings map field by field.
    bool fOutxDsrFlow = false;
    char XonChar = 0;
    char XoffChar = 0;
    // A Linux terminal has no adjustable thresholds for XON and XOFF; kept for the same reason.
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    PortState portState {};
};

// In milliseconds; 0 means "no time-out". Only the read interval has an effect: the reader
// ends a chunk after that gap, on both systems alike. Writes are bounded by
// WRITE_STALL_TIMEOUT_MS instead.
struct CommTimeouts
{
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Sets the fields of dcb that the settings decide, and the fixed time-outs. All other fields,
// portState among them, keep what they hold.
void MapPortSettings(const PortSettings &settings, Dcb &dcb, CommTimeouts &commTimeouts);
