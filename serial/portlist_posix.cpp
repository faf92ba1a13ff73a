#include "portlist.h"

#include "portchoicetables.h"
#include "portdiscovery.h"
#include "texts.h"

PortList CurrentPortList()
{
    const PortRoots roots = DefaultPortRoots();
    PortList list;
    for (const SerialAdapter &adapter : DiscoverPorts(roots))
        list.unlisted.push_back(std::string(Strings::PORT_NUMBERS_EXHAUSTED) + ": "
                                + adapter.description);
    for (std::uint32_t i = 0; i < PORT_COUNT; ++i)
        list.ports.push_back(ResolvePort(roots, i));
    return list;
}
