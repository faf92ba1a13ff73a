#include "settingsfile.h"

#include "posixio.h"
#include "settingsfilerecord.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t ANY_WRITE_BIT = S_IWUSR | S_IWGRP | S_IWOTH;

// The rs232c.ini that a save replaces. lockFd holds it locked until it has been replaced; it is
// -1 when there is no file or it cannot be written.
struct ExistingTarget
{
    bool exists;
    int lockFd;
    mode_t mode;
};

// Opens an existing file for writing, without truncating it, and locks it, so that the kernel
// decides what may be written and another holder of the file is respected. Root may write any
// file, so a file without a single write bit counts as read-only for everyone.
ExistingTarget LockExistingTarget()
{
    const int fd = open(SETTINGS_FILE_NAME, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {errno != ENOENT, -1, 0};
    struct stat status
    {
    };
    const bool writable = fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
        && (status.st_mode & ANY_WRITE_BIT) != 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!writable) {
        close(fd);
        return {true, -1, 0};
    }
    return {true, fd, static_cast<mode_t>(status.st_mode & 07777)};
}

// Beside the target in the same directory, so that the rename never crosses a file system. The
// process id keeps two programs in one directory apart.
std::string TemporaryName()
{
    return std::string(SETTINGS_FILE_NAME) + "." + std::to_string(getpid()) + ".tmp";
}

// A file of that name can only be left over from an ended process that had our id.
int CreateTemporary(const std::string &name)
{
    constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC;
    const int fd = open(name.c_str(), flags, 0666);
    if (fd >= 0 || errno != EEXIST || unlink(name.c_str()) != 0)
        return fd;
    return open(name.c_str(), flags, 0666);
}

// The new file keeps the old one's permissions; a first file gets the umask's.
bool FillTemporary(int fd, const SettingsFileRecord &record, std::optional<mode_t> keptMode)
{
    if (keptMode && fchmod(fd, *keptMode) != 0)
        return false;
    return WriteAll(fd, record.data(), record.size()) && fsync(fd) == 0;
}

// The rename is only durable once the directory itself is on the disk; the file is replaced
// either way, so this cannot fail the save.
void SyncWorkingDirectory()
{
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

bool ReplaceTarget(const SettingsFileRecord &record, std::optional<mode_t> keptMode)
{
    const std::string temporary = TemporaryName();
    const int fd = CreateTemporary(temporary);
    if (fd < 0)
        return false;
    const bool filled = FillTemporary(fd, record, keptMode);
    const bool closed = close(fd) == 0;
    if (!filled || !closed || rename(temporary.c_str(), SETTINGS_FILE_NAME) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    SyncWorkingDirectory();
    return true;
}

} // namespace

bool ReadSettingsFile(PortSettings &settings)
{
    // Non-blocking, so that a FIFO in the file's place reads as empty instead of hanging.
    const int fd = open(SETTINGS_FILE_NAME, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    SettingsFileRecord bytes {};
    const ssize_t size = ReadUpTo(fd, bytes.data(), bytes.size());
    close(fd);
    return size >= 0
        && DecodeSettingsRecord(bytes.data(), static_cast<std::size_t>(size), settings);
}

bool WriteSettingsFile(const PortSettings &settings)
{
    const ExistingTarget target = LockExistingTarget();
    if (target.exists && target.lockFd < 0)
        return false;
    // The old file stays locked until the new one has taken its place.
    const bool replaced = ReplaceTarget(EncodeSettingsRecord(settings),
                                        target.exists ? std::optional(target.mode) : std::nullopt);
    if (target.lockFd >= 0)
        close(target.lockFd);
    return replaced;
}
