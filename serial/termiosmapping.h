#pragma once

#include "portconfig.h"

#include <cstdint>
#include <optional>
#include <termios.h>

// Principles of operation. The port's terminal settings are read once after the open and kept
// in Dcb::portState. The chosen settings are mapped onto the Dcb fields, and the Dcb onto a copy
// of that state: raw mode (the line carries bytes, not text), the receiver on, modem control
// lines ignored, the framing, XON/XOFF and CTS flow control. Everything else, such as input
// parity checking or the hang-up on close, stays as the port had it. The speed is applied
// separately, since speeds without a B-constant need the kernel's own interface. Nothing is
// restored on close: the next open configures the port again. No Qt here.

// The terminal settings for dcb, speed left as portState has it; none when the framing cannot be
// expressed: data bits outside 5..8, a parity code above 2, a stop-bit code above 2, 1.5 stop
// bits without 5 data bits, or 2 stop bits with 5 data bits (the UART would send 1.5).
std::optional<termios> PortTermios(const Dcb &dcb);

// The B-constant for baudRate, if termios has one; never B0, which would hang up the line.
std::optional<speed_t> SpeedConstant(std::uint32_t baudRate);
