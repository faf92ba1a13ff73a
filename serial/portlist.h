#pragma once

#include "porttarget.h"

#include <string>
#include <vector>

// The port list as this system gives it, for --list-ports.
struct PortList
{
    // COM1 … COM16 in order.
    std::vector<PortTarget> ports;
    // A line for each device that none of the sixteen numbers reaches, and why.
    std::vector<std::string> unlisted;
};

// Looks at the machine now; on Linux this also numbers the adapters that are new.
PortList CurrentPortList();
