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

// Asked without a sync, so that a descriptor on a network mount is answered from the cache and
// the look cannot hang on a server that does not answer.
std::optional<struct statx> StatusOf(const fs::path &descriptor)
{
    struct statx info
    {
    };
    if (statx(AT_FDCWD, descriptor.c_str(), AT_STATX_DONT_SYNC, STATX_TYPE | STATX_INO, &info) != 0)
        return std::nullopt;
    return info;
}

// The very node: a descriptor kept of a node that has gone since (an adapter unplugged, a
// pseudo-terminal closed) has the number of the device that now has it, but not its inode.
bool IsNode(const struct statx &opened, const struct stat &node)
{
    return S_ISCHR(opened.stx_mode)
        && makedev(opened.stx_rdev_major, opened.stx_rdev_minor) == node.st_rdev
        && makedev(opened.stx_dev_major, opened.stx_dev_minor) == node.st_dev
        && opened.stx_ino == node.st_ino;
}

// A descriptor opened with O_PATH only names the node (a wait for a lost device keeps one); it
// cannot read. Its entry in fdinfo has the line "flags:\t<octal>".
bool NamesOnly(const fs::path &fdinfo)
{
    std::ifstream info(fdinfo);
    std::string line;
    constexpr std::string_view key = "flags:";
    while (std::getline(info, line)) {
        if (line.starts_with(key))
            return (std::strtoul(line.c_str() + key.size(), nullptr, 8) & O_PATH) != 0;
    }
    return false;
}

bool HoldsNode(const fs::path &process, const struct stat &node)
{
    std::error_code error;
    for (fs::directory_iterator entry(process / "fd", error), end; !error && entry != end;
         entry.increment(error)) {
        // Sockets, pipes and the like name no file and are passed over.
        std::error_code unreadable;
        if (!fs::read_symlink(entry->path(), unreadable).string().starts_with('/'))
            continue;
        const std::optional<struct statx> opened = StatusOf(entry->path());
        if (opened && IsNode(*opened, node)
            && !NamesOnly(process / "fdinfo" / entry->path().filename()))
            return true;
    }
    return false;
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

std::optional<pid_t> DescriptorHolder(const std::string &procRoot, const struct stat &node,
                                      HolderScope scope)
{
    std::error_code error;
    for (fs::directory_iterator entry(procRoot, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto pid = static_cast<pid_t>(std::stol(name));
        if (scope == HolderScope::OthersThanThisProcess && pid == getpid())
            continue;
        if (HoldsNode(entry->path(), node))
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
