#include "journalmove.h"

#include "fileio.h"
#include "posixio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A piece of the copy between two looks at its progress.
constexpr std::size_t COPY_PIECE = 8 * 1024 * 1024;

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

// "<log length> <journal length>", the log's path and the journal's, each on a line.
bool WriteRecord(const std::string &recordPath, const std::string &logPath, std::uint64_t logLength,
                 const std::string &journalPath, std::uint64_t journalLength)
{
    const int fd = open(recordPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const std::string text = std::to_string(logLength) + ' ' + std::to_string(journalLength) + '\n'
        + logPath + '\n' + journalPath + '\n';
    const bool written = WriteAll(fd, text.data(), text.size())
        && RetryOnInterrupt([&] { return fdatasync(fd); }) == 0;
    close(fd);
    return written && SyncDirectoryOf(recordPath);
}

void RemoveRecord(const std::string &recordPath)
{
    unlink(recordPath.c_str());
    SyncDirectoryOf(recordPath);
}

// Where copy_file_range cannot copy between these files (another file system on an older kernel,
// a file system without it), the piece goes through a buffer.
ssize_t CopyPiece(int from, off_t &inOffset, int to, off_t &outOffset, std::size_t length)
{
    const ssize_t copied = RetryOnInterrupt(
        [&] { return copy_file_range(from, &inOffset, to, &outOffset, length, 0); });
    if (copied >= 0
        || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP))
        return copied;
    std::string buffer(std::min<std::size_t>(length, 1024 * 1024), '\0');
    const ssize_t got
        = RetryOnInterrupt([&] { return pread(from, buffer.data(), buffer.size(), inOffset); });
    if (got <= 0)
        return got;
    const ssize_t put = RetryOnInterrupt(
        [&] { return pwrite(to, buffer.data(), static_cast<std::size_t>(got), outOffset); });
    if (put != got)
        return -1;
    inOffset += got;
    outOffset += got;
    return got;
}

bool CopyAll(int from, std::uint64_t length, int to, off_t outOffset, const CopyProgress &progress)
{
    off_t inOffset = 0;
    while (static_cast<std::uint64_t>(inOffset) < length) {
        const std::size_t piece
            = std::min<std::uint64_t>(COPY_PIECE, length - static_cast<std::uint64_t>(inOffset));
        if (CopyPiece(from, inOffset, to, outOffset, piece) <= 0)
            return false;
        if (progress)
            progress(static_cast<std::uint64_t>(inOffset), length);
    }
    return true;
}

bool PositionedWriteAll(int fd, std::string_view bytes, off_t offset)
{
    while (!bytes.empty()) {
        const ssize_t put
            = RetryOnInterrupt([&] { return pwrite(fd, bytes.data(), bytes.size(), offset); });
        if (put <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
        offset += put;
    }
    return true;
}

} // namespace

bool RenameJournalToLog(const std::string &journalPath, const std::string &logPath)
{
    if (renameat2(AT_FDCWD, journalPath.c_str(), AT_FDCWD, logPath.c_str(), RENAME_NOREPLACE) != 0)
        return false;
    SyncDirectoryOf(logPath);
    return true;
}

MoveResult CopyJournalIntoLog(const std::string &journalPath, int journalFd, std::uint64_t length,
                              std::string_view tail, const std::string &logPath,
                              const std::string &recordPath, const CopyProgress &progress)
{
    IgnoreFileSizeSignal();
    off_t earlierLength = 0;
    const int log = OpenLockedRegularFile(logPath, O_WRONLY | O_CREAT, earlierLength);
    if (log < 0)
        return MoveResult::OpenFailed;
    // The journal is emptied while the record still stands: a kill in between must not leave
    // the bytes both in the log and in a journal that the next start would recover.
    const bool copied = WriteRecord(recordPath, logPath, static_cast<std::uint64_t>(earlierLength),
                                    journalPath, length)
        && CopyAll(journalFd, length, log, earlierLength, progress)
        && PositionedWriteAll(log, tail, earlierLength + static_cast<off_t>(length))
        && RetryOnInterrupt([&] { return fsync(log); }) == 0
        && RetryOnInterrupt([&] { return ftruncate(journalFd, 0); }) == 0;
    if (!copied) {
        RetryOnInterrupt([&] { return ftruncate(log, earlierLength); });
        RetryOnInterrupt([&] { return fsync(log); });
    }
    close(log);
    // Cut back or whole, the log is as the record would leave it. An emptied journal that is not
    // known to be empty on the disk keeps the record: should a power cut bring its bytes back,
    // the next start cuts the log back instead of logging them twice.
    if (!copied || RetryOnInterrupt([&] { return fdatasync(journalFd); }) == 0)
        RemoveRecord(recordPath);
    return copied ? MoveResult::Copied : MoveResult::WriteFailed;
}

void UndoUnfinishedCopy(const std::string &journalPath, const std::string &recordPath)
{
    std::ifstream record(recordPath);
    if (!record)
        return;
    std::uint64_t logLength = 0;
    std::uint64_t journalLength = 0;
    std::string logPath;
    record >> logLength >> journalLength;
    std::getline(record >> std::ws, logPath);
    const bool readable = static_cast<bool>(record);
    std::string recordedJournal;
    if (!std::getline(record, recordedJournal) || recordedJournal.empty())
        recordedJournal = journalPath;
    struct stat journal
    {
    };
    const bool journalWhole = stat(recordedJournal.c_str(), &journal) == 0
        && static_cast<std::uint64_t>(journal.st_size) == journalLength;
    struct stat log
    {
    };
    if (readable && journalWhole && !logPath.empty() && stat(logPath.c_str(), &log) == 0
        && static_cast<std::uint64_t>(log.st_size) > logLength
        && truncate(logPath.c_str(), static_cast<off_t>(logLength)) == 0) {
        const int fd = open(logPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            RetryOnInterrupt([&] { return fsync(fd); });
            close(fd);
        }
    }
    RemoveRecord(recordPath);
}
