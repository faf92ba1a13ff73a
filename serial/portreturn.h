#pragma once

#include "portsystem.h"

#include <cstdint>
#include <memory>
#include <string>

// Whether a port that was lost has come back: its name leads where it led when the port opened,
// to the very device it reached then, never to a stranger that now holds the same name. On Linux
// the device is the node, adapter or link that the name reached; on Windows, which numbers its
// ports itself, the device instance that the system gave the number to.
class CPortReturn
{
public:
    // Nothing recorded: nothing ever comes back.
    CPortReturn() = default;

    // Records where port portIndex, just opened at openedPath, leads and what it reaches.
    static CPortReturn Record(std::uint32_t portIndex, const std::string &openedPath);

    // Whether port portIndex leads there again; opens nothing.
    bool IsBack(std::uint32_t portIndex) const;

private:
    // Each system's own; never changed once recorded.
    struct Device;
    std::shared_ptr<const Device> m_device;
};

// What the watch for a lost port watches on this system.
PortWatchSetup LostPortWatchSetup();
