#pragma once

#include "portsystem.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct PortRoots;

// A port that the system named as arrived or gone.
struct PortChange
{
    std::string portName;
    bool arrived = false;

    bool operator==(const PortChange &) const = default;
};

// Tells when something changes where a port can come back, so a wait for a lost port tries the
// port only then and costs no wake-ups while nothing happens.
//
// On Linux: a device node made or removed in /dev, an adapter's link under /dev/serial, a COMn
// link in the working directory or in the ports folder. A folder that does not exist yet is
// watched through the nearest one above it that does, and watched itself once it appears.
//
// On Windows: a COM port's arrival or removal as the system notifies it, and the end of each
// retry period, since some drivers tell a waiting read nothing of an unplugged device.
class CPortWatch
{
public:
    explicit CPortWatch(PortWatchSetup setup);
    ~CPortWatch();
    CPortWatch(const CPortWatch &) = delete;
    CPortWatch &operator=(const CPortWatch &) = delete;

    // Readable (a descriptor) or signalled (an event) when something has changed;
    // NO_WATCH_SIGNAL when the system gives no watch.
    WatchSignal Descriptor() const;
    // Takes the changes without waiting, so the signal is clear again, and keeps watching; true
    // when anything changed or a retry is due. The ports the system names as arrived or gone
    // are added to `named` where given: Windows names them, Linux's folders do not.
    bool TakeChanges(std::vector<PortChange> *named = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The folders where the ports of `roots` appear, and the working directory, whose COMn entries
// come first.
std::vector<std::filesystem::path> PortFolders(const PortRoots &roots);
