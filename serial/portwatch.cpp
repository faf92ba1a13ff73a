#include "portwatch.h"

#include "portdiscovery.h"
#include "posixio.h"

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Entries made, removed or renamed; and changed attributes, since a new node is opened only once
// udev has given it its group and mode. A watched folder that goes away is watched again through
// the one above it.
constexpr std::uint32_t CHANGES = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

CPortWatch::CPortWatch(std::vector<fs::path> folders)
    : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , m_folders(std::move(folders))
{
    WatchFolders();
}

CPortWatch::~CPortWatch()
{
    if (m_fd >= 0)
        close(m_fd);
}

// Watching a folder already watched changes nothing, so every folder is simply watched again.
void CPortWatch::WatchFolders()
{
    if (m_fd < 0)
        return;
    for (fs::path folder : m_folders) {
        while (inotify_add_watch(m_fd, folder.c_str(), CHANGES) < 0 && errno == ENOENT
               && folder.has_relative_path())
            folder = folder.parent_path();
    }
}

bool CPortWatch::TakeChanges()
{
    if (m_fd < 0)
        return false;
    alignas(inotify_event) char events[4096];
    bool changed = false;
    while (RetryOnInterrupt([&] { return read(m_fd, events, sizeof events); }) > 0)
        changed = true;
    if (changed)
        WatchFolders();
    return changed;
}

std::vector<fs::path> PortFolders(const PortRoots &roots)
{
    std::error_code unknown;
    std::vector<fs::path> folders;
    for (const fs::path &folder :
         {fs::current_path(unknown), roots.dev, roots.byId, roots.byPath, roots.portsFolder}) {
        if (!folder.empty())
            folders.push_back(folder);
    }
    return folders;
}
