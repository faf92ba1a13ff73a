#include "linecontrol.h"

#include <map>
#include <mutex>

namespace {

// The system flags each kind of line error since the last look and clears the flags; the port's
// counters since each handle's first look are kept here, so that they read as counters do.
std::mutex g_countsMutex;
std::map<PortHandle, LineErrorCounts> g_counts;

std::uint32_t Flagged(DWORD errors, DWORD kind)
{
    return (errors & kind) != 0 ? 1 : 0;
}

} // namespace

// Also ends a write still waiting for the port.
void CLineControl::DiscardOutput(PortHandle port)
{
    PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
}

void CLineControl::ReleaseFlowControl(PortHandle port)
{
    DCB state {};
    state.DCBlength = sizeof state;
    if (GetCommState(port, &state)) {
        state.fOutxCtsFlow = FALSE;
        state.fOutxDsrFlow = FALSE;
        state.fOutX = FALSE;
        state.fInX = FALSE;
        SetCommState(port, &state);
    }
    EscapeCommFunction(port, SETXON);
}

void CLineControl::Close(PortHandle port)
{
    {
        std::lock_guard lock(g_countsMutex);
        g_counts.erase(port);
    }
    CloseHandle(port);
}

void CLineControl::RaiseModemLines(PortHandle port)
{
    EscapeCommFunction(port, SETDTR);
    EscapeCommFunction(port, SETRTS);
}

std::optional<LineErrorCounts> CLineControl::ReadErrorCounts(PortHandle port)
{
    DWORD errors = 0;
    if (!ClearCommError(port, &errors, nullptr))
        return std::nullopt;
    std::lock_guard lock(g_countsMutex);
    LineErrorCounts &counts = g_counts[port];
    counts.overrun += Flagged(errors, CE_OVERRUN) + Flagged(errors, CE_RXOVER);
    counts.framing += Flagged(errors, CE_FRAME);
    counts.parity += Flagged(errors, CE_RXPARITY);
    counts.breaks += Flagged(errors, CE_BREAK);
    return counts;
}
