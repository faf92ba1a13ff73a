#include "fileio.h"

#include "widetext.h"

#include <algorithm>
#include <limits>

#include <windows.h>

namespace {

// One call moves at most this much, well below what a DWORD counts.
constexpr std::size_t LARGEST_CALL = 1u << 30;

HANDLE HandleOf(FileHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}

OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED at {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Offsets of all ones write at the end of the file, wherever another write has left it.
constexpr std::uint64_t END_OF_FILE = std::numeric_limits<std::uint64_t>::max();

bool WriteAllAtOrEnd(FileHandle file, const char *data, std::size_t length, std::uint64_t offset)
{
    while (length > 0) {
        OVERLAPPED at = At(offset);
        DWORD put = 0;
        const auto asked = static_cast<DWORD>(std::min(length, LARGEST_CALL));
        if (!WriteFile(HandleOf(file), data, asked, &put, &at) || put == 0)
            return false;
        data += put;
        length -= put;
        if (offset != END_OF_FILE)
            offset += put;
    }
    return true;
}

// A regular file on a disk, not a folder, a pipe or a device, and, where asked, not a link.
bool IsRegularFile(HANDLE file, bool refuseLinks)
{
    BY_HANDLE_FILE_INFORMATION information {};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information)
        && !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        && !(refuseLinks && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT));
}

bool Attributes(const std::string &path, WIN32_FILE_ATTRIBUTE_DATA &attributes)
{
    return GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &attributes);
}

std::uint64_t SizeOf(const WIN32_FILE_ATTRIBUTE_DATA &attributes)
{
    return (static_cast<std::uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
}

} // namespace

// Windows has no file size signal: a write past a limit fails.
void IgnoreFileSizeSignal() { }

// The share mode is the hold: without FILE_SHARE_WRITE no other writer opens the file while this
// handle is open, and every handle shares reading (the viewer) and deletion, without which
// Windows renames no open file.
FileHandle OpenLockedRegularFile(const std::string &path, unsigned flags, std::uint64_t &length)
{
    const HANDLE file = CreateFileW(
        WideFromUtf8(path).c_str(), GENERIC_WRITE | (flags & OPEN_READING ? GENERIC_READ : 0),
        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
        flags & OPEN_CREATING ? OPEN_ALWAYS : OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | (flags & OPEN_NO_LINK ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return NO_FILE;
    LARGE_INTEGER size {};
    if (!IsRegularFile(file, flags & OPEN_NO_LINK) || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return NO_FILE;
    }
    length = static_cast<std::uint64_t>(size.QuadPart);
    return reinterpret_cast<FileHandle>(file);
}

FileHandle CreateEmptyFile(const std::string &path)
{
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(file);
}

void CloseFile(FileHandle file)
{
    CloseHandle(HandleOf(file));
}

bool AppendAll(FileHandle file, const char *data, std::size_t length)
{
    return WriteAllAtOrEnd(file, data, length, END_OF_FILE);
}

bool WriteAllAt(FileHandle file, std::string_view bytes, std::uint64_t offset)
{
    return WriteAllAtOrEnd(file, bytes.data(), bytes.size(), offset);
}

bool ReadExactly(FileHandle file, std::uint64_t offset, char *buffer, std::size_t length)
{
    while (length > 0) {
        OVERLAPPED at = At(offset);
        DWORD got = 0;
        const auto asked = static_cast<DWORD>(std::min(length, LARGEST_CALL));
        if (!ReadFile(HandleOf(file), buffer, asked, &got, &at) || got == 0)
            return false;
        buffer += got;
        offset += got;
        length -= got;
    }
    return true;
}

// Windows has no call that copies between two open files; the piece goes through a buffer.
std::int64_t CopyPiece(FileHandle from, std::uint64_t &inOffset, FileHandle to,
                       std::uint64_t &outOffset, std::size_t length)
{
    std::string buffer(std::min<std::size_t>(length, 1024 * 1024), '\0');
    OVERLAPPED at = At(inOffset);
    DWORD got = 0;
    if (!ReadFile(HandleOf(from), buffer.data(), static_cast<DWORD>(buffer.size()), &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    if (!WriteAllAt(to, std::string_view(buffer.data(), got), outOffset))
        return -1;
    inOffset += got;
    outOffset += got;
    return got;
}

bool TruncateFile(FileHandle file, std::uint64_t length)
{
    LARGE_INTEGER end {};
    end.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(HandleOf(file), end, nullptr, FILE_BEGIN)
        && SetEndOfFile(HandleOf(file));
}

bool SyncData(FileHandle file)
{
    return FlushFileBuffers(HandleOf(file));
}

bool SyncFile(FileHandle file)
{
    return FlushFileBuffers(HandleOf(file));
}

bool RenameWithoutReplace(const std::string &from, const std::string &to)
{
    return MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                       MOVEFILE_WRITE_THROUGH);
}

bool RenameReplacing(const std::string &from, const std::string &to)
{
    return MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Windows replaces no file that is open, so the occupant closes before the rename; a run that
// opens the file in between makes the rename fail, and the file is emptied as far as it can be.
void PutBackOver(const std::string &from, const std::string &to, FileHandle occupant)
{
    CloseFile(occupant);
    if (RenameReplacing(from, to))
        return;
    std::uint64_t ignored = 0;
    const FileHandle file = OpenLockedRegularFile(to, 0, ignored);
    if (file == NO_FILE)
        return;
    TruncateFile(file, 0);
    CloseFile(file);
}

// Windows has no flush of a folder: NTFS keeps its names in its own log, which a file's flush and
// a write-through move commit.
bool SyncDirectoryOf(const std::string &)
{
    return true;
}

void RemoveFile(const std::string &path)
{
    DeleteFileW(WideFromUtf8(path).c_str());
}

bool FileLength(const std::string &path, std::uint64_t &length)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes {};
    if (!Attributes(path, attributes) || (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    length = SizeOf(attributes);
    return true;
}

// Another run holds the journal open for writing and shares no writing, so a look that shares no
// writing either fails with a sharing violation.
bool IsLeftoverThatCannotBeTaken(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes {};
    if (!Attributes(path, attributes)
        || (attributes.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        || SizeOf(attributes) == 0)
        return false;
    const HANDLE file
        = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return true;
}

bool IsDirectory(const std::string &path)
{
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::string &path)
{
    return CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr);
}
