#include "journalmove.h"

#include <algorithm>
#include <sstream>

namespace {

// A piece of the copy between two looks at its progress.
constexpr std::size_t COPY_PIECE = 8 * 1024 * 1024;

// "<log length> <journal length>", the log's path and the journal's, each on a line.
bool WriteRecord(const std::string &recordPath, const std::string &logPath, std::uint64_t logLength,
                 const std::string &journalPath, std::uint64_t journalLength)
{
    const FileHandle record = CreateEmptyFile(recordPath);
    if (record == NO_FILE)
        return false;
    const std::string text = std::to_string(logLength) + ' ' + std::to_string(journalLength) + '\n'
        + logPath + '\n' + journalPath + '\n';
    const bool written = AppendAll(record, text.data(), text.size()) && SyncData(record);
    CloseFile(record);
    return written && SyncDirectoryOf(recordPath);
}

void RemoveRecord(const std::string &recordPath)
{
    RemoveFile(recordPath);
    SyncDirectoryOf(recordPath);
}

bool CopyAll(FileHandle from, std::uint64_t length, FileHandle to, std::uint64_t outOffset,
             const CopyProgress &progress)
{
    std::uint64_t inOffset = 0;
    while (inOffset < length) {
        const std::size_t piece = std::min<std::uint64_t>(COPY_PIECE, length - inOffset);
        if (CopyPiece(from, inOffset, to, outOffset, piece) <= 0)
            return false;
        if (progress)
            progress(inOffset, length);
    }
    return true;
}

// The file at `path` cut back to `length` and on the disk so.
void CutBack(const std::string &path, std::uint64_t length)
{
    std::uint64_t ignored = 0;
    const FileHandle file = OpenLockedRegularFile(path, 0, ignored);
    if (file == NO_FILE)
        return;
    if (TruncateFile(file, length))
        SyncFile(file);
    CloseFile(file);
}

bool ReadRecord(const std::string &recordPath, std::istringstream &record)
{
    std::uint64_t length = 0;
    const FileHandle file = OpenLockedRegularFile(recordPath, OPEN_READING, length);
    if (file == NO_FILE)
        return false;
    std::string text(length, '\0');
    const bool read = ReadExactly(file, 0, text.data(), text.size());
    CloseFile(file);
    record.str(text);
    return read;
}

} // namespace

bool RenameJournalToLog(const std::string &journalPath, const std::string &logPath)
{
    return RenameWithoutReplace(journalPath, logPath);
}

MoveResult CopyJournalIntoLog(const std::string &journalPath, FileHandle journal,
                              std::uint64_t length, std::string_view tail,
                              const std::string &logPath, const std::string &recordPath,
                              const CopyProgress &progress)
{
    IgnoreFileSizeSignal();
    std::uint64_t earlierLength = 0;
    const FileHandle log = OpenLockedRegularFile(logPath, OPEN_CREATING, earlierLength);
    if (log == NO_FILE)
        return MoveResult::OpenFailed;
    // The journal is emptied while the record still stands: a kill in between must not leave
    // the bytes both in the log and in a journal that the next start would recover.
    const bool copied = WriteRecord(recordPath, logPath, earlierLength, journalPath, length)
        && CopyAll(journal, length, log, earlierLength, progress)
        && WriteAllAt(log, tail, earlierLength + length) && SyncFile(log)
        && TruncateFile(journal, 0);
    if (!copied) {
        TruncateFile(log, earlierLength);
        SyncFile(log);
    }
    CloseFile(log);
    // Cut back or whole, the log is as the record would leave it. An emptied journal that is not
    // known to be empty on the disk keeps the record: should a power cut bring its bytes back,
    // the next start cuts the log back instead of logging them twice.
    if (!copied || SyncData(journal))
        RemoveRecord(recordPath);
    return copied ? MoveResult::Copied : MoveResult::WriteFailed;
}

void UndoUnfinishedCopy(const std::string &journalPath, const std::string &recordPath)
{
    std::istringstream record;
    if (!ReadRecord(recordPath, record))
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
    std::uint64_t length = 0;
    const bool journalWhole = FileLength(recordedJournal, length) && length == journalLength;
    if (readable && journalWhole && !logPath.empty() && FileLength(logPath, length)
        && length > logLength)
        CutBack(logPath, logLength);
    RemoveRecord(recordPath);
}
