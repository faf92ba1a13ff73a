#include "kernelspeed.h"
#include "portconfig.h"
#include "portlayer.h"
#include "portnames.h"
#include "portsettings.h"
#include "portsetup.h"
#include "pseudoterminal.h"
#include "recordinglinecontrol.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Every speed the settings offer.
constexpr std::uint32_t SPEEDS[]
    = {110,    300,    600,    1200,    1800,    2400,    4800,   7200,   9600,
       14400,  19200,  38400,  57600,   76800,   115200,  128000, 153600, 230400,
       307200, 460800, 921600, 1000000, 1500000, 2000000, 3000000};

class PortLayer : public testing::Test
{
protected:
    void SetUp() override
    {
        m_device.LinkAs("COM1");
        ChooseLineSettings({});
    }
    void TearDown() override { m_port.ClosePort(); }

    termios SlaveState() const
    {
        termios state {};
        EXPECT_EQ(tcgetattr(m_port.Handle(), &state), 0);
        return state;
    }

    CTempWorkDir m_workDir;
    CPseudoTerminal m_device;
    CSerialPort m_port;
};

int OpenAndLock(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST_F(PortLayer, EverySpeedOfTheListReachesTheLine)
{
    for (const std::uint32_t speed : SPEEDS) {
        SCOPED_TRACE(speed);
        ChooseLineSettings({.baudRate = speed});
        ASSERT_TRUE(OpenConfiguredPort(m_port, 0));
        const KernelSpeeds speeds = KernelLineSpeeds(m_port.Handle());
        EXPECT_EQ(speeds.output, speed);
        EXPECT_EQ(speeds.input, speed);
        m_port.ClosePort();
    }
}

// A pseudo-terminal keeps 8 data bits and no parity whatever it is given, so data bits and the
// parity switch are checked on the mapping alone; everything else must reach the line.
TEST_F(PortLayer, FramingAndFlowControlReachTheLine)
{
    struct Row
    {
        const char *name;
        LineSettings line;
        tcflag_t cflagBits;
        tcflag_t iflagBits;
    };
    const Row rows[] = {
        {"8N2, no flow control", {.stopBits = STOP_BITS_TWO}, CSTOPB, 0},
        {"7O1, hardware",
         {.byteSize = 7, .parity = PARITY_ODD, .flow = FlowControl::Hardware},
         PARODD | CRTSCTS,
         0},
        {"5E1.5, Xon/Xoff",
         {.byteSize = 5,
          .parity = PARITY_EVEN,
          .stopBits = STOP_BITS_ONE_AND_HALF,
          .flow = FlowControl::XonXoff},
         CSTOPB,
         IXON | IXOFF},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ChooseLineSettings(row.line);
        ASSERT_TRUE(OpenConfiguredPort(m_port, 0));
        const termios state = SlaveState();
        EXPECT_EQ(state.c_cflag & (CSTOPB | PARODD | CRTSCTS), row.cflagBits);
        EXPECT_EQ(state.c_iflag & (IXON | IXOFF), row.iflagBits);
        EXPECT_EQ(state.c_cc[VSTART], 0x11);
        EXPECT_EQ(state.c_cc[VSTOP], 0x13);
        EXPECT_EQ(state.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(state.c_iflag & ICRNL, 0u);
        EXPECT_EQ(state.c_oflag & OPOST, 0u);
        EXPECT_EQ(state.c_cflag & (CLOCAL | CREAD), tcflag_t {CLOCAL | CREAD});
        m_port.ClosePort();
    }
}

TEST_F(PortLayer, RefusedConfigurationClosesThePort)
{
    struct Row
    {
        const char *name;
        LineSettings line;
    };
    const Row rows[] = {
        {"1.5 stop bits with 8 data bits", {.stopBits = STOP_BITS_ONE_AND_HALF}},
        {"speed 0, which would hang up the line", {.baudRate = 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ChooseLineSettings(row.line);
        Dcb dcb;
        CommTimeouts commTimeouts;
        ASSERT_TRUE(m_port.OpenPort(0));
        ASSERT_TRUE(m_port.ApplyPortSettings(g_portSettings, dcb, commTimeouts));
        EXPECT_FALSE(m_port.ConfigurePort(dcb, commTimeouts));
        EXPECT_FALSE(m_port.IsOpen());
        EXPECT_TRUE(m_device.SlaveClosedWithin(1s));
        m_port.ClosePort();
        EXPECT_FALSE(m_port.IsOpen());
    }
}

TEST_F(PortLayer, ConfigureWithoutPortFails)
{
    Dcb dcb;
    CommTimeouts commTimeouts;
    ASSERT_TRUE(m_port.OpenPort(0));
    ASSERT_TRUE(m_port.ApplyPortSettings(g_portSettings, dcb, commTimeouts));
    m_port.ClosePort();
    EXPECT_FALSE(m_port.ConfigurePort(dcb, commTimeouts));
    EXPECT_FALSE(m_port.ApplyPortSettings(g_portSettings, dcb, commTimeouts));
}

TEST_F(PortLayer, PortHeldByAnotherProgramDoesNotOpen)
{
    const int other = OpenAndLock(m_device.SlavePath());
    ASSERT_GE(other, 0);
    EXPECT_FALSE(m_port.OpenPort(0));
    EXPECT_FALSE(m_port.IsOpen());
    close(other);

    ASSERT_TRUE(m_port.OpenPort(0));
    EXPECT_LT(OpenAndLock(m_device.SlavePath()), 0);
}

// The device end keeps the terminal alive after the close; an exclusive mode left on it would
// refuse the next open by an ordinary user.
TEST_F(PortLayer, CloseReleasesExclusiveMode)
{
    ASSERT_TRUE(OpenConfiguredPort(m_port, 0));
    m_port.ClosePort();
    const int fd = open(m_device.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int exclusive = -1;
    EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(fd);
}

TEST_F(PortLayer, PortNumberOpensItsOwnEntry)
{
    CPseudoTerminal tenth;
    CPseudoTerminal sixteenth;
    tenth.LinkAs("COM10");
    sixteenth.LinkAs("COM16");
    struct Row
    {
        std::uint32_t portIndex;
        const CPseudoTerminal &device;
    };
    const Row rows[] = {{0, m_device}, {9, tenth}, {15, sixteenth}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.portIndex);
        ASSERT_TRUE(m_port.OpenPort(row.portIndex));
        EXPECT_FALSE(row.device.SlaveClosedWithin(0ms));
        m_port.ClosePort();
        EXPECT_TRUE(row.device.SlaveClosedWithin(1s));
    }
}

TEST_F(PortLayer, PortNumberBeyondTheListOpensNothing)
{
    ASSERT_TRUE(m_port.OpenPort(0));
    for (const std::uint32_t portIndex : {16u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(portIndex);
        EXPECT_FALSE(m_port.OpenPort(portIndex));
        EXPECT_FALSE(m_port.IsOpen());
    }
}

TEST(PortLayerNonTerminal, FailsWhereTheStateIsRead)
{
    CTempWorkDir workDir;
    CSerialPort port;
    std::ofstream("COM1") << "not a terminal";
    ASSERT_EQ(mkfifo("COM2", 0600), 0);
    std::filesystem::create_directory("COM3");
    ASSERT_EQ(symlink("/nonexistent-device", "COM4"), 0);
    struct Row
    {
        const char *name;
        std::uint32_t portIndex;
        bool opens;
    };
    const Row rows[] = {
        {"regular file", 0, true},
        {"FIFO", 1, true},
        {"directory", 2, false},
        {"link to a missing device", 3, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Dcb dcb;
        CommTimeouts commTimeouts;
        commTimeouts.ReadIntervalTimeout = 7;
        EXPECT_EQ(port.OpenPort(row.portIndex), row.opens);
        EXPECT_FALSE(port.ApplyPortSettings(g_portSettings, dcb, commTimeouts));
        EXPECT_EQ(commTimeouts.ReadIntervalTimeout, 7u);
        EXPECT_EQ(port.IsOpen(), row.opens);
        port.ClosePort();
    }
}

// A real line's close waits while the device holds it (CTS off, or an XOFF); a pseudo-terminal
// never does, so the close is held back here by the recording line control. The caller must not
// wait for it, and the port must open again at once with settings of its own: queued output is
// dropped and flow control let go on the caller's thread before the port is free, and only the
// close itself waits on a thread of its own.
TEST(PortClose, LetsGoOfAHeldLineOffTheCallersThread)
{
    CTempWorkDir workDir;
    CPseudoTerminal device;
    device.LinkAs("COM1");
    ChooseLineSettings({.flow = FlowControl::Hardware});
    const auto control = std::make_shared<CRecordingLineControl>();
    CSerialPort port(control);
    ASSERT_TRUE(OpenConfiguredPort(port, 0));

    control->HoldClose(true);
    std::thread::id caller;
    auto closed = std::async(std::launch::async, [&] {
        caller = std::this_thread::get_id();
        port.ClosePort();
    });
    const bool callerWaited = closed.wait_for(5s) != std::future_status::ready;
    if (callerWaited)
        control->HoldClose(false);
    ASSERT_FALSE(callerWaited) << "the caller waited for the close";
    EXPECT_FALSE(port.IsOpen());
    ChooseLineSettings({.baudRate = 19200});
    EXPECT_TRUE(OpenConfiguredPort(port, 0)) << "the old descriptor still holds the port";
    control->HoldClose(false);

    const auto calls = control->CallsAfterCloses(1, 5s);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "discard output");
    EXPECT_EQ(calls[1].name, "release flow control");
    EXPECT_EQ(calls[2].name, "close");
    EXPECT_EQ(calls[0].thread, caller);
    EXPECT_EQ(calls[1].thread, caller);
    EXPECT_NE(calls[2].thread, caller);
    EXPECT_EQ(KernelLineSpeeds(port.Handle()).output, 19200u) << "the old close undid the new open";
    port.ClosePort();
    control->CallsAfterCloses(2, 5s);
    EXPECT_TRUE(device.SlaveClosedWithin(5s));
}

// What a failed write leaves queued must not go out later, when the line moves again.
TEST(PortClose, FailedWriteDropsItsQueuedOutput)
{
    CTempWorkDir workDir;
    CPseudoTerminal device;
    device.LinkAs("COM1");
    ChooseLineSettings({});
    const auto control = std::make_shared<CRecordingLineControl>();
    CSerialPort port(control);
    ASSERT_TRUE(OpenConfiguredPort(port, 0));
    ASSERT_TRUE(port.WritePort("ok", 2));
    device.HangUp();
    EXPECT_FALSE(port.WritePort("lost", 4));
    const auto calls = control->Calls();
    ASSERT_EQ(calls.size(), 1u) << "the failed write left its output queued until the close";
    EXPECT_EQ(calls.front().name, "discard output");
    EXPECT_EQ(calls.front().thread, std::this_thread::get_id());
    port.ClosePort();
    control->CallsAfterCloses(1, 5s);
}
