#include "settingsfile.h"

#include "settingsfilerecord.h"

#include <cstring>
#include <string>

#include <windows.h>

namespace {

std::wstring WideName(const char *name)
{
    return std::wstring(name, name + std::strlen(name));
}

// Closes the handle when it goes.
class CFileHandle
{
public:
    explicit CFileHandle(HANDLE handle)
        : m_handle(handle)
    { }
    ~CFileHandle() { Close(); }
    CFileHandle(const CFileHandle &) = delete;
    CFileHandle &operator=(const CFileHandle &) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (IsOpen())
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    // A file on a disk, not a pipe, a console or a device under the file's name.
    bool IsDiskFile() const { return IsOpen() && GetFileType(m_handle) == FILE_TYPE_DISK; }
    // An administrator may open a read-only file for writing all the same; the attribute is
    // what the user set.
    bool IsReadOnly() const
    {
        BY_HANDLE_FILE_INFORMATION information {};
        return !GetFileInformationByHandle(m_handle, &information)
            || (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

bool WriteWhole(HANDLE file, const void *data, DWORD length)
{
    DWORD written = 0;
    return WriteFile(file, data, length, &written, nullptr) && written == length;
}

// Beside the target, so that the move never crosses a volume. The process id keeps two programs
// in one directory apart; a file of that name can only be left over from an ended process that
// had our id, and is written over.
bool ReplaceTarget(const std::wstring &target, const SettingsFileRecord &record)
{
    const std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    bool filled = false;
    {
        const CFileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsOpen())
            return false;
        filled = WriteWhole(file.Get(), record.data(), static_cast<DWORD>(record.size()))
            && FlushFileBuffers(file.Get());
    }
    if (filled
        && MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

} // namespace

bool ReadSettingsFile(PortSettings &settings)
{
    const CFileHandle file(CreateFileW(WideName(SETTINGS_FILE_NAME).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsDiskFile())
        return false;
    SettingsFileRecord bytes {};
    DWORD size = 0;
    for (DWORD got = 0; size < bytes.size(); size += got) {
        if (!ReadFile(file.Get(), bytes.data() + size, static_cast<DWORD>(bytes.size()) - size,
                      &got, nullptr))
            return false;
        if (got == 0)
            break;
    }
    return DecodeSettingsRecord(bytes.data(), size, settings);
}

bool WriteSettingsFile(const PortSettings &settings)
{
    const std::wstring target = WideName(SETTINGS_FILE_NAME);
    // A read-only file, a directory, or a file that another program holds refuses the save. The
    // look lets go before the move, which no handle of the file may outlive; a holder that comes
    // in between makes the move fail in its turn.
    CFileHandle existing(CreateFileW(target.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = GetLastError();
    if (!existing.IsOpen() && error != ERROR_FILE_NOT_FOUND)
        return false;
    if (existing.IsOpen() && (!existing.IsDiskFile() || existing.IsReadOnly()))
        return false;
    existing.Close();
    return ReplaceTarget(target, EncodeSettingsRecord(settings));
}
