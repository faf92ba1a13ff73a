#pragma once

#include <cstdint>

// The numbers of the private messages that reach the main window from the reader thread, the
// same on every system.

inline constexpr std::uint32_t WM_RECEIVED_DATA = 1025;
inline constexpr std::uint32_t WM_RECEIVE_ERROR = 1026;
// The port hung up or failed (an unplugged adapter); the reader waits on it no more.
inline constexpr std::uint32_t WM_PORT_LOST = 1027;
// The driver's counts of line errors since the port opened have changed.
inline constexpr std::uint32_t WM_LINE_ERRORS = 1028;
