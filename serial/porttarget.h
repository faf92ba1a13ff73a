#pragma once

#include <string>
#include <vector>

// What one of COM1 … COM16 reaches, as each system's port list tells it.

enum class PortKind { WorkFolderEntry, Adapter, OnBoardUart, NotPresent };

struct PortTarget
{
    PortKind kind = PortKind::NotPresent;
    bool present = false;
    // What opening the port opens; empty when nothing is there to open.
    std::string openPath;
    // The device the name stands for: a link's target, an adapter's node (its kept name while it
    // is unplugged), an on-board UART's node; on Windows the device's instance ID.
    std::string reaches;
    // What it is: an adapter's description, else a short text of the kind.
    std::string label;
    // Why an adapter's number lasts for this run only; empty when it is kept.
    std::string notKept;
};

// The parts that are not empty, joined by a dash.
std::string JoinParts(const std::vector<std::string> &parts);

// The label and what it reaches, and on a line of its own why the number is not kept; for a
// tooltip.
std::string DescribePortTarget(const PortTarget &target);
