#include "fileio.h"

#include "posixio.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fd(FileHandle file)
{
    return static_cast<int>(file);
}

int OpenFlags(unsigned flags)
{
    return (flags & OPEN_READING ? O_RDWR : O_WRONLY) | (flags & OPEN_CREATING ? O_CREAT : 0)
        | (flags & OPEN_APPENDING ? O_APPEND : 0) | (flags & OPEN_NO_LINK ? O_NOFOLLOW : 0);
}

} // namespace

void IgnoreFileSizeSignal()
{
    struct sigaction current = {};
    if (sigaction(SIGXFSZ, nullptr, &current) != 0)
        return;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

// O_NONBLOCK: a FIFO in the file's place must not hold the window. flock keeps out another
// writer that takes it too; a reader that does not is let in.
FileHandle OpenLockedRegularFile(const std::string &path, unsigned flags, std::uint64_t &length)
{
    const int fd = open(path.c_str(), OpenFlags(flags) | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return NO_FILE;
    struct stat file;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) {
        close(fd);
        return NO_FILE;
    }
    length = static_cast<std::uint64_t>(file.st_size);
    return fd;
}

FileHandle CreateEmptyFile(const std::string &path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? NO_FILE : fd;
}

void CloseFile(FileHandle file)
{
    close(Fd(file));
}

bool AppendAll(FileHandle file, const char *data, std::size_t length)
{
    return WriteAll(Fd(file), data, length);
}

bool WriteAllAt(FileHandle file, std::string_view bytes, std::uint64_t offset)
{
    while (!bytes.empty()) {
        const ssize_t put = RetryOnInterrupt([&] {
            return pwrite(Fd(file), bytes.data(), bytes.size(), static_cast<off_t>(offset));
        });
        if (put <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
        offset += static_cast<std::uint64_t>(put);
    }
    return true;
}

bool ReadExactly(FileHandle file, std::uint64_t offset, char *buffer, std::size_t length)
{
    while (length > 0) {
        const ssize_t got = RetryOnInterrupt(
            [&] { return pread(Fd(file), buffer, length, static_cast<off_t>(offset)); });
        if (got <= 0)
            return false;
        buffer += got;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

// Where copy_file_range cannot copy between these files (another file system on an older kernel,
// a file system without it), the piece goes through a buffer.
std::int64_t CopyPiece(FileHandle from, std::uint64_t &inOffset, FileHandle to,
                       std::uint64_t &outOffset, std::size_t length)
{
    off_t in = static_cast<off_t>(inOffset);
    off_t out = static_cast<off_t>(outOffset);
    ssize_t copied
        = RetryOnInterrupt([&] { return copy_file_range(Fd(from), &in, Fd(to), &out, length, 0); });
    if (copied < 0
        && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        std::string buffer(std::min<std::size_t>(length, 1024 * 1024), '\0');
        copied
            = RetryOnInterrupt([&] { return pread(Fd(from), buffer.data(), buffer.size(), in); });
        if (copied > 0
            && !WriteAllAt(to, std::string_view(buffer.data(), static_cast<std::size_t>(copied)),
                           outOffset))
            return -1;
    }
    if (copied > 0) {
        inOffset += static_cast<std::uint64_t>(copied);
        outOffset += static_cast<std::uint64_t>(copied);
    }
    return copied;
}

bool TruncateFile(FileHandle file, std::uint64_t length)
{
    return RetryOnInterrupt([&] { return ftruncate(Fd(file), static_cast<off_t>(length)); }) == 0;
}

bool SyncData(FileHandle file)
{
    return RetryOnInterrupt([&] { return fdatasync(Fd(file)); }) == 0;
}

bool SyncFile(FileHandle file)
{
    return RetryOnInterrupt([&] { return fsync(Fd(file)); }) == 0;
}

bool RenameWithoutReplace(const std::string &from, const std::string &to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        return false;
    SyncDirectoryOf(to);
    return true;
}

bool RenameReplacing(const std::string &from, const std::string &to)
{
    return RetryOnInterrupt([&] { return rename(from.c_str(), to.c_str()); }) == 0;
}

// The occupant stays open over the rename, so its lock keeps another run out until the file
// that comes back holds the name.
void PutBackOver(const std::string &from, const std::string &to, FileHandle occupant)
{
    if (!RenameReplacing(from, to))
        TruncateFile(occupant, 0);
    CloseFile(occupant);
}

// A rename or a removal is on the disk once the directory that holds the name is.
bool SyncDirectoryOf(const std::string &path)
{
    const std::string directory = std::filesystem::path(path).parent_path().string();
    const int fd
        = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = RetryOnInterrupt([&] { return fsync(fd); }) == 0;
    close(fd);
    return synced;
}

void RemoveFile(const std::string &path)
{
    unlink(path.c_str());
}

bool FileLength(const std::string &path, std::uint64_t &length)
{
    struct stat file
    {
    };
    if (stat(path.c_str(), &file) != 0)
        return false;
    length = static_cast<std::uint64_t>(file.st_size);
    return true;
}

// A run that holds the journal holds its lock, which a look for reading could not then take.
bool IsLeftoverThatCannotBeTaken(const std::string &path)
{
    struct stat file
    {
    };
    if (lstat(path.c_str(), &file) != 0 || !S_ISREG(file.st_mode) || file.st_size == 0)
        return false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return true;
    const bool heldByAnotherRun = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return !heldByAnotherRun;
}

bool IsDirectory(const std::string &path)
{
    struct stat entry;
    return stat(path.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode);
}

bool MakeDirectory(const std::string &path)
{
    return mkdir(path.c_str(), 0777) == 0;
}
