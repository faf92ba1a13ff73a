#include "portchoicetables.h"

#include "portsettings.h"

#include <cstring>

const PortChoiceTables PORT_CHOICE_TABLES = {
    .port = {{
        {"COM1", 0},
        {"COM2", 1},
        {"COM3", 2},
        {"COM4", 3},
        {"COM5", 4},
        {"COM6", 5},
        {"COM7", 6},
        {"COM8", 7},
        {"COM9", 8},
        {"COM10", 9},
        {"COM11", 10},
        {"COM12", 11},
        {"COM13", 12},
        {"COM14", 13},
        {"COM15", 14},
        {"COM16", 15},
    }},
    // Speeds of up to six digits are right-aligned in six characters; the blanks belong to the
    // text everywhere it goes.
    .speed = {{
        {"   110", 110},      {"   300", 300},      {"   600", 600},      {"  1200", 1200},
        {"  1800", 1800},     {"  2400", 2400},     {"  4800", 4800},     {"  7200", 7200},
        {"  9600", 9600},     {" 14400", 14400},    {" 19200", 19200},    {" 38400", 38400},
        {" 57600", 57600},    {" 76800", 76800},    {"115200", 115200},   {"128000", 128000},
        {"153600", 153600},   {"230400", 230400},   {"307200", 307200},   {"460800", 460800},
        {"921600", 921600},   {"1000000", 1000000}, {"1500000", 1500000}, {"2000000", 2000000},
        {"3000000", 3000000},
    }},
    .dataBits = {{
        {"5", 5},
        {"6", 6},
        {"7", 7},
        {"8", 8},
    }},
    .parity = {{
        {"No", 0},
        {"Odd", 1},
        {"Even", 2},
    }},
    .stopBits = {{
        {"1", 0},
        {"1.5", 1},
        {"2", 2},
    }},
    //          outX inX cts dsr
    .flow = {{
        {"No", 0, 0, 0, 0},
        {"Hardware", 0, 0, 1, 1},
        {"Xon/Xoff", 1, 1, 0, 0},
    }},
};

namespace {

constexpr std::size_t DEFAULT_PORT_ROW = 0;
constexpr std::size_t DEFAULT_SPEED_ROW = 8;
constexpr std::size_t DEFAULT_DATA_BITS_ROW = 3;
constexpr std::size_t DEFAULT_PARITY_ROW = 0;
constexpr std::size_t DEFAULT_STOP_BITS_ROW = 0;
constexpr std::size_t DEFAULT_FLOW_ROW = 0;

void StoreText(SettingText &field, const char *text)
{
    std::memset(field, 0, SETTING_TEXT_SIZE);
    std::memcpy(field, text, strnlen(text, SETTING_TEXT_SIZE - 1));
}

} // namespace

void StoreChoice(PortSettings &settings, const PortRow &row)
{
    settings.portIndex = row.portIndex;
    StoreText(settings.portText, row.text);
}

void StoreChoice(PortSettings &settings, const SpeedRow &row)
{
    settings.baudRate = row.baudRate;
    StoreText(settings.speedText, row.text);
}

void StoreChoice(PortSettings &settings, const DataBitsRow &row)
{
    settings.byteSize = row.byteSize;
    StoreText(settings.dataBitsText, row.text);
}

void StoreChoice(PortSettings &settings, const ParityRow &row)
{
    settings.parity = row.parity;
    StoreText(settings.parityText, row.text);
}

void StoreChoice(PortSettings &settings, const StopBitsRow &row)
{
    settings.stopBits = row.stopBits;
    StoreText(settings.stopBitsText, row.text);
}

void StoreChoice(PortSettings &settings, const FlowRow &row)
{
    settings.outX = row.outX;
    settings.inX = row.inX;
    settings.outxCtsFlow = row.outxCtsFlow;
    settings.outxDsrFlow = row.outxDsrFlow;
    StoreText(settings.flowText, row.text);
}

void SetDefaultPortSettings(PortSettings &settings)
{
    StoreChoice(settings, PORT_CHOICE_TABLES.port[DEFAULT_PORT_ROW]);
    StoreChoice(settings, PORT_CHOICE_TABLES.speed[DEFAULT_SPEED_ROW]);
    StoreChoice(settings, PORT_CHOICE_TABLES.dataBits[DEFAULT_DATA_BITS_ROW]);
    StoreChoice(settings, PORT_CHOICE_TABLES.parity[DEFAULT_PARITY_ROW]);
    StoreChoice(settings, PORT_CHOICE_TABLES.stopBits[DEFAULT_STOP_BITS_ROW]);
    StoreChoice(settings, PORT_CHOICE_TABLES.flow[DEFAULT_FLOW_ROW]);
}
