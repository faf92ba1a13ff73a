#include "openfailure.h"

#include "portholders.h"
#include "texts.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string_view>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::string DescribeSystemError(int error)
{
    return FillIn(Strings::OPEN_FAILURE_SYSTEM_ERROR, {std::strerror(error)});
}

std::optional<struct stat> StatusOf(const std::string &path)
{
    struct stat status
    {
    };
    if (path.empty() || stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return status;
}

bool Contains(const std::vector<gid_t> &groups, gid_t group)
{
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

std::vector<gid_t> ProcessGroups()
{
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    const int count = getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    groups.push_back(getegid());
    return groups;
}

std::vector<gid_t> DatabaseGroups()
{
    const passwd *user = getpwuid(geteuid());
    if (!user)
        return {};
    const std::string name = user->pw_name;
    const gid_t primary = user->pw_gid;
    int count = 0;
    getgrouplist(name.c_str(), primary, nullptr, &count);
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(name.c_str(), primary, groups.data(), &count) < 0)
        return {};
    groups.resize(static_cast<std::size_t>(count));
    return groups;
}

// Joining the group helps only when the process lacks it; a member the device still refuses
// (a group without write access) gets the system's words instead of advice that changes nothing.
std::string DescribeNoPermission(const OpenFailure &failure, const HostView &host)
{
    const auto device = StatusOf(failure.path);
    const group *owner = device ? getgrgid(device->st_gid) : nullptr;
    if (!owner)
        return DescribeSystemError(failure.error);
    const std::string name = owner->gr_name;
    const gid_t gid = device->st_gid;
    if (Contains(host.loginGroups ? *host.loginGroups : ProcessGroups(), gid))
        return DescribeSystemError(failure.error);
    if (Contains(host.databaseGroups ? *host.databaseGroups : DatabaseGroups(), gid))
        return FillIn(Strings::OPEN_FAILURE_LOG_IN_AGAIN, {name});
    return FillIn(Strings::OPEN_FAILURE_JOIN_GROUP, {name});
}

// A line of /proc/locks: "1: FLOCK  ADVISORY  WRITE 12345 fe:00:10952888 0 EOF", the file's
// device as major:minor in hex and its inode in decimal. A waiting request reads "1: -> FLOCK ..."
// and holds nothing; an open-file-description lock has no process (-1).
std::optional<pid_t> HolderOnLine(const std::string &line, const struct stat &device)
{
    std::istringstream fields(line);
    std::string number, kind, mode, access, where;
    long pid = 0;
    if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind == "->" || pid <= 0)
        return std::nullopt;
    unsigned major = 0;
    unsigned minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3)
        return std::nullopt;
    if (makedev(major, minor) != device.st_dev || inode != device.st_ino)
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

std::optional<pid_t> LockHolder(const std::string &procRoot, const struct stat &device)
{
    std::ifstream locks(procRoot + "/locks");
    std::string line;
    while (std::getline(locks, line)) {
        if (const auto pid = HolderOnLine(line, device))
            return pid;
    }
    return std::nullopt;
}

std::string ProcessName(const std::string &procRoot, pid_t pid)
{
    std::ifstream comm(procRoot + "/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string DescribeHolder(const std::string &procRoot, pid_t holder)
{
    const std::string name = ProcessName(procRoot, holder);
    if (name.empty())
        return Strings::OPEN_FAILURE_BUSY;
    return FillIn(Strings::OPEN_FAILURE_BUSY_BY, {name, std::to_string(holder)});
}

// This process is not left out of the search: its refused descriptor is closed by now, so a lock
// or descriptor of its own on the device is a second open of the same device, and naming it is
// the truth.
std::string DescribeBusy(const OpenFailure &failure, const HostView &host)
{
    if (failure.stillClosing)
        return Strings::OPEN_FAILURE_STILL_CLOSING;
    if (failure.holder)
        return DescribeHolder(host.procRoot, *failure.holder);
    const auto device = StatusOf(failure.path);
    if (!device)
        return Strings::OPEN_FAILURE_BUSY;
    auto holder = LockHolder(host.procRoot, *device);
    if (!holder && S_ISCHR(device->st_mode))
        holder = DescriptorHolder(host.procRoot, *device, HolderScope::Everyone);
    return holder ? DescribeHolder(host.procRoot, *holder) : Strings::OPEN_FAILURE_BUSY;
}

} // namespace

std::string DescribeOpenFailure(const OpenFailure &failure, const HostView &host)
{
    switch (failure.error) {
    case EACCES:
        return DescribeNoPermission(failure, host);
    case EBUSY:
    case EWOULDBLOCK: // EAGAIN as well: flock() refused because another program holds the lock
        return DescribeBusy(failure, host);
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Strings::OPEN_FAILURE_NOT_PRESENT;
    default:
        return DescribeSystemError(failure.error);
    }
}
