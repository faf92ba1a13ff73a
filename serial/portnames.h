#pragma once

#include <cstdint>
#include <string>

// Where a port name leads. "COMn" opens an entry of that name in the working directory where one
// exists (usually a symbolic link to a device, which is how a simulator or another adapter is
// plugged in), else the n-th standard serial device, /dev/ttyS(n-1).

// The path to open for port portIndex (0 is "COM1"); empty for a portIndex beyond the sixteen
// ports, which names no port.
std::string PortDevicePath(std::uint32_t portIndex);

// The same path for the user's eyes, followed by the device it finally reaches where that differs
// ("COM3 → /dev/ttyUSB0").
std::string DescribePortDevice(std::uint32_t portIndex);
