// Faults from outside while the whole window runs: a device that disappears mid-stream, port names
// that reach something other than a terminal, a log directory that takes nothing, an rs232c.ini
// that holds no record, and output that never drains. In each the window keeps running, shows the
// message for the fault or none, does not spin, and keeps every byte that it received.
#include "monitorrun.h"
#include "portchoicetables.h"
#include "portlayer.h"
#include "reader.h"
#include "recordinglinecontrol.h"
#include "sending.h"
#include "settingsfile.h"
#include "settingsfilerecord.h"
#include "templates.h"
#include "texts.h"
#include "threadcputime.h"
#include "unprivilegedrun.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using Action = std::function<void()>;

constexpr char XON = 0x11;
constexpr char XOFF = 0x13;

// Distinct XYZ frames, so that a lost, doubled or reordered piece shows.
std::string Frames(int count, int first = 0)
{
    std::string frames;
    char frame[32];
    for (int i = first; i < first + count; ++i) {
        const int value = i % 0x1000;
        std::snprintf(frame, sizeof frame, "X%04XY%04XZ%04X\r\n", value, 0xFFF - value, i % 7);
        frames += frame;
    }
    return frames;
}

std::chrono::nanoseconds CallingThreadCpuTime()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// How long the calling thread was off the processor while it ran action: about all of the time
// for a thread that waits in the kernel, next to nothing for one that spins.
std::chrono::milliseconds TimeSpentWaiting(const Action &action)
{
    const auto wallBefore = Clock::now();
    const auto cpuBefore = CallingThreadCpuTime();
    action();
    const auto cpu = CallingThreadCpuTime() - cpuBefore;
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - wallBefore - cpu);
}

// A reader that spins on a lost or missing port uses most of this span on the processor; one
// that waits in the kernel next to none of it.
constexpr auto QUIET_SPAN = 300ms;
constexpr auto QUIET_CPU_TIME = 50ms;

// The CPU time the reader thread uses while the window goes on pumping for QUIET_SPAN.
std::chrono::milliseconds ReaderCpuTimeOverQuietSpan(CFakeWindow &window)
{
    // A reader that has just started names its thread first thing.
    window.WaitFor([] { return ThreadCpuTime(READER_THREAD_NAME).has_value(); });
    return ThreadCpuTimeDuring(READER_THREAD_NAME,
                               [&] { window.WaitFor([] { return false; }, QUIET_SPAN); });
}

// Long enough for a wait that tried the port on a timer every 0.6 s to show it twice.
constexpr auto QUIET_WAIT = 1300ms;

// The whole stall bound must pass before a send gives up, and the window waits through it. The
// tests shorten the bound, so that none of them waits the real one.
constexpr auto STALL_BOUND = 600ms;
constexpr auto STALL_WAIT_MARGIN = 150ms;

std::string RecordBytes(const PortSettings &settings)
{
    const SettingsFileRecord record = EncodeSettingsRecord(settings);
    return {record.begin(), record.end()};
}

// A save writes rs232c.ini.<process id>.tmp beside the file and renames it over the file.
bool SettingsTemporaryLeft()
{
    for (const auto &entry : fs::directory_iterator(".")) {
        if (entry.path().filename().string().starts_with(std::string(SETTINGS_FILE_NAME) + "."))
            return true;
    }
    return false;
}

PortSettings DefaultSettings()
{
    PortSettings settings {};
    SetDefaultPortSettings(settings);
    return settings;
}

class MonitorFaults : public MonitorRun
{
protected:
    CFakeWindow &StartWindow() { return MonitorRun::StartWindow(m_lineControl); }

    // The modem lines of a pseudo-terminal cannot be seen; the raising of them is recorded.
    const std::shared_ptr<CRecordingLineControl> m_lineControl
        = std::make_shared<CRecordingLineControl>();
};

// An adapter pulled out mid-stream and plugged back in: closing a pseudo-terminal's device end
// hangs the port up exactly as an unplug does, and a new one behind the same name is the
// adapter come back. DTR and RTS are raised at start-up and again on the device come back.
TEST_F(MonitorFaults, DeviceUnpluggedMidStreamIsWaitedForAndTakenUpAgain)
{
    auto device = std::make_unique<CPseudoTerminal>();
    device->LinkAs("COM1");
    StartWindow();
    ASSERT_TRUE(Window().messages.empty()) << Window().messages[0].text;
    EXPECT_EQ(m_lineControl->Count("raise modem lines"), 1u) << "DTR and RTS at start-up";

    const std::string stream = Frames(4000);
    const std::size_t half = stream.size() / 2;
    device->Send(stream.substr(0, half));
    ASSERT_TRUE(ReceivedWithin(half));
    // The rest goes while the reader is busy with it, and the line is gone right after, with
    // whatever the reader has not read yet.
    device->Send(stream.substr(half));
    device->HangUp();

    const std::string lost = "COM1　の接続が切れました。再接続を待っています";
    ASSERT_TRUE(Window().WaitFor([&] { return Status() == lost; }));
    EXPECT_FALSE(Monitor().Port().IsOpen());
    EXPECT_TRUE(Monitor().WaitingForPort());
    const std::string kept = Received();
    EXPECT_GE(kept.size(), half);
    EXPECT_EQ(kept, stream.substr(0, kept.size())) << "the window holds the stream's beginning";
    EXPECT_TRUE(Window().WaitFor(
        [&] { return Window().Text(IDC_BYTE_COUNT) == std::to_string(kept.size()); }));
    EXPECT_TRUE(Window().messages.empty());
    // Sending to the lost line fails at once.
    Window().Type(IDC_SEND_TEXT, "after");
    Monitor().OnSend();
    EXPECT_EQ(Messages(), std::vector<std::string> {Strings::SEND_FAILED});

    // Without its link COM1 leads elsewhere (an on-board port, or nothing): not the device that
    // went, so the wait goes on. The link's removal is seen at once, and then, while nothing
    // changes, the port is not tried again.
    const int triesBefore = Monitor().ReconnectTries();
    device.reset();
    fs::remove("COM1");
    ASSERT_TRUE(Window().WaitFor([&] { return Monitor().ReconnectTries() > triesBefore; }));
    const int triesSeen = Monitor().ReconnectTries();
    Window().WaitFor([] { return false; }, QUIET_WAIT);
    EXPECT_EQ(Monitor().ReconnectTries(), triesSeen) << "tries without a change";
    EXPECT_TRUE(Monitor().WaitingForPort());
    EXPECT_EQ(Status(), lost);

    // Plugged in again: the same name now leads to another device.
    CPseudoTerminal replugged;
    replugged.LinkAs("COM1");
    const auto plugged = Clock::now();
    ASSERT_TRUE(Window().WaitFor([&] { return Status() == "COM1　に再接続しました"; }));
    const auto reconnect
        = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - plugged);
    std::cout << "reconnected " << reconnect.count() << " ms after the device came back\n";
    EXPECT_FALSE(Monitor().WaitingForPort());
    EXPECT_TRUE(Monitor().Port().IsOpen());
    EXPECT_EQ(m_lineControl->Count("raise modem lines"), 2u) << "DTR and RTS after the reconnect";

    const std::string more = Frames(500, 4000);
    replugged.Send(more);
    ASSERT_TRUE(ReceivedWithin(kept.size() + more.size()));
    Monitor().OnCancel();
    EXPECT_EQ(LogBytes(), kept + more);
    EXPECT_EQ(Window().messages.size(), 1u);
}

// While the window waits for a lost port, the user's choice of port and closing the window end
// the wait.
TEST_F(MonitorFaults, PortSelectionAndCloseEndTheWaitForALostPort)
{
    for (const bool selectPort : {true, false}) {
        SCOPED_TRACE(selectPort ? "port selection" : "close");
        CPseudoTerminal device;
        fs::remove("COM1");
        device.LinkAs("COM1");
        StartWindow();
        device.HangUp();
        ASSERT_TRUE(Window().WaitFor([&] { return Monitor().WaitingForPort(); }));
        if (selectPort) {
            Monitor().OnPortSelect();
            EXPECT_EQ(Status(), Strings::STATUS_PORT_NOT_SET);
        } else {
            Monitor().OnCancel();
        }
        EXPECT_FALSE(Monitor().WaitingForPort());
        m_window.reset();
    }
}

// A hang-up reported just as the user chooses ポート選択: the report reaches the window while the
// settings dialog runs, after the reader that made it has stopped. The port chosen then is read
// undisturbed, with no wait for a port and no reconnection behind it.
TEST_F(MonitorFaults, HangUpReportedDuringPortSelectionIsNotActedOnLater)
{
    auto device = std::make_unique<CPseudoTerminal>();
    device->LinkAs("COM1");
    StartWindow();
    device->HangUp();
    // The reader has posted its report; the window has not taken it yet.
    const auto deadline = Clock::now() + 10s;
    while (!Monitor().Reader().PortLost() && Clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(Monitor().Reader().PortLost());

    CPseudoTerminal next;
    Window().portSettings = [&] {
        // A modal dialog's own loop delivers what was posted meanwhile.
        Window().Pump();
        device.reset();
        next.LinkAs("COM1");
    };
    Monitor().OnPortSelect();
    EXPECT_FALSE(Monitor().WaitingForPort());
    EXPECT_EQ(Status(), Strings::STATUS_PORT_SET);

    const std::string frames = Frames(50);
    next.Send(frames);
    ASSERT_TRUE(ReceivedWithin(frames.size()));
    EXPECT_EQ(Received(), frames);
    EXPECT_EQ(Status(), Strings::STATUS_PORT_SET);
    EXPECT_TRUE(Window().messages.empty()) << Window().messages[0].text;
}

TEST_F(MonitorFaults, LineErrorCountsShowOnTheStatusLine)
{
    StartWindow();
    Window().LineErrorsChanged({.overrun = 3, .framing = 1, .parity = 0, .breaks = 12});
    Window().Pump();
    EXPECT_EQ(Status(), "受信エラー　オーバーラン 3　フレーミング 1　パリティ 0　ブレーク 12");
}

struct NonTerminalEntry
{
    const char *name;
    Action make;
};

const NonTerminalEntry NON_TERMINAL_ENTRIES[] = {
    {"FIFO", [] { ASSERT_EQ(mkfifo("COM1", 0600), 0); }},
    {"regular file", [] { WriteFile("COM1", "not a terminal"); }},
    {"directory", [] { fs::create_directory("COM1"); }},
};

// A port that does not open leaves the program running without one; one that opens but is no
// terminal, or refuses the settings, ends it before anything is written.
TEST_F(MonitorFaults, StartUpOnAPortThatDoesNotServe)
{
    struct Row
    {
        const char *name;
        Action make;
        Action settings;
        const char *message;
        // The box's second paragraph, where the row checks it.
        const char *detail;
        bool endsAtStartup;
    };
    std::optional<CPseudoTerminal> device;
    const Row rows[] = {
        {"link to nothing", [] { ASSERT_EQ(symlink("no-such-device", "COM1"), 0); }, nullptr,
         Strings::PORT_MISSING,
         "デバイスが見つかりません。アダプタが接続されているか確認してください。", false},
        {"FIFO", NON_TERMINAL_ENTRIES[0].make, nullptr, Strings::PORT_STATE_UNREADABLE, nullptr,
         true},
        {"regular file", NON_TERMINAL_ENTRIES[1].make, nullptr, Strings::PORT_STATE_UNREADABLE,
         nullptr, true},
        {"directory", NON_TERMINAL_ENTRIES[2].make, nullptr, Strings::PORT_MISSING, nullptr, false},
        // The user picks 1.5 stop bits with 8 data bits, which no port accepts.
        {"1.5 stop bits", [&] { device.emplace().LinkAs("COM1"); },
         [] { g_portSettings.stopBits = 1; }, Strings::PORT_CONFIG_REFUSED, nullptr, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        row.make();
        m_portSettings = row.settings;
        StartWindow();

        EXPECT_EQ(Messages(), std::vector<std::string> {row.message});
        if (row.detail) {
            EXPECT_EQ(Window().messages[0].informativeText, row.detail);
        }
        EXPECT_EQ(Monitor().EndedAtStartup(), row.endsAtStartup);
        EXPECT_EQ(Window().ended, row.endsAtStartup ? 1 : 0);
        EXPECT_FALSE(Monitor().Port().IsOpen());
        EXPECT_FALSE(Monitor().Reader().Running());
        EXPECT_EQ(g_settingsLoaded, 1);
        EXPECT_EQ(Window().Title(), "Orvanta (VER 3.00)   ");
        if (row.endsAtStartup) {
            EXPECT_FALSE(fs::exists(SETTINGS_FILE_NAME));
            EXPECT_FALSE(fs::exists("DATALOG"));
        } else {
            EXPECT_EQ(Status(), Strings::STATUS_NO_PORT);
            EXPECT_EQ(Window().Text(IDC_PORT_INFO), DEFAULT_PORT_INFO);
            EXPECT_FALSE(Window().TimerRunning(REDRAW_TIMER));
            // The close sequence runs whole: the log and the settings file are written.
            Receive("X0100\r\n");
            Monitor().OnCancel();
            EXPECT_EQ(Window().ended, 1);
            EXPECT_EQ(LogBytes(), "X0100\r\n");
            EXPECT_EQ(fs::file_size(SETTINGS_FILE_NAME), 124u);
            EXPECT_EQ(Window().messages.size(), 1u);
        }
        if (fs::is_regular_file("COM1")) {
            EXPECT_EQ(Contents("COM1"), "not a terminal");
        }
        m_window.reset();
        device.reset();
        fs::remove_all("COM1");
        fs::remove_all("DATALOG");
        fs::remove_all(SETTINGS_FILE_NAME);
    }
}

TEST_F(MonitorFaults, PortSelectionReachingNoTerminal)
{
    struct Outcome
    {
        std::vector<std::string> messages;
        const char *status;
    };
    // The port selection closes a port that opened but is no terminal without a message box, and
    // its status line says the port was not set; a name that does not open at all is reported.
    const Outcome outcomes[] = {
        {{}, Strings::STATUS_PORT_NOT_SET},
        {{}, Strings::STATUS_PORT_NOT_SET},
        {{"COM1　ポートがオープンできません。"}, Strings::STATUS_PORT_NOT_SET},
    };
    for (std::size_t row = 0; row < std::size(NON_TERMINAL_ENTRIES); ++row) {
        const NonTerminalEntry &entry = NON_TERMINAL_ENTRIES[row];
        const Outcome &outcome = outcomes[row];
        SCOPED_TRACE(entry.name);
        CPseudoTerminal device;
        device.LinkAs("COM1");
        StartWindow();
        const std::string before = Frames(10);
        device.Send(before);
        ASSERT_TRUE(ReceivedWithin(before.size()));

        fs::remove("COM1");
        entry.make();
        Monitor().OnPortSelect();

        EXPECT_EQ(Messages(), outcome.messages);
        EXPECT_EQ(Status(), outcome.status);
        EXPECT_FALSE(Monitor().Port().IsOpen());
        EXPECT_TRUE(Monitor().Reader().Running());
        EXPECT_LT(ReaderCpuTimeOverQuietSpan(Window()), QUIET_CPU_TIME)
            << "a reader without a port spins";
        EXPECT_EQ(Received(), before);
        Monitor().OnCancel();
        EXPECT_EQ(LogBytes(), before);
        EXPECT_EQ(Messages(), outcome.messages);
        fs::remove_all("COM1");
        fs::remove_all("DATALOG");
    }
}

void RestoreFileSizeLimit()
{
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
}

// Far below what the window holds, so that the log write stops part-way, as on a full disk.
void LimitFileSize()
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &limit);
}

struct LogFault
{
    const char *name;
    Action arrange;
    Action undo;
    const char *message;
    // The user's answer when the close cannot write the log.
    MessageAnswer atClose = MessageAnswer::Retry;
};

const LogFault LOG_FAULTS[] = {
    {"file named DATALOG", [] { WriteFile("DATALOG", "in the way"); },
     [] { fs::remove("DATALOG"); }, Strings::LOG_CANNOT_OPEN},
    {"read-only log directory", [] { mkdir("DATALOG", 0555); }, [] { chmod("DATALOG", 0755); },
     Strings::LOG_CANNOT_OPEN},
    {"read-only working directory", [] { chmod(".", 0555); }, [] { chmod(".", 0755); },
     Strings::LOG_CANNOT_OPEN},
    {"no space left", LimitFileSize, RestoreFileSizeLimit, Strings::LOG_CANNOT_WRITE},
    {"file named DATALOG, text let go", [] { WriteFile("DATALOG", "in the way"); }, [] {},
     Strings::LOG_CANNOT_OPEN, MessageAnswer::Ignore},
};

// The window runs without a port here, so the child that the check runs in has no reader thread
// to lose.
TEST_F(MonitorFaults, LogThatTakesNothingKeepsTheTextUntilItDoes)
{
    ASSERT_EQ(::symlink("no-such-device", "COM1"), 0);
    for (const LogFault &fault : LOG_FAULTS) {
        SCOPED_TRACE(fault.name);
        StartWindow();
        Window().messages.clear();
        const std::string first = Frames(200);
        const std::string later = Frames(5, 200);
        const auto check = [&] {
            fault.arrange();
            Receive(first);
            Monitor().OnDisplayClear();
            EXPECT_EQ(Messages(), std::vector<std::string> {fault.message});
            EXPECT_EQ(Received(), first);
            EXPECT_EQ(Window().Text(IDC_BYTE_COUNT), std::to_string(first.size()));
            EXPECT_EQ(Monitor().Samples().writeIndex, 200);

            // At the close the user is asked; the fault is gone by the time they retry.
            Receive(later);
            Window().answer = [&](const CFakeWindow::Message &message) {
                EXPECT_EQ(message.buttons, MessageButtons::RetryIgnore);
                fault.undo();
                return fault.atClose;
            };
            Monitor().OnCancel();
            EXPECT_EQ(Messages(), std::vector<std::string>(2, fault.message));
            EXPECT_EQ(LogBytes(),
                      fault.atClose == MessageAnswer::Retry ? first + later : "<0 log files>");
            EXPECT_EQ(Window().ended, 1);
            EXPECT_EQ(fs::file_size(SETTINGS_FILE_NAME), SETTINGS_RECORD_SIZE);
        };
        EXPECT_TRUE(PassesInUnprivilegedChild(check));
        fs::remove_all("DATALOG");
        fs::remove_all(SETTINGS_FILE_NAME);
    }
}

struct SettingsFault
{
    const char *name;
    Action arrange;
    // The settings that the window starts with: those of the file, or the defaults.
    const char *portInfo;
    // Whether the close may replace the entry with a good record, or must leave it as it was.
    bool replaced;
};

PortSettings At19200()
{
    PortSettings settings = DefaultSettings();
    StoreChoice(settings, PORT_CHOICE_TABLES.speed[10]);
    return settings;
}

const SettingsFault SETTINGS_FAULTS[] = {
    {"read-only",
     [] {
         WriteFile(SETTINGS_FILE_NAME, RecordBytes(At19200()));
         chmod(SETTINGS_FILE_NAME, 0444);
     },
     " COM1 ,  19200 BPS , 8 BITS , No PARITY , 1 STOP , No FLOW", false},
    {"directory", [] { fs::create_directory(SETTINGS_FILE_NAME); }, DEFAULT_PORT_INFO, false},
    {"FIFO", [] { ASSERT_EQ(mkfifo(SETTINGS_FILE_NAME, 0644), 0); }, DEFAULT_PORT_INFO, false},
    {"garbage", [] { WriteFile(SETTINGS_FILE_NAME, std::string(SETTINGS_RECORD_SIZE, '\xA7')); },
     DEFAULT_PORT_INFO, true},
    {"short", [] { WriteFile(SETTINGS_FILE_NAME, RecordBytes(At19200()).substr(0, 100)); },
     DEFAULT_PORT_INFO, true},
    {"empty", [] { WriteFile(SETTINGS_FILE_NAME, ""); }, DEFAULT_PORT_INFO, true},
};

TEST_F(MonitorFaults, SettingsFileThatHoldsNoRecord)
{
    for (const SettingsFault &fault : SETTINGS_FAULTS) {
        SCOPED_TRACE(fault.name);
        CPseudoTerminal device;
        device.LinkAs("COM1");
        fault.arrange();
        const bool wasFile = fs::is_regular_file(SETTINGS_FILE_NAME);
        const std::string before = wasFile ? Contents(SETTINGS_FILE_NAME) : std::string();
        const auto type = fs::status(SETTINGS_FILE_NAME).type();
        StartWindow();

        EXPECT_TRUE(Window().messages.empty()) << Window().messages[0].text;
        EXPECT_FALSE(Monitor().EndedAtStartup());
        EXPECT_EQ(Window().Text(IDC_PORT_INFO), fault.portInfo);
        const std::string frames = Frames(3);
        device.Send(frames);
        ASSERT_TRUE(ReceivedWithin(frames.size()));
        Monitor().OnCancel();

        EXPECT_EQ(LogBytes(), frames);
        if (fault.replaced) {
            EXPECT_TRUE(Window().messages.empty());
            EXPECT_EQ(Contents(SETTINGS_FILE_NAME), RecordBytes(DefaultSettings()));
        } else {
            EXPECT_EQ(Messages(), std::vector<std::string> {Strings::SETTINGS_FILE_UNWRITABLE});
            EXPECT_EQ(fs::status(SETTINGS_FILE_NAME).type(), type);
            if (wasFile) {
                EXPECT_EQ(Contents(SETTINGS_FILE_NAME), before);
            }
        }
        EXPECT_FALSE(SettingsTemporaryLeft());
        fs::remove("COM1");
        fs::remove_all("DATALOG");
        fs::remove_all(SETTINGS_FILE_NAME);
    }
}

TEST_F(MonitorFaults, OutputHeldByXoffForeverFailsTheSendOnceAndReceivingGoesOn)
{
    CPseudoTerminal device;
    device.LinkAs("COM1");
    m_portSettings = [] { StoreChoice(g_portSettings, PORT_CHOICE_TABLES.flow[2]); };
    StartWindow();
    Monitor().SetWriteStallTimeout(STALL_BOUND);
    ASSERT_EQ(std::string(g_portSettings.flowText), "Xon/Xoff");

    // The line discipline takes the XOFF; the frame behind it shows that it has been taken.
    const std::string first = Frames(2);
    device.Send(XOFF + first);
    ASSERT_TRUE(ReceivedWithin(first.size()));

    const std::string during = Frames(50, 2);
    device.Send(during);
    Window().Type(IDC_SEND_TEXT, "hello");
    const auto idle = TimeSpentWaiting([&] { Monitor().OnSend(); });
    EXPECT_EQ(Messages(), std::vector<std::string> {Strings::SEND_FAILED});
    EXPECT_GE(idle, STALL_BOUND - STALL_WAIT_MARGIN) << "the window waits for the line, not spins";
    EXPECT_EQ(device.BytesWaiting(), 0u);

    const std::string after = Frames(50, 52);
    device.Send(after);
    ASSERT_TRUE(ReceivedWithin(first.size() + during.size() + after.size()));
    EXPECT_EQ(Received(), first + during + after);

    // Once the device lets output go again, the same text goes out whole.
    device.Send(std::string {XON});
    Monitor().OnSend();
    EXPECT_EQ(Window().messages.size(), 1u);
    EXPECT_EQ(device.Receive(5, 5s), "hello");
    Monitor().OnCancel();
    EXPECT_EQ(LogBytes(), first + during + after);
}

TEST_F(MonitorFaults, FiveMegabytesPastedForADeviceThatNeverReadsFailOnce)
{
    CPseudoTerminal device;
    device.LinkAs("COM1");
    StartWindow();
    Monitor().SetWriteStallTimeout(STALL_BOUND);
    const std::string first = Frames(5);
    device.Send(first);
    ASSERT_TRUE(ReceivedWithin(first.size()));

    std::string pasted;
    while (pasted.size() < 5 * 1024 * 1024)
        pasted += "0123456789012345678901234567890123456789012345678901234567890123456789"
                  "012345678901234567890123456789\n";
    Window().Type(IDC_SEND_TEXT, pasted);
    const std::string encoded = EncodeSendText(pasted);
    ASSERT_GE(encoded.size(), 5u * 1024 * 1024);
    const auto idle = TimeSpentWaiting([&] { Monitor().OnSend(); });
    EXPECT_EQ(Messages(), std::vector<std::string> {Strings::SEND_FAILED});
    EXPECT_GE(idle, STALL_BOUND - STALL_WAIT_MARGIN) << "the window waits for the line, not spins";

    // What the line took before it filled is the text's beginning, byte for byte.
    const std::string arrived = device.Receive(device.BytesWaiting(), 0ms);
    EXPECT_FALSE(arrived.empty());
    EXPECT_EQ(arrived, encoded.substr(0, arrived.size()));

    const std::string after = Frames(5, 5);
    device.Send(after);
    ASSERT_TRUE(ReceivedWithin(first.size() + after.size()));
    Monitor().OnCancel();
    EXPECT_EQ(LogBytes(), first + after);
    EXPECT_EQ(Window().messages.size(), 1u);
}

} // namespace
