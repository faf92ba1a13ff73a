#include "portreturn.h"

#include "portlist.h"

namespace {

// The device instance the system gives the port's number to now; empty when the system
// describes no device behind it.
std::string InstanceBehind(std::uint32_t portIndex)
{
    const PortList list = CurrentPortList();
    if (portIndex >= list.ports.size() || !list.ports[portIndex].present)
        return {};
    return list.ports[portIndex].reaches;
}

} // namespace

struct CPortReturn::Device
{
    std::string instance;
};

CPortReturn CPortReturn::Record(std::uint32_t portIndex, const std::string &)
{
    CPortReturn recorded;
    recorded.m_device = std::make_shared<const Device>(Device {InstanceBehind(portIndex)});
    return recorded;
}

// A port whose device the system did not describe when it opened is known by its number alone:
// the try to open it tells whether it is there.
bool CPortReturn::IsBack(std::uint32_t portIndex) const
{
    return m_device
        && (m_device->instance.empty() || InstanceBehind(portIndex) == m_device->instance);
}

PortWatchSetup LostPortWatchSetup()
{
    return {};
}
