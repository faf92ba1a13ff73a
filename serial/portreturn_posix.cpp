#include "portreturn.h"

#include "deviceidentity.h"
#include "portdiscovery.h"
#include "portnames.h"
#include "portwatch.h"

struct CPortReturn::Device
{
    std::string path;
    CDeviceIdentity identity;
};

CPortReturn CPortReturn::Record(std::uint32_t, const std::string &openedPath)
{
    CPortReturn recorded;
    recorded.m_device = std::make_shared<const Device>(
        Device {openedPath, CDeviceIdentity(DefaultPortRoots(), openedPath)});
    return recorded;
}

// A name that now leads somewhere else (a link removed, so COM1 would be the on-board port) is
// not the device that went.
bool CPortReturn::IsBack(std::uint32_t portIndex) const
{
    return m_device && PortDevicePath(portIndex) == m_device->path
        && m_device->identity.IsBack(DefaultPortRoots());
}

PortWatchSetup LostPortWatchSetup()
{
    return PortFolders(DefaultPortRoots());
}
