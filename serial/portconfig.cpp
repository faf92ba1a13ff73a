#include "portconfig.h"

#include "portsettings.h"

namespace {

constexpr char XON_CHAR = 0x11;
constexpr char XOFF_CHAR = 0x13;
constexpr std::uint16_t XON_LIMIT = 2048;
constexpr std::uint16_t XOFF_LIMIT = 512;
constexpr std::uint32_t READ_INTERVAL_TIMEOUT = 20;

bool FlagBit(std::uint32_t flag)
{
    return (flag & 1) != 0;
}

} // namespace

void MapPortSettings(const PortSettings &settings, Dcb &dcb, CommTimeouts &commTimeouts)
{
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.byteSize;
    dcb.StopBits = settings.stopBits;
    dcb.Parity = settings.parity;
    dcb.fOutX = FlagBit(settings.outX);
    dcb.fInX = FlagBit(settings.inX);
    dcb.XonChar = XON_CHAR;
    dcb.XoffChar = XOFF_CHAR;
    dcb.XonLim = XON_LIMIT;
    dcb.XoffLim = XOFF_LIMIT;
    dcb.fOutxCtsFlow = FlagBit(settings.outxCtsFlow);
    dcb.fOutxDsrFlow = FlagBit(settings.outxDsrFlow);

    commTimeouts = CommTimeouts {};
    commTimeouts.ReadIntervalTimeout = READ_INTERVAL_TIMEOUT;
}
