#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

// Who else has a port's device. A terminal's open does not keep out a second reader, and two
// readers split the bytes between them, so before a port opens its device is looked for among
// the descriptors of every process in /proc, and in the lock files of classic terminal programs:
// a file LCK..<device name> in /run/lock or /var/lock that holds its owner's process id as ten
// right-aligned digits and a newline. While Orvanta holds a port it writes such a file itself.

// Which holders count.
enum class HolderScope {
    // Every process, this one included.
    Everyone,
    // Not this process, whose own descriptors are earlier opens of its own.
    OthersThanThisProcess,
};

// A process with a descriptor open on the device node `node` (from stat: its device number,
// file system and inode). A descriptor kept of an earlier node with the same device number, or
// one that only names the node (O_PATH), reads nothing and does not count. Only the processes
// whose descriptors may be read are seen.
std::optional<pid_t> DescriptorHolder(const std::string &procRoot, const struct stat &node,
                                      HolderScope scope);

// The folders of lock files: ORVANTA_LOCK_DIR when it is set, else /run/lock and /var/lock.
std::vector<std::filesystem::path> LockFolders();

// The lock file's name for a device, from its path with links followed: "LCK..ttyUSB0" for
// /dev/ttyUSB0. A device in a folder under /dev keeps that folder in its name, joined by '_'
// ("LCK..pts_3" for /dev/pts/3), so that it cannot be taken for /dev/3; a device outside /dev
// goes by its file name.
std::string LockFileName(const std::string &devicePath);

// The outcome of claiming a device's lock file: the live process other than this one that a
// lock file names, or else the file written for this process (empty when no folder took one,
// which keeps no port from opening: the file is a courtesy to other programs).
struct LockClaim
{
    std::optional<pid_t> holder;
    std::filesystem::path written;
};

// Looks in every folder, then writes this process's file into the first folder that takes it.
// A file whose process has ended, or that names none, is stale and replaced.
LockClaim ClaimLockFile(const std::vector<std::filesystem::path> &folders,
                        const std::string &devicePath);

// Removes a file ClaimLockFile wrote, if it still names this process.
void RemoveLockFile(const std::filesystem::path &written);
