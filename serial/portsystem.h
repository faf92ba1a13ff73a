#pragma once

// What the port layer takes from the system: the handle of an open port and the state the
// port reports, which the settings are mapped onto, and what the watch for ports coming back
// gives to wait on. The one place where the systems differ in a type.

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <sys/types.h>

// windows.h names the parity capability bits of COMMPROP as the settings name their parity codes
// (portconfig.h); this program only ever means the codes.
#undef PARITY_NONE
#undef PARITY_ODD
#undef PARITY_EVEN

using PortHandle = HANDLE;
using PortState = DCB;
inline const PortHandle INVALID_PORT_HANDLE = INVALID_HANDLE_VALUE;

// Where the cause of a refused open is looked up: the system says it all on Windows.
struct HostView
{
};

// What the watch for ports coming back gives to wait on: an event, signalled when a port arrives
// or goes and when the time for another try has come.
using WatchSignal = HANDLE;
inline const WatchSignal NO_WATCH_SIGNAL = nullptr;

// Some drivers tell a read that waits nothing when their device is unplugged, and a notification
// can be missed, so a lost port is tried again at this period even when none comes.
inline constexpr std::chrono::milliseconds PORT_RETRY_PERIOD {5000};

// What the watch is made from: the period of those tries.
struct PortWatchSetup
{
    std::chrono::milliseconds retryPeriod = PORT_RETRY_PERIOD;
};
#else
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <termios.h>
#include <vector>

using PortHandle = int;
using PortState = termios;
inline constexpr PortHandle INVALID_PORT_HANDLE = -1;

// Where the cause of a refused open is looked up on this machine. Group lists left empty are
// looked up: the process's own groups (fixed at login) and the groups the user database gives
// the user now.
struct HostView
{
    std::string procRoot = "/proc";
    std::optional<std::vector<gid_t>> loginGroups;
    std::optional<std::vector<gid_t>> databaseGroups;
};

// What the watch for ports coming back gives to wait on: a descriptor, readable when a watched
// folder changes.
using WatchSignal = int;
inline constexpr WatchSignal NO_WATCH_SIGNAL = -1;

// What the watch is made from: the folders where ports appear.
using PortWatchSetup = std::vector<std::filesystem::path>;
#endif
