#pragma once

#include <atomic>
#include <cstdint>

// The serial port: opened by name "COMn", configured from g_portSettings, closed. One port at a
// time, its descriptor in com_handle.

inline constexpr int INVALID_PORT_HANDLE = -1;
extern std::atomic<int> com_handle;

struct Dcb;
struct CommTimeouts;

// Opens port portIndex (0 is "COM1") exclusively into com_handle.
bool OpenPort(std::uint32_t portIndex);

// Reads the port's state into dcb, then maps g_portSettings into dcb and fills commTimeouts.
// Returns false when the state could not be read.
bool ApplyPortSettings(Dcb &dcb, CommTimeouts &commTimeouts);

// Applies both to the port; on failure closes the port itself.
bool ConfigurePort(const Dcb &dcb, const CommTimeouts &commTimeouts);

// Raises DTR, then RTS.
void RaiseModemLines();

// Closes com_handle if a port is open; harmless when none is.
void ClosePort();
