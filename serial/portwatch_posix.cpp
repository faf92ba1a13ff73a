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

struct CPortWatch::State
{
    int fd = -1;
    std::vector<fs::path> folders;

    // Watching a folder already watched changes nothing, so every folder is simply watched again.
    void WatchFolders()
    {
        if (fd < 0)
            return;
        for (fs::path folder : folders) {
            while (inotify_add_watch(fd, folder.c_str(), CHANGES) < 0 && errno == ENOENT
                   && folder.has_relative_path())
                folder = folder.parent_path();
        }
    }
};

CPortWatch::CPortWatch(PortWatchSetup setup)
    : m_state(std::make_unique<State>())
{
    m_state->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_state->folders = std::move(setup);
    m_state->WatchFolders();
}

CPortWatch::~CPortWatch()
{
    if (m_state->fd >= 0)
        close(m_state->fd);
}

WatchSignal CPortWatch::Descriptor() const
{
    return m_state->fd;
}

bool CPortWatch::TakeChanges(std::vector<PortChange> *)
{
    if (m_state->fd < 0)
        return false;
    alignas(inotify_event) char events[4096];
    bool changed = false;
    while (RetryOnInterrupt([&] { return read(m_state->fd, events, sizeof events); }) > 0)
        changed = true;
    if (changed)
        m_state->WatchFolders();
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
