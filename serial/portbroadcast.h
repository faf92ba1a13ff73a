#pragma once

#include "portsystem.h"

#include <dbt.h>

#include <optional>
#include <string>

// What a device broadcast of WM_DEVICECHANGE says of the COM ports: the port it names, "COM1" to
// "COM16"; an empty name for the COM port interface, which names no port; nothing for any other
// device, a port beyond COM16, or a broadcast shorter than what it claims to be. The system
// gives the broadcast as a pointer only, so its own size is all there is to check against.
std::optional<std::string> BroadcastPortName(const DEV_BROADCAST_HDR *broadcast);
