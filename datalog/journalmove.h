#pragma once

#include "fileio.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Moving the journal's bytes into a log without reading them through memory: a log that does
// not exist yet becomes the journal's file itself, renamed without replacing (so a log that
// appeared meanwhile is never replaced); an existing log gets the bytes appended, on Linux with
// copy_file_range, which shares the blocks where the file system can (a reflink), elsewhere and
// where it cannot with reads and writes. Before a copy, a small record beside the journal says how
// long the log was and how long the journal is; a run killed part-way leaves it behind, and the
// next start cuts the log back before it recovers the journal, so no byte is lost or written
// twice.

inline constexpr const char *CLEAR_RECORD_FILE_NAME = ".journal.clear";

// How far a copy has got: bytes in the log of the total.
using CopyProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

enum class MoveResult { Renamed, Copied, OpenFailed, WriteFailed };

// Renames the file at journalPath to logPath when no log is there; false otherwise, and the
// journal stays where it was. The directory is synced, so the rename outlives a power cut.
bool RenameJournalToLog(const std::string &journalPath, const std::string &logPath);

// Appends `length` bytes of the journal at journalPath, open as `journal`, to the log at logPath,
// creating it, then `tail`, bytes that the journal could not write yet; syncs the log and
// empties the journal. On failure the log is cut back to its earlier length and the journal left
// as it was. recordPath names the record of the copy, removed once the copy has ended either way.
MoveResult CopyJournalIntoLog(const std::string &journalPath, FileHandle journal,
                              std::uint64_t length, std::string_view tail,
                              const std::string &logPath, const std::string &recordPath,
                              const CopyProgress &progress);

// At start, before a journal is recovered: a copy that a killed run left unfinished is undone,
// its log cut back to the length the record gives. A record whose journal has been emptied
// since belongs to a copy that finished; it only goes. A record without a journal's path names
// the journal at journalPath.
void UndoUnfinishedCopy(const std::string &journalPath, const std::string &recordPath);
