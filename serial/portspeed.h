#pragma once

#include <cstdint>

// Line speeds through the kernel's termios2 interface, which takes any number of bits per
// second. It lives apart because its header clashes with <termios.h>.

// Sets both directions to baudRate, leaving every other setting as it is.
bool SetArbitrarySpeed(int fd, std::uint32_t baudRate);

// The speeds the driver holds for the line, whichever way they were set.
bool ReadLineSpeeds(int fd, std::uint32_t &inputSpeed, std::uint32_t &outputSpeed);
