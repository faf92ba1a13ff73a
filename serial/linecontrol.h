#pragma once

#include "portsystem.h"

#include <cstdint>
#include <memory>
#include <optional>

// The calls on an open serial line whose effect only a real UART or USB adapter shows: what
// happens to queued output when the port closes, the modem lines and the driver's error
// counters. A pseudo-terminal neither drains its output at close, nor has modem lines, nor counts
// line errors, so tests replace these with a recording of their own.

// Line errors the driver has counted: overruns (at the UART and in the driver's buffer),
// framing and parity errors, and breaks.
struct LineErrorCounts
{
    std::uint32_t overrun = 0;
    std::uint32_t framing = 0;
    std::uint32_t parity = 0;
    std::uint32_t breaks = 0;

    bool operator==(const LineErrorCounts &) const = default;
};

// The counts since `start`; counters that wrapped around count on from zero.
LineErrorCounts CountsSince(const LineErrorCounts &now, const LineErrorCounts &start);

class CLineControl
{
public:
    virtual ~CLineControl() = default;

    // Drops the output that has not gone out yet; some usb-serial drivers keep theirs.
    virtual void DiscardOutput(PortHandle fd);
    // Lets output go whatever the line's flow state: no CTS handshake, no XON/XOFF, and output
    // stopped by an XOFF goes on.
    virtual void ReleaseFlowControl(PortHandle fd);
    virtual void Close(PortHandle fd);
    // Raises DTR, then RTS. Ports without modem lines refuse, which is of no consequence.
    virtual void RaiseModemLines(PortHandle fd);
    // The driver's counters now; none where the driver keeps none (pseudo-terminals, ch341). On
    // Windows, where the system flags the kinds of error since the last look rather than
    // counting them, each look adds one for every kind flagged, counted from the port's open.
    virtual std::optional<LineErrorCounts> ReadErrorCounts(PortHandle fd);
};

// The calls as the system makes them. Shared: a close that runs on after its port has gone keeps
// the control it uses.
std::shared_ptr<CLineControl> SystemLineControl();
