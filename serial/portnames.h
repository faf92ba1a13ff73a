#pragma once

#include <cstdint>
#include <string>

// Where a port name leads now, with the ports found by portdiscovery.h: the working directory's
// entry COMn, the adapter numbered n, or the on-board UART /dev/ttyS(n-1) where it exists.

// The path to open for port portIndex (0 is "COM1"); empty when nothing is there to open, and for
// a portIndex beyond the sixteen ports, which names no port.
std::string PortDevicePath(std::uint32_t portIndex);

// What the port reaches, for the user's eyes ("オンボードのポート — /dev/ttyS0").
std::string DescribePortDevice(std::uint32_t portIndex);
