#pragma once

#include <cstdint>
#include <string>

// Where the port names "COM1" … "COM16" lead: an entry of that name in the working directory
// (usually a symbolic link to a device, which is how a user picks any serial device), else
// /dev/ttyS0 … /dev/ttyS15.

inline constexpr std::uint32_t PORT_COUNT = 16;

// The path that port portIndex (0 is "COM1") opens; empty for an index outside 0..15.
std::string PortDevicePath(std::uint32_t portIndex);
