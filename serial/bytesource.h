#pragma once

#include <cstddef>
#include <string>

// Where the bytes sent to the port come from: generated frames or a recorded log.
class CByteSource
{
public:
    virtual ~CByteSource() = default;

    // Appends the next `count` bytes to `out`, fewer only at the end of the source.
    virtual void AppendBytes(std::string &out, std::size_t count) = 0;
    virtual bool AtEnd() const = 0;
};
