#include "portholders.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Unix 98 pseudo-terminal slaves have the majors 136 to 143, 256 terminals to each; their
// masters are all opened through the multiplexer, character device 5:2.
constexpr unsigned PTY_SLAVE_FIRST_MAJOR = 136;
constexpr unsigned PTY_SLAVE_MAJORS = 8;
constexpr unsigned PTY_SLAVES_PER_MAJOR = 256;
const dev_t PTY_MULTIPLEXER = makedev(5, 2);

std::optional<unsigned> PseudoTerminalIndex(dev_t device)
{
    const unsigned number = major(device);
    if (number < PTY_SLAVE_FIRST_MAJOR || number >= PTY_SLAVE_FIRST_MAJOR + PTY_SLAVE_MAJORS)
        return std::nullopt;
    return (number - PTY_SLAVE_FIRST_MAJOR) * PTY_SLAVES_PER_MAJOR + minor(device);
}

// Asked without a sync, so that a descriptor on a network mount is answered from the cache and
// the look cannot hang on a server that does not answer.
std::optional<dev_t> CharacterDeviceOf(const fs::path &descriptor)
{
    struct statx info
    {
    };
    if (statx(AT_FDCWD, descriptor.c_str(), AT_STATX_DONT_SYNC, STATX_TYPE, &info) != 0
        || !S_ISCHR(info.stx_mode))
        return std::nullopt;
    return makedev(info.stx_rdev_major, info.stx_rdev_minor);
}

// A master's entry in fdinfo has the line "tty-index:\t3".
std::optional<unsigned> MasterIndex(const fs::path &fdinfo)
{
    std::ifstream info(fdinfo);
    std::string line;
    constexpr std::string_view key = "tty-index:";
    while (std::getline(info, line)) {
        if (line.starts_with(key))
            return static_cast<unsigned>(std::strtoul(line.c_str() + key.size(), nullptr, 10));
    }
    return std::nullopt;
}

struct DescriptorsSeen
{
    bool device = false;
    bool master = false;
};

DescriptorsSeen LookAtDescriptors(const fs::path &process, dev_t device,
                                  std::optional<unsigned> ptyIndex)
{
    DescriptorsSeen seen;
    std::error_code error;
    for (fs::directory_iterator entry(process / "fd", error), end; !error && entry != end;
         entry.increment(error)) {
        // Sockets, pipes and the like name no file and are passed over.
        std::error_code unreadable;
        if (!fs::read_symlink(entry->path(), unreadable).string().starts_with('/'))
            continue;
        const std::optional<dev_t> opened = CharacterDeviceOf(entry->path());
        if (opened == device)
            seen.device = true;
        else if (ptyIndex && opened == PTY_MULTIPLEXER
                 && MasterIndex(process / "fdinfo" / entry->path().filename()) == ptyIndex)
            seen.master = true;
    }
    return seen;
}

// The process a lock file names, while it runs.
std::optional<pid_t> LiveOwner(const fs::path &file)
{
    std::ifstream content(file);
    long pid = 0;
    if (!(content >> pid) || pid <= 0 || pid > INT_MAX)
        return std::nullopt;
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

std::optional<pid_t> OtherLiveOwner(const fs::path &file)
{
    const std::optional<pid_t> owner = LiveOwner(file);
    return owner == getpid() ? std::nullopt : owner;
}

// Written whole under a name of its own, then linked to the lock file's name: no reader sees it
// half-written, and of two programs that claim at once only one succeeds. 0, or errno.
int LinkNewLockFile(const fs::path &file)
{
    const fs::path draft = file.parent_path() / (".orvanta-lock." + std::to_string(getpid()));
    const int fd = open(draft.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    char content[16];
    const int length = std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(getpid()));
    // Every program reads it, whatever this process's umask.
    const bool whole = fchmod(fd, 0644) == 0 && write(fd, content, length) == length;
    close(fd);
    const int error = !whole ? EIO : link(draft.c_str(), file.c_str()) == 0 ? 0 : errno;
    unlink(draft.c_str());
    return error;
}

// A stale file is removed and the claim tried once more; a program that claims in between wins.
LockClaim ClaimIn(const fs::path &file)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (const int error = LinkNewLockFile(file); error != EEXIST)
            return {std::nullopt, error == 0 ? file : fs::path()};
        const std::optional<pid_t> owner = LiveOwner(file);
        if (owner)
            return {owner == getpid() ? std::nullopt : owner, {}};
        unlink(file.c_str());
    }
    return {};
}

} // namespace

std::optional<pid_t> DescriptorHolder(const std::string &procRoot, dev_t device, HolderScope scope)
{
    const bool othersOnly = scope == HolderScope::OthersThanTheLinesEnds;
    const std::optional<unsigned> ptyIndex
        = othersOnly ? PseudoTerminalIndex(device) : std::nullopt;
    std::error_code error;
    for (fs::directory_iterator entry(procRoot, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto pid = static_cast<pid_t>(std::stol(name));
        if (othersOnly && pid == getpid())
            continue;
        const DescriptorsSeen seen = LookAtDescriptors(entry->path(), device, ptyIndex);
        if (seen.device && !seen.master)
            return pid;
    }
    return std::nullopt;
}

std::vector<fs::path> LockFolders()
{
    const char *chosen = std::getenv("ORVANTA_LOCK_DIR");
    if (chosen && *chosen)
        return {chosen};
    return {"/run/lock", "/var/lock"};
}

std::string LockFileName(const std::string &devicePath)
{
    const fs::path path(devicePath);
    const fs::path underDev = path.lexically_relative("/dev");
    std::string name = !underDev.empty() && *underDev.begin() != ".." ? underDev.string()
                                                                      : path.filename().string();
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

LockClaim ClaimLockFile(const std::vector<fs::path> &folders, const std::string &devicePath)
{
    const std::string name = LockFileName(devicePath);
    for (const fs::path &folder : folders) {
        if (const std::optional<pid_t> holder = OtherLiveOwner(folder / name))
            return {holder, {}};
    }
    for (const fs::path &folder : folders) {
        const LockClaim claim = ClaimIn(folder / name);
        if (claim.holder || !claim.written.empty())
            return claim;
    }
    return {};
}

void RemoveLockFile(const fs::path &written)
{
    if (!written.empty() && LiveOwner(written) == getpid())
        unlink(written.c_str());
}
