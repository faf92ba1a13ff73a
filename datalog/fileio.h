#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The file calls that the log, the journal and the journal's move share, with one file per
// system behind them. Paths are UTF-8. Every call that fails says so and leaves the rest to the
// caller, which decides what a failure means.

// An open file: the descriptor on POSIX, the handle on Windows; both take -1 for none.
using FileHandle = std::intptr_t;
inline constexpr FileHandle NO_FILE = -1;

// How a file opens; the flags combine.
enum FileOpenFlags : unsigned {
    OPEN_CREATING = 1, // made when missing
    OPEN_APPENDING = 2, // AppendAll puts the bytes at the end
    OPEN_READING = 4, // ReadExactly reads it too
    OPEN_NO_LINK = 8, // a link in the file's place is refused rather than followed
};

// Past a file size limit a POSIX kernel sends SIGXFSZ, whose default action ends the process and
// with it the received text. Ignored, the write fails with EFBIG instead, which the writer
// handles like any other failed write. A handler that the program installed stays in place.
void IgnoreFileSizeSignal();

// Opens `path` for writing, takes the exclusive hold that keeps a second writer out (a reader
// such as the viewer may still read it, and the file may be renamed while open), and refuses
// anything that is not a regular file or that would hold the caller (a FIFO). Gives the file's
// length before anything is written; NO_FILE when any of it fails.
FileHandle OpenLockedRegularFile(const std::string &path, unsigned flags, std::uint64_t &length);

// A file opened for writing, emptied, and not held against others; NO_FILE when it fails.
FileHandle CreateEmptyFile(const std::string &path);

void CloseFile(FileHandle file);

// Writes every byte at the end of a file opened with OPEN_APPENDING, or at `offset`.
bool AppendAll(FileHandle file, const char *data, std::size_t length);
bool WriteAllAt(FileHandle file, std::string_view bytes, std::uint64_t offset);

// Reads exactly `length` bytes at `offset`; false when the file fails or is shorter.
bool ReadExactly(FileHandle file, std::uint64_t offset, char *buffer, std::size_t length);

// Copies up to `length` bytes from `from` at inOffset to `to` at outOffset, sharing the blocks
// where the file system can, and moves both offsets on; how many, 0 at the end, -1 on a failure.
std::int64_t CopyPiece(FileHandle from, std::uint64_t &inOffset, FileHandle to,
                       std::uint64_t &outOffset, std::size_t length);

bool TruncateFile(FileHandle file, std::uint64_t length);

// SyncData: the bytes and what is needed to read them back are on the disk. SyncFile: all of the
// file's state is.
bool SyncData(FileHandle file);
bool SyncFile(FileHandle file);

// Renames `from` to `to` when nothing is at `to`; false otherwise, and nothing changes. The
// rename outlives a power cut. A file that is open here keeps its handle, which follows it.
bool RenameWithoutReplace(const std::string &from, const std::string &to);

// Renames `from` over whatever is at `to`.
bool RenameReplacing(const std::string &from, const std::string &to);

// Puts `from` back over `to`, a file that `occupant` holds open here, and closes the occupant.
// Where the rename fails, the occupant's file is emptied, so that its bytes are nowhere twice.
void PutBackOver(const std::string &from, const std::string &to, FileHandle occupant);

// The directory that holds `path` is on the disk with its entries, as they stand; where the
// system keeps a file's entry with the file's own sync, there is nothing left to do.
bool SyncDirectoryOf(const std::string &path);

// Removes the file. A file that is open here goes once its handle closes.
void RemoveFile(const std::string &path);

// The length of the file at `path`; false when there is none.
bool FileLength(const std::string &path, std::uint64_t &length);

// A regular file with bytes in it that this run could not take: no writer holds it, yet it does
// not open for writing (read-only, or a folder that is not this user's).
bool IsLeftoverThatCannotBeTaken(const std::string &path);

// True if `path` names an existing directory (a link to one counts); false if nothing is there
// or the entry is something else.
bool IsDirectory(const std::string &path);

// Creates the directory; false when it could not be made (it may have been there).
bool MakeDirectory(const std::string &path);
