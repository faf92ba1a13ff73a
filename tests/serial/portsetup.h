#pragma once

#include "portconfig.h"

#include <cstdint>

class CSerialPort;

// Choosing line settings the way the settings dialog leaves them in g_portSettings, and bringing
// a port up the way start-up does.

enum class FlowControl { None, Hardware, XonXoff };

struct LineSettings
{
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = PARITY_NONE;
    std::uint8_t stopBits = STOP_BITS_ONE;
    FlowControl flow = FlowControl::None;
};

void ChooseLineSettings(const LineSettings &line);

// OpenPort, ApplyPortSettings and ConfigurePort with g_portSettings; true when all succeed.
bool OpenConfiguredPort(CSerialPort &port, std::uint32_t portIndex);
