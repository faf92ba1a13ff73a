#include "termiosmapping.h"

#include "portconfig.h"
#include "portsettings.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> SPEED_CONSTANTS = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

void SetBits(tcflag_t &flags, tcflag_t bits, bool on)
{
    flags = on ? (flags | bits) : (flags & ~bits);
}

std::optional<tcflag_t> CharacterSizeBits(std::uint8_t byteSize)
{
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    case 8:
        return CS8;
    default:
        return std::nullopt;
    }
}

// PARENB and PARODD; checking of received parity (INPCK) is not the parity choice's business.
std::optional<tcflag_t> ParityBits(std::uint8_t parity)
{
    switch (parity) {
    case PARITY_NONE:
        return 0;
    case PARITY_ODD:
        return PARENB | PARODD;
    case PARITY_EVEN:
        return PARENB;
    default:
        return std::nullopt;
    }
}

// A UART sends 1.5 stop bits when asked for two with 5 data bits, so CSTOPB means 1.5 there and
// 2 everywhere else; each choice is taken only where the line really carries it.
std::optional<tcflag_t> StopBitsBits(std::uint8_t stopBits, std::uint8_t byteSize)
{
    const bool fiveDataBits = byteSize == 5;
    switch (stopBits) {
    case STOP_BITS_ONE:
        return 0;
    case STOP_BITS_ONE_AND_HALF:
        return fiveDataBits ? std::optional<tcflag_t>(CSTOPB) : std::nullopt;
    case STOP_BITS_TWO:
        return fiveDataBits ? std::nullopt : std::optional<tcflag_t>(CSTOPB);
    default:
        return std::nullopt;
    }
}

// Bytes pass unchanged both ways; a read returns as soon as one byte is there.
void MakeRaw(termios &state)
{
    state.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXANY);
    state.c_oflag &= ~OPOST;
    state.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    state.c_cflag |= CLOCAL | CREAD;
    state.c_cc[VMIN] = 1;
    state.c_cc[VTIME] = 0;
}

void SetFlowControl(const Dcb &dcb, termios &state)
{
    SetBits(state.c_iflag, IXON, dcb.fOutX);
    SetBits(state.c_iflag, IXOFF, dcb.fInX);
    state.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    state.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    SetBits(state.c_cflag, CRTSCTS, dcb.fOutxCtsFlow);
}

} // namespace

std::optional<termios> PortTermios(const Dcb &dcb)
{
    const auto sizeBits = CharacterSizeBits(dcb.ByteSize);
    const auto parityBits = ParityBits(dcb.Parity);
    const auto stopBits = StopBitsBits(dcb.StopBits, dcb.ByteSize);
    if (!sizeBits || !parityBits || !stopBits)
        return std::nullopt;

    termios state = dcb.portState;
    MakeRaw(state);
    state.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    state.c_cflag |= *sizeBits | *parityBits | *stopBits;
    SetFlowControl(dcb, state);
    return state;
}

std::optional<speed_t> SpeedConstant(std::uint32_t baudRate)
{
    for (const auto &[rate, constant] : SPEED_CONSTANTS) {
        if (rate == baudRate)
            return constant;
    }
    return std::nullopt;
}
