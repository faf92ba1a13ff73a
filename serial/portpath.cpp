#include "portpath.h"

#include <sys/stat.h>

std::string PortDevicePath(std::uint32_t portIndex)
{
    if (portIndex >= PORT_COUNT)
        return {};
    const std::string name = "COM" + std::to_string(portIndex + 1);
    struct stat entry;
    // lstat, so that a link whose device is missing is still taken, and its open fails, rather
    // than silently reaching another port.
    if (lstat(name.c_str(), &entry) == 0)
        return name;
    return "/dev/ttyS" + std::to_string(portIndex);
}
