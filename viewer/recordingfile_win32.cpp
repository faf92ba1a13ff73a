#include "recordingfile.h"

#include "texts.h"
#include "widetext.h"

#include <algorithm>

#include <windows.h>

namespace {

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
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
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
