#include "portlayer.h"

#include "closesinflight.h"
#include "portconfig.h"

CSerialPort::CSerialPort(std::shared_ptr<CLineControl> control)
    : m_control(std::move(control))
    , m_closes(ClosesInFlight())
{ }

CSerialPort::~CSerialPort()
{
    ClosePort();
}

bool CSerialPort::ApplyPortSettings(const PortSettings &settings, Dcb &dcb,
                                    CommTimeouts &commTimeouts)
{
    if (!ReadState(dcb.portState))
        return false;
    MapPortSettings(settings, dcb, commTimeouts);
    return true;
}

void CSerialPort::RaiseModemLines()
{
    const PortHandle port = m_handle;
    if (port != INVALID_PORT_HANDLE)
        m_control->RaiseModemLines(port);
}

bool CSerialPort::WritePort(const char *bytes, std::int32_t length)
{
    const PortHandle port = m_handle;
    if (port == INVALID_PORT_HANDLE || length < 0)
        return false;
    const bool written = WriteAll(port, bytes, length);
    if (!written)
        m_control->DiscardOutput(port);
    return written;
}

std::optional<LineErrorCounts> CSerialPort::ErrorCountsSinceOpen() const
{
    const PortHandle fd = m_handle;
    if (fd == INVALID_PORT_HANDLE || !m_countsAtOpen)
        return std::nullopt;
    const auto counts = m_control->ReadErrorCounts(fd);
    if (!counts)
        return std::nullopt;
    return CountsSince(*counts, *m_countsAtOpen);
}
