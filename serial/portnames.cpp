#include "portnames.h"

#include "portchoicetables.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace {

bool EntryExists(const char *name)
{
    struct stat status
    {
    };
    // lstat: a link whose device is missing still names the port the user meant.
    return lstat(name, &status) == 0;
}

} // namespace

std::string PortDevicePath(std::uint32_t portIndex)
{
    if (portIndex >= PORT_COUNT)
        return {};
    const char *name = PORT_CHOICE_TABLES.port[portIndex].text;
    if (EntryExists(name))
        return name;
    return "/dev/ttyS" + std::to_string(portIndex);
}

std::string DescribePortDevice(std::uint32_t portIndex)
{
    const std::string path = PortDevicePath(portIndex);
    std::error_code error;
    const std::filesystem::path reached = std::filesystem::canonical(path, error);
    if (error || reached == path)
        return path;
    return path + " → " + reached.string();
}
