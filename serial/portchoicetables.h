#pragma once

#include <array>
#include <cstdint>

struct PortSettings;

// The fixed choices of the six settings, each row a list entry's text and the value(s) it sets.
// A row's position is its position in the settings dialog's list, which shows the rows in this
// order, unsorted. Number and text of a choice are always stored together from one row.

struct PortRow
{
    const char *text;
    std::uint32_t portIndex;
};

struct SpeedRow
{
    const char *text;
    std::uint32_t baudRate;
};

struct DataBitsRow
{
    const char *text;
    std::uint8_t byteSize;
};

struct ParityRow
{
    const char *text;
    std::uint8_t parity;
};

struct StopBitsRow
{
    const char *text;
    std::uint8_t stopBits;
};

struct FlowRow
{
    const char *text;
    std::uint32_t outX;
    std::uint32_t inX;
    std::uint32_t outxCtsFlow;
    std::uint32_t outxDsrFlow;
};

inline constexpr std::uint32_t PORT_COUNT = 16;

struct PortChoiceTables
{
    std::array<PortRow, PORT_COUNT> port;
    std::array<SpeedRow, 25> speed;
    std::array<DataBitsRow, 4> dataBits;
    std::array<ParityRow, 3> parity;
    std::array<StopBitsRow, 3> stopBits;
    std::array<FlowRow, 3> flow;
};

extern const PortChoiceTables PORT_CHOICE_TABLES;

// Store the row's value(s) and its text (zero-filled to the end of the field).
void StoreChoice(PortSettings &settings, const PortRow &row);
void StoreChoice(PortSettings &settings, const SpeedRow &row);
void StoreChoice(PortSettings &settings, const DataBitsRow &row);
void StoreChoice(PortSettings &settings, const ParityRow &row);
void StoreChoice(PortSettings &settings, const StopBitsRow &row);
void StoreChoice(PortSettings &settings, const FlowRow &row);

// Stores the row at position; a position outside the table (no selection) changes nothing.
template<typename Row, std::size_t N>
bool StoreChoiceAt(PortSettings &settings, const std::array<Row, N> &table, int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= N)
        return false;
    StoreChoice(settings, table[static_cast<std::size_t>(position)]);
    return true;
}

// COM1, 9600 bit/s, 8 data bits, no parity, 1 stop bit, no flow control.
void SetDefaultPortSettings(PortSettings &settings);
