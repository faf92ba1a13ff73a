#include "portnames.h"

#include "portdiscovery.h"

std::string PortDevicePath(std::uint32_t portIndex)
{
    return ResolvePort(DefaultPortRoots(), portIndex).openPath;
}

std::string DescribePortDevice(std::uint32_t portIndex)
{
    return DescribePortTarget(ResolvePort(DefaultPortRoots(), portIndex));
}
