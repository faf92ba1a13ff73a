#include "portsetup.h"

#include "portlayer.h"
#include "portsettings.h"

void ChooseLineSettings(const LineSettings &line)
{
    g_portSettings.baudRate = line.baudRate;
    g_portSettings.byteSize = line.byteSize;
    g_portSettings.parity = line.parity;
    g_portSettings.stopBits = line.stopBits;
    g_portSettings.outX = line.flow == FlowControl::XonXoff ? 1 : 0;
    g_portSettings.inX = line.flow == FlowControl::XonXoff ? 1 : 0;
    g_portSettings.outxCtsFlow = line.flow == FlowControl::Hardware ? 1 : 0;
    g_portSettings.outxDsrFlow = line.flow == FlowControl::Hardware ? 1 : 0;
}

bool OpenConfiguredPort(CSerialPort &port, std::uint32_t portIndex)
{
    Dcb dcb;
    CommTimeouts commTimeouts;
    return port.OpenPort(portIndex) && port.ApplyPortSettings(g_portSettings, dcb, commTimeouts)
        && port.ConfigurePort(dcb, commTimeouts);
}
