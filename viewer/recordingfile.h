#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A log file opened for reading only. It is read at an offset each time, never through a shared
// position, so several threads may read it at once, and a file that grows or is cut while open is
// read as it stands. Only a regular file opens: a pipe's or a device's reads need not end.
class CRecordingFile
{
public:
    CRecordingFile() = default;
    ~CRecordingFile();
    CRecordingFile(const CRecordingFile &) = delete;
    CRecordingFile &operator=(const CRecordingFile &) = delete;

    // False with the reason, in the system's words or ours, when `path` (UTF-8) does not open or
    // is not a regular file; nothing stays open then.
    bool Open(const std::string &path, std::string &reason);
    bool IsOpen() const { return m_handle != CLOSED; }
    // The file's size as it stands now; -1 when it cannot be told.
    std::int64_t Size() const;
    // Reads up to `length` bytes at `offset`: how many were read, 0 at the end, -1 on a failure.
    std::int64_t ReadAt(char *data, std::size_t length, std::int64_t offset) const;

private:
    void Close();

    // The descriptor, or the handle, of the system; both take -1 for none.
    static constexpr std::intptr_t CLOSED = -1;
    std::intptr_t m_handle = CLOSED;
};
