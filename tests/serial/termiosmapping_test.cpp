#include "portconfig.h"
#include "portsettings.h"
#include "termiosmapping.h"

#include <gtest/gtest.h>

#include <string>

namespace {

PortSettings SettingsWithFlow(std::uint32_t outX, std::uint32_t inX, std::uint32_t outxCtsFlow,
                              std::uint32_t outxDsrFlow)
{
    PortSettings settings {};
    settings.baudRate = 19200;
    settings.byteSize = 7;
    settings.parity = PARITY_EVEN;
    settings.stopBits = STOP_BITS_TWO;
    settings.outX = outX;
    settings.inX = inX;
    settings.outxCtsFlow = outxCtsFlow;
    settings.outxDsrFlow = outxDsrFlow;
    return settings;
}

struct FlowRow
{
    const char *name;
    PortSettings settings;
    bool outX;
    bool inX;
    bool outxCtsFlow;
    bool outxDsrFlow;
};

// A port state as a terminal might report it: cooked, echoing, at some other framing.
termios CookedState()
{
    termios state {};
    state.c_iflag = ICRNL | IXON | IXANY | ISTRIP | INPCK | BRKINT;
    state.c_oflag = OPOST | ONLCR;
    state.c_cflag = CS7 | PARENB | CSTOPB | HUPCL;
    state.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    state.c_cc[VMIN] = 5;
    state.c_cc[VTIME] = 3;
    return state;
}

Dcb FramingDcb(std::uint8_t byteSize, std::uint8_t parity, std::uint8_t stopBits)
{
    Dcb dcb;
    dcb.portState = CookedState();
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    return dcb;
}

struct FramingRow
{
    std::uint8_t byteSize;
    std::uint8_t parity;
    std::uint8_t stopBits;
    tcflag_t expected; // CSIZE, PARENB, PARODD and CSTOPB bits
};

std::string Describe(const FramingRow &row)
{
    return "data " + std::to_string(row.byteSize) + ", parity " + std::to_string(row.parity)
        + ", stop " + std::to_string(row.stopBits);
}

} // namespace

TEST(MapPortSettings, SetsFlowControlFromBitZeroOfEachFlag)
{
    const FlowRow rows[] = {
        {"No", SettingsWithFlow(0, 0, 0, 0), false, false, false, false},
        {"Hardware", SettingsWithFlow(0, 0, 1, 1), false, false, true, true},
        {"Xon/Xoff", SettingsWithFlow(1, 1, 0, 0), true, true, false, false},
        {"only bit 0 counts", SettingsWithFlow(2, 3, 0xFFFFFFFE, 5), false, true, false, true},
    };
    for (const FlowRow &row : rows) {
        SCOPED_TRACE(row.name);
        Dcb dcb;
        dcb.fOutX = !row.outX;
        dcb.fInX = !row.inX;
        CommTimeouts commTimeouts;
        MapPortSettings(row.settings, dcb, commTimeouts);
        EXPECT_EQ(dcb.fOutX, row.outX);
        EXPECT_EQ(dcb.fInX, row.inX);
        EXPECT_EQ(dcb.fOutxCtsFlow, row.outxCtsFlow);
        EXPECT_EQ(dcb.fOutxDsrFlow, row.outxDsrFlow);
        EXPECT_EQ(dcb.XonChar, 0x11);
        EXPECT_EQ(dcb.XoffChar, 0x13);
        EXPECT_EQ(dcb.XonLim, 2048);
        EXPECT_EQ(dcb.XoffLim, 512);
    }
}

TEST(MapPortSettings, CopiesLineSettingsAndKeepsThePortState)
{
    Dcb dcb;
    dcb.portState = CookedState();
    CommTimeouts commTimeouts;
    commTimeouts.WriteTotalTimeoutConstant = 99;
    MapPortSettings(SettingsWithFlow(0, 0, 0, 0), dcb, commTimeouts);

    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, PARITY_EVEN);
    EXPECT_EQ(dcb.StopBits, STOP_BITS_TWO);
    EXPECT_EQ(dcb.portState.c_lflag, CookedState().c_lflag);
    EXPECT_EQ(dcb.portState.c_cflag, CookedState().c_cflag);

    EXPECT_EQ(commTimeouts.ReadIntervalTimeout, 20u);
    EXPECT_EQ(commTimeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(commTimeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(commTimeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(commTimeouts.WriteTotalTimeoutConstant, 0u);
}

TEST(PortTermios, MapsEveryFramingTheLineCanCarry)
{
    const FramingRow rows[] = {
        {5, PARITY_NONE, STOP_BITS_ONE, CS5},
        {6, PARITY_NONE, STOP_BITS_ONE, CS6},
        {7, PARITY_NONE, STOP_BITS_ONE, CS7},
        {8, PARITY_NONE, STOP_BITS_ONE, CS8},
        {8, PARITY_ODD, STOP_BITS_ONE, CS8 | PARENB | PARODD},
        {7, PARITY_EVEN, STOP_BITS_ONE, CS7 | PARENB},
        {8, PARITY_NONE, STOP_BITS_TWO, CS8 | CSTOPB},
        {6, PARITY_ODD, STOP_BITS_TWO, CS6 | PARENB | PARODD | CSTOPB},
        {5, PARITY_EVEN, STOP_BITS_ONE_AND_HALF, CS5 | PARENB | CSTOPB},
    };
    for (const FramingRow &row : rows) {
        SCOPED_TRACE(Describe(row));
        const auto state = PortTermios(FramingDcb(row.byteSize, row.parity, row.stopBits));
        ASSERT_TRUE(state.has_value());
        EXPECT_EQ(state->c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), row.expected);
        // Checking received parity is left as the port had it, whatever the parity choice.
        EXPECT_EQ(state->c_iflag & INPCK, tcflag_t {INPCK});
        EXPECT_EQ(state->c_cflag & HUPCL, tcflag_t {HUPCL});
    }
}

TEST(PortTermios, RefusesFramingsTheLineCannotCarry)
{
    const FramingRow rows[] = {
        {4, PARITY_NONE, STOP_BITS_ONE, 0},
        {9, PARITY_NONE, STOP_BITS_ONE, 0},
        {0, PARITY_NONE, STOP_BITS_ONE, 0},
        {8, 3, STOP_BITS_ONE, 0},
        {8, PARITY_NONE, 3, 0},
        {6, PARITY_NONE, STOP_BITS_ONE_AND_HALF, 0},
        {7, PARITY_NONE, STOP_BITS_ONE_AND_HALF, 0},
        {8, PARITY_NONE, STOP_BITS_ONE_AND_HALF, 0},
        // With 5 data bits a UART sends 1.5 stop bits where 2 are asked for.
        {5, PARITY_NONE, STOP_BITS_TWO, 0},
    };
    for (const FramingRow &row : rows) {
        SCOPED_TRACE(Describe(row));
        EXPECT_FALSE(PortTermios(FramingDcb(row.byteSize, row.parity, row.stopBits)).has_value());
    }
}

TEST(PortTermios, PassesBytesUnchanged)
{
    const auto state = PortTermios(FramingDcb(8, PARITY_NONE, STOP_BITS_ONE));
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->c_lflag & (ICANON | ECHO | ECHOE | ISIG | IEXTEN), 0u);
    EXPECT_EQ(state->c_iflag & (ICRNL | ISTRIP | BRKINT | IXON | IXANY), 0u);
    EXPECT_EQ(state->c_oflag & OPOST, 0u);
    EXPECT_EQ(state->c_cflag & (CLOCAL | CREAD), tcflag_t {CLOCAL | CREAD});
    EXPECT_EQ(state->c_cc[VMIN], 1);
    EXPECT_EQ(state->c_cc[VTIME], 0);
}

TEST(PortTermios, SetsFlowControlInBothDirections)
{
    Dcb dcb = FramingDcb(8, PARITY_NONE, STOP_BITS_ONE);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.fOutX = true;
    dcb.fInX = true;
    auto state = PortTermios(dcb);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->c_iflag & (IXON | IXOFF), tcflag_t {IXON | IXOFF});
    EXPECT_EQ(state->c_cc[VSTART], 0x11);
    EXPECT_EQ(state->c_cc[VSTOP], 0x13);
    EXPECT_EQ(state->c_cflag & CRTSCTS, 0u);

    dcb.fOutX = false;
    dcb.fInX = false;
    dcb.fOutxCtsFlow = true;
    dcb.fOutxDsrFlow = true;
    dcb.portState.c_iflag |= IXOFF;
    state = PortTermios(dcb);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(state->c_cflag & CRTSCTS, tcflag_t {CRTSCTS});
}
