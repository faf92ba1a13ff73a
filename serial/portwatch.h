#pragma once

#include <filesystem>
#include <vector>

struct PortRoots;

// Tells when something changes where a port can come back: a device node made or removed in /dev,
// an adapter's link under /dev/serial, a COMn link in the working directory or in the ports
// folder. A wait for a lost port tries the port only then, so it costs no wake-ups while nothing
// happens. A folder that does not exist yet is watched through the nearest one above it that
// does, and watched itself once it appears.
class CPortWatch
{
public:
    explicit CPortWatch(std::vector<std::filesystem::path> folders);
    ~CPortWatch();
    CPortWatch(const CPortWatch &) = delete;
    CPortWatch &operator=(const CPortWatch &) = delete;

    // Readable when something has changed; -1 when the system gives no watch.
    int Descriptor() const { return m_fd; }
    // Reads the changes without waiting and watches the folders that have appeared since; true
    // when anything changed.
    bool TakeChanges();

private:
    void WatchFolders();

    int m_fd = -1;
    std::vector<std::filesystem::path> m_folders;
};

// The folders where the ports of `roots` appear, and the working directory, whose COMn entries
// come first.
std::vector<std::filesystem::path> PortFolders(const PortRoots &roots);
