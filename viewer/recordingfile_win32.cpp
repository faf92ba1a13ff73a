#include "recordingfile.h"

#include "texts.h"

#include <algorithm>

#include <windows.h>

namespace {

std::wstring WidePath(const std::string &path)
{
    const int length = static_cast<int>(path.size());
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    const int converted = length > 0
        ? MultiByteToWideChar(CP_UTF8, 0, path.data(), length, wide.data(), length)
        : 0;
    wide.resize(static_cast<std::size_t>(converted));
    return wide;
}

std::string Utf8(const wchar_t *text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The system's words for an error, on one line without the line end it comes with; its number
// where the system has none.
std::string SystemMessage(DWORD error)
{
    wchar_t *text = nullptr;
    DWORD length
        = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                             | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                         nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    while (length > 0
           && (text[length - 1] == L' ' || text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        --length;
    const std::string message
        = length > 0 ? Utf8(text, static_cast<int>(length)) : std::to_string(error);
    LocalFree(text);
    return message;
}

HANDLE HandleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

CRecordingFile::~CRecordingFile()
{
    Close();
}

// The writer of a log or a journal holds it open while it is viewed, so every sharing is allowed.
// A folder does not open as a file: the system refuses it in its own words. A pipe, a console or
// a device under the file's name opens but is no disk file.
bool CRecordingFile::Open(const std::string &path, std::string &reason)
{
    const HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = SystemMessage(GetLastError());
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(file);
    if (GetFileType(file) == FILE_TYPE_DISK)
        return true;
    reason = Strings::LOG_NOT_A_FILE;
    Close();
    return false;
}

std::int64_t CRecordingFile::Size() const
{
    LARGE_INTEGER size {};
    if (!IsOpen() || !GetFileSizeEx(HandleOf(m_handle), &size))
        return -1;
    return size.QuadPart;
}

// The offset rides with the read, so reads on several threads do not move each other's place.
std::int64_t CRecordingFile::ReadAt(char *data, std::size_t length, std::int64_t offset) const
{
    OVERLAPPED at {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
    if (ReadFile(HandleOf(m_handle), data, asked, &got, &at))
        return got;
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

void CRecordingFile::Close()
{
    if (IsOpen())
        CloseHandle(HandleOf(m_handle));
    m_handle = CLOSED;
}
