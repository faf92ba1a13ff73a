#include "filecontents.h"
#include "kernelspeed.h"
#include "openfailure.h"
#include "portconfig.h"
#include "portholder.h"
#include "portlayer.h"
#include "portnames.h"
#include "portsettings.h"
#include "portsetup.h"
#include "pseudoterminal.h"
#include "recordinglinecontrol.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Every speed the settings offer.
constexpr std::uint32_t SPEEDS[]
    = {110,    300,    600,    1200,    1800,    2400,    4800,   7200,   9600,
       14400,  19200,  38400,  57600,   76800,   115200,  128000, 153600, 230400,
       307200, 460800, 921600, 1000000, 1500000, 2000000, 3000000};

// The port's lock files go to a folder of the test's own.
class PortLayer : public testing::Test
{
protected:
    void SetUp() override
    {
        m_device.LinkAs("COM1");
        ChooseLineSettings({});
        std::filesystem::create_directory("locks");
        setenv("ORVANTA_LOCK_DIR", (std::filesystem::current_path() / "locks").c_str(), 1);
    }
    void TearDown() override
    {
        m_port.ClosePort();
        setenv("ORVANTA_LOCK_DIR", m_isolatedLockDir.c_str(), 1);
    }

    termios SlaveState() const
    {
        termios state {};
        EXPECT_EQ(tcgetattr(m_port.Handle(), &state), 0);
        return state;
    }

    const std::string m_isolatedLockDir = std::getenv("ORVANTA_LOCK_DIR");
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

// What the port has received, until `count` bytes have come or nothing comes for long.
std::string ReadPort(int fd, std::size_t count)
{
    std::string bytes(count, '\0');
    std::size_t got = 0;
    for (pollfd readable = {fd, POLLIN, 0}; got < count && poll(&readable, 1, 5000) > 0;) {
        const ssize_t read = ::read(fd, bytes.data() + got, count - got);
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return bytes;
}

// A lock file as classic terminal programs write it: ten right-aligned digits and a newline.
std::string LockFileText(pid_t pid)
{
    char text[16];
    return {text, static_cast<std::size_t>(std::snprintf(text, sizeof text, "%10d\n", pid))};
}

// The device writing all the time: the line "a\r\n" again and again, paced so that the
// terminal's buffers never fill, with the letter the test chose last; ' ' pauses it.
class CDeviceWriter
{
public:
    explicit CDeviceWriter(const CPseudoTerminal &device)
        : m_thread([this, &device] { Run(device); })
    { }
    ~CDeviceWriter()
    {
        Write('\0', 0);
        m_thread.join();
    }

    // Lines of `letter` from now on; returns once `lines` of them are written, or the writer
    // has paused.
    void Write(char letter, std::size_t lines)
    {
        std::unique_lock lock(m_mutex);
        m_letter = letter;
        m_changed.notify_all();
        m_changed.wait(
            lock, [&] { return letter == ' ' ? m_paused : m_written[letter].size() >= 3 * lines; });
    }
    std::string Written(char letter)
    {
        std::lock_guard lock(m_mutex);
        return m_written[letter];
    }

private:
    void Run(const CPseudoTerminal &device)
    {
        std::unique_lock lock(m_mutex);
        for (char letter = m_letter; letter != '\0'; letter = m_letter) {
            m_paused = letter == ' ';
            m_changed.notify_all();
            if (m_paused) {
                m_changed.wait(lock, [&] { return m_letter != ' '; });
                continue;
            }
            const std::string line = {letter, '\r', '\n'};
            lock.unlock();
            const std::size_t taken = device.Offer(line.data(), line.size());
            lock.lock();
            m_written[letter] += line.substr(0, taken);
            m_changed.wait_for(lock, 1ms, [&] { return m_letter != letter; });
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    char m_letter = 'a';
    bool m_paused = false;
    std::map<char, std::string> m_written;
    std::thread m_thread;
};

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

// A reader that takes no lock (a cat, a terminal program, a modem prober) would split the bytes
// with the port. A descriptor that only names the device (as a wait for a lost port keeps one)
// reads nothing and keeps no port from opening.
TEST_F(PortLayer, PortAnotherProcessHasOpenDoesNotOpen)
{
    {
        const CPortHolder reader(m_device.SlavePath(), false);
        EXPECT_FALSE(m_port.OpenPort(0));
        EXPECT_EQ(DescribeOpenFailure(m_port.LastFailure()), reader.BusyText());
    }
    const CPortHolder name(m_device.SlavePath(), false, CPortHolder::Open::PathOnly);
    EXPECT_TRUE(m_port.OpenPort(0)) << DescribeOpenFailure(m_port.LastFailure());
}

// The lock files of classic terminal programs, named after the device's path under /dev: one
// that names a live process refuses the port, one whose process has ended is replaced. While the
// port is open its own names this process, and a folder that takes no lock file keeps no port
// from opening.
TEST_F(PortLayer, LockFilesOfOtherProgramsAndItsOwn)
{
    std::string lockFile = m_device.SlavePath();
    ASSERT_TRUE(lockFile.starts_with("/dev/pts/"));
    lockFile.replace(0, 9, "locks/LCK..pts_");
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    const pid_t live = getppid();
    std::string liveName = Contents("/proc/" + std::to_string(live) + "/comm");
    liveName.pop_back();

    std::ofstream(lockFile) << LockFileText(live);
    EXPECT_FALSE(m_port.OpenPort(0));
    EXPECT_EQ(DescribeOpenFailure(m_port.LastFailure()),
              liveName + " (プロセスID " + std::to_string(live) + ") がポートを使用中です。");
    EXPECT_EQ(Contents(lockFile), LockFileText(live));

    std::ofstream(lockFile) << LockFileText(ended);
    ASSERT_TRUE(m_port.OpenPort(0));
    EXPECT_EQ(Contents(lockFile), LockFileText(getpid()));
    m_port.ClosePort();
    EXPECT_FALSE(std::filesystem::exists(lockFile));

    setenv("ORVANTA_LOCK_DIR", "no-such-folder", 1);
    EXPECT_TRUE(m_port.OpenPort(0));
}

// A new pseudo-terminal has the kernel's settings, as a freshly plugged adapter does: its line
// discipline echoes what the device sends and turns CR into LF. The device writes all through
// the open; from the moment OpenPort returns nothing comes back, and once the port is configured
// it keeps the bytes as the device wrote them, and none from before.
TEST_F(PortLayer, IsRawFromTheOpenAndKeepsOnlyWhatCameUnderItsSettings)
{
    CDeviceWriter device(m_device);
    device.Write('a', 3);
    ASSERT_TRUE(m_port.OpenPort(0));
    device.Write('b', 20);
    device.Write(' ', 0);
    Dcb dcb;
    CommTimeouts commTimeouts;
    ASSERT_TRUE(m_port.ApplyPortSettings(g_portSettings, dcb, commTimeouts));
    ASSERT_TRUE(m_port.ConfigurePort(dcb, commTimeouts));
    device.Write('c', 20);
    device.Write(' ', 0);

    const std::string echoed = m_device.Receive(m_device.BytesWaiting(), 0ms);
    EXPECT_EQ(echoed.find_first_of("bc"), std::string::npos) << "echoed after the open: " << echoed;
    const std::string sent = device.Written('c');
    EXPECT_EQ(ReadPort(m_port.Handle(), sent.size()), sent);
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
// wait for it: queued output is dropped and flow control let go on the caller's thread, and only
// the close itself waits on a thread of its own. The kernel holds a real terminal while its
// close waits, so an open of it waits for the close, and then has settings of its own.
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
    auto reopenedAfterTheClose = std::async(std::launch::async, [&] {
        return OpenConfiguredPort(port, 0) && control->Count("close") == 1;
    });
    control->HoldClose(false);
    EXPECT_TRUE(reopenedAfterTheClose.get()) << "the reopen failed, or did not wait for the close";

    const auto calls = control->Calls();
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

// An open that would wait for the previous close longer than its bound reports the port busy,
// and why; once the close has ended the port opens.
TEST(PortClose, ReopenWhileThePreviousCloseGoesOnPastTheBoundFails)
{
    CTempWorkDir workDir;
    CPseudoTerminal device;
    device.LinkAs("COM1");
    const auto control = std::make_shared<CRecordingLineControl>();
    CSerialPort port(control);
    ASSERT_TRUE(port.OpenPort(0));
    control->HoldClose(true);
    port.ClosePort();
    port.SetPreviousCloseWait(50ms);
    EXPECT_FALSE(port.OpenPort(0));
    EXPECT_EQ(DescribeOpenFailure(port.LastFailure()), "前の接続がまだ閉じられていません。");
    control->HoldClose(false);
    port.SetPreviousCloseWait(5s);
    EXPECT_TRUE(port.OpenPort(0));
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
