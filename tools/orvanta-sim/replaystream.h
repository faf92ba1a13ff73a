#pragma once

#include "bytesource.h"

#include <cstdint>
#include <string>

// The bytes of a recorded file, read as they are needed so that a long log costs no memory.
class CReplayStream : public CByteSource
{
public:
    // Throws std::system_error when the file cannot be opened.
    explicit CReplayStream(const std::string &path);
    ~CReplayStream() override;
    CReplayStream(const CReplayStream &) = delete;
    CReplayStream &operator=(const CReplayStream &) = delete;

    // Throws std::system_error when the file cannot be read.
    void AppendBytes(std::string &out, std::size_t count) override;
    bool AtEnd() const override { return m_atEnd; }
    std::uint64_t Size() const { return m_size; }

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
    bool m_atEnd = false;
};
