#pragma once

#include <atomic>
#include <cstdint>

// The serial port: opened by name "COMn", configured from g_portSettings, closed. One port at a
// time, its descriptor in com_handle. Everything here runs on the main window's thread; the
// port is opened, configured and closed only while the reader is stopped.

inline constexpr int INVALID_PORT_HANDLE = -1;
extern std::atomic<int> com_handle;

// The gap in milliseconds that ends a read once bytes have come: the read interval time-out
// that ConfigurePort applied. Read by the reader thread.
extern std::atomic<std::uint32_t> g_readIntervalTimeout;

struct Dcb;
struct CommTimeouts;

// Opens port portIndex (0 is "COM1") exclusively into com_handle; a port still open is closed
// first. False, with com_handle invalid, when the port is missing, held by another program
// or portIndex is outside 0..15.
bool OpenPort(std::uint32_t portIndex);

// Reads the port's state into dcb, then maps g_portSettings into dcb and fills commTimeouts.
// Returns false when the state could not be read (anything that is not a terminal); the port
// then stays open and commTimeouts unchanged.
bool ApplyPortSettings(Dcb &dcb, CommTimeouts &commTimeouts);

// Applies both to the port; on failure closes the port itself. Fails with no port open, for a
// framing the line cannot carry, and for a speed the driver refuses or changes.
bool ConfigurePort(const Dcb &dcb, const CommTimeouts &commTimeouts);

// Raises DTR, then RTS. Ports without modem lines refuse, which is of no consequence.
void RaiseModemLines();

// Closes com_handle if a port is open; harmless when none is.
void ClosePort();
