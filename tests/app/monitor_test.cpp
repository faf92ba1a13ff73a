// What the main window does, in a window that only records: start-up, receiving, the clear, the
// close, the port selection and the About command, on a pseudo-terminal as the port.
#include "monitorrun.h"
#include "templates.h"
#include "texts.h"

#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The device, linked as COM1 in the working directory. It holds the port's end too, so that the
// bytes no reader has taken yet can be counted.
class CDevice : public CPseudoTerminal
{
public:
    CDevice()
        : CPseudoTerminal(OtherEnd::HeldInProcess)
    {
        LinkAs("COM1");
    }
};

// The close takes the chunks that the reader handed over before it stopped, though no pump
// delivered them yet.
TEST_F(MonitorRun, StartsOnTheDeviceReceivesRedrawsAndKeepsEveryByteToTheLog)
{
    CDevice device;
    CFakeWindow &window = StartWindow();
    EXPECT_TRUE(window.messages.empty()) << window.messages[0].text;
    EXPECT_EQ(Status(), "起動時のCOMポートが設定されました");
    EXPECT_TRUE(window.TimerRunning(REDRAW_TIMER));
    EXPECT_TRUE(Monitor().Reader().Running());

    // Before anything arrived, a tick of the redraw timer paints the legends and the grid only.
    Monitor().OnTimer(REDRAW_TIMER);
    EXPECT_EQ(window.legendPaints, 1);
    EXPECT_EQ(window.gridPaints, 1);
    EXPECT_EQ(window.tracePaints, 0);

    device.Send("X07FFY0801Z0ABC\r\n");
    ASSERT_TRUE(window.WaitFor([&] { return window.Text(IDC_BYTE_COUNT) == "17"; }));
    EXPECT_EQ(Monitor().Samples().z[0], 335);
    EXPECT_EQ(Monitor().TracesShown(), 1);
    const int traces = window.tracePaints;
    Monitor().OnTimer(REDRAW_TIMER);
    EXPECT_EQ(window.legendPaints, 2);
    EXPECT_EQ(window.tracePaints, traces + 1);

    const std::uint64_t wakeUps = Monitor().Reader().WakeCount();
    device.Send("X0100\r\n");
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while ((Monitor().Reader().WakeCount() == wakeUps || device.BytesWaitingForReader() != 0)
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    Monitor().OnCancel();
    EXPECT_FALSE(Monitor().Reader().Running());
    EXPECT_FALSE(window.TimerRunning(REDRAW_TIMER));
    EXPECT_EQ(Monitor().TracesShown(), 0);
    EXPECT_EQ(LogBytes(), "X07FFY0801Z0ABC\r\nX0100\r\n");
    EXPECT_EQ(std::filesystem::file_size("rs232c.ini"), 124u);
    EXPECT_EQ(window.ended, 1);
}

// A demo opens no port, not even one that is there: the demo device's frames come as a device's
// would, into the text, the graph and the log, until the user selects a port, which ends it.
TEST_F(MonitorRun, RunsADemoWithoutAPortUntilAPortIsSelected)
{
    CDevice device;
    g_settingsLoaded = 0;
    m_window = std::make_unique<CFakeWindow>();
    int settingsRuns = 0;
    Window().portSettings = [&] { ++settingsRuns; };
    Monitor().UseDemoDevice();
    Monitor().OnInitDialog();
    EXPECT_EQ(settingsRuns, 0);
    EXPECT_FALSE(Monitor().Port().IsOpen());
    EXPECT_EQ(Status(), "デモ中です。装置につなぐときは「ポート選択」を押してください");
    EXPECT_EQ(Window().Text(IDC_PORT_INFO), " デモ：装置の代わりに模擬データ (毎秒100フレーム)");
    ASSERT_TRUE(ReceivedWithin(34));
    EXPECT_EQ(Received().substr(0, 34), "X0800Y0333Z0F32\r\nX085CY02F8Z0F32\r\n");
    EXPECT_GE(Monitor().Samples().writeIndex, 2);

    Monitor().OnPortSelect();
    EXPECT_EQ(settingsRuns, 1);
    EXPECT_FALSE(Monitor().InDemo());
    EXPECT_TRUE(Monitor().Reader().Running());
    Window().Pump();
    const std::string demoText = Received();
    device.Send("X0100\r\n");
    ASSERT_TRUE(Window().WaitFor([&] { return Received().ends_with("X0100\r\n"); }));
    EXPECT_EQ(Received(), demoText + "X0100\r\n");
    Monitor().OnCancel();
    EXPECT_EQ(LogBytes(), demoText + "X0100\r\n");
}

// The window runs without a port; the test hands it the chunks as the reader would.
class MonitorWithoutPort : public MonitorRun
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(::symlink("no-such-device", "COM1"), 0);
        StartWindow();
        Window().messages.clear();
    }
};

// A chunk after a quiet spell shows at once; one that follows it closely is taken at once and
// shown with the others of its interval.
TEST_F(MonitorWithoutPort, CountsTheBytesOfEveryChunkAndShowsThemPaced)
{
    Receive("01234567\r\n");
    EXPECT_EQ(Window().Text(IDC_BYTE_COUNT), "10");
    Receive("abcde\r\n");
    EXPECT_EQ(Received(), "01234567\r\nabcde\r\n");
    EXPECT_EQ(Window().Text(IDC_BYTE_COUNT), "10");
    EXPECT_TRUE(Window().TimerRunning(SHOW_RECEIVED_TIMER));
    EXPECT_TRUE(Window().WaitFor([&] { return Window().Text(IDC_BYTE_COUNT) == "17"; }));
    EXPECT_FALSE(Window().TimerRunning(SHOW_RECEIVED_TIMER));

    Receive(std::string("X0100\r\n\0X0200\r\n", 15));
    EXPECT_TRUE(Window().WaitFor([&] { return Window().Text(IDC_BYTE_COUNT) == "32"; }))
        << "bytes after a NUL count too";
    EXPECT_EQ(Monitor().Samples().writeIndex, 1) << "the frames end at the NUL";
}

std::string XFrames(int count)
{
    std::string frames;
    for (int i = 0; i < count; ++i)
        frames += "X0100\r\n";
    return frames;
}

// Each row is one chunk, shown on its own: the frames it brings decide how soon the next show
// may come (a sweep holds 375 slots) and whether the graph is drawn again at all.
TEST_F(MonitorWithoutPort, ShowsLessOftenOnceAWholeSweepArrivesAndDrawsTheGraphOnlyForNewFrames)
{
    struct Row
    {
        const char *what;
        std::string chunk;
        std::chrono::milliseconds nextShowAfter;
        bool graphDrawn;
    };
    const Row rows[] = {
        {"text before any graph", "no frames\r\n", 40ms, true},
        {"one frame short of a sweep", XFrames(374), 40ms, true},
        {"a whole sweep", XFrames(375), 100ms, true},
        {"text only, the graph unchanged", "text\r\n", 40ms, false},
        {"more than a sweep", XFrames(500), 100ms, true},
        {"one frame", XFrames(1), 40ms, true},
    };
    std::size_t total = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const int drawnBefore = Window().tracePaints;
        Receive(row.chunk);
        total += row.chunk.size();
        ASSERT_TRUE(Window().WaitFor(
            [&] { return Window().Text(IDC_BYTE_COUNT) == std::to_string(total); }));
        EXPECT_EQ(Monitor().ShowInterval(), row.nextShowAfter);
        EXPECT_EQ(Window().tracePaints, drawnBefore + (row.graphDrawn ? 1 : 0));
    }
}

TEST_F(MonitorWithoutPort, ReplacesTheTextOnAReceiveErrorAndKeepsTheCount)
{
    Receive(std::string(100, 'a'));
    Monitor().OnReceiveError();
    // エラー in windows-31j.
    EXPECT_EQ(Received(), "\x83\x47\x83\x89\x81\x5B");
    EXPECT_EQ(Window().Text(IDC_BYTE_COUNT), "100");
}

TEST_F(MonitorWithoutPort, SetsTheBitLengthCodeFromThePositionInTheList)
{
    const std::vector<std::string> labels {"16Bit", "14Bit", "12Bit", "10Bit", " 8Bit"};
    EXPECT_EQ(Window().ListItems(IDC_BIT_LENGTH), labels);
    EXPECT_EQ(g_bitLengthSel, 3);
    Window().Select(IDC_BIT_LENGTH, 4);
    Monitor().OnSelchangeBitLength();
    EXPECT_EQ(g_bitLengthSel, 5);
    Receive("X0ABC\r\n");
    EXPECT_EQ(Monitor().Samples().x[0], 367);
}

TEST_F(MonitorWithoutPort, ClearsEverythingOnlyAfterTheLogHoldsIt)
{
    const std::string bytes("X07FFY0801Z0ABC\r\n\x82\xa0\xff\r\n");
    Receive(bytes);
    Monitor().OnDisplayClear();
    EXPECT_TRUE(Window().messages.empty());
    EXPECT_EQ(LogBytes(), bytes);
    EXPECT_EQ(Monitor().ReceivedText().Size(), 0u);
    EXPECT_EQ(Window().Text(IDC_BYTE_COUNT), "");
    EXPECT_EQ(Monitor().Samples().writeIndex, 0);
    EXPECT_EQ(Monitor().Samples().x[0], EMPTY_SAMPLE);
    EXPECT_EQ(Monitor().TracesShown(), 0);
}

// What arrives while the log is written belongs after the clear: in the text from memory at the
// first clear, and with the journal, which opens then, at the next.
TEST_F(MonitorWithoutPort, KeepsWhatArrivesWhileTheLogIsWrittenForAfterTheClear)
{
    Receive("X0100\r\n");
    Window().ChunkReceived("X0200\r\n", 7);
    Monitor().OnDisplayClear();
    EXPECT_EQ(LogBytes(), "X0100\r\n");
    EXPECT_EQ(Received(), "X0200\r\n");
    EXPECT_EQ(Monitor().Samples().writeIndex, 1);
    EXPECT_TRUE(Window().WaitFor([&] { return Window().Text(IDC_BYTE_COUNT) == "7"; }));

    Window().ChunkReceived("X0300\r\n", 7);
    Monitor().OnDisplayClear();
    EXPECT_EQ(LogBytes(), "X0100\r\nX0200\r\n");
    EXPECT_EQ(Received(), "X0300\r\n");
    EXPECT_TRUE(Window().WaitFor([] { return Contents("DATALOG/.journal") == "X0300\r\n"; }));
    Monitor().OnCancel();
    EXPECT_EQ(LogBytes(), "X0100\r\nX0200\r\nX0300\r\n");
}

TEST_F(MonitorWithoutPort, NamesTheLogAfterThePortOfTheMoment)
{
    Receive("one");
    Monitor().OnDisplayClear();
    g_portSettings.portIndex = 11;
    Receive("two");
    Monitor().OnDisplayClear();
    const std::vector<std::string> files = LogFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].starts_with("COM12_")) << files[0];
    EXPECT_TRUE(files[1].starts_with("COM1_")) << files[1];
}

TEST_F(MonitorWithoutPort, OpensTheAboutBoxForItsCommandWhateverTheLowFourBits)
{
    for (unsigned command = 0; command < 48; ++command)
        Monitor().OnSysCommand(command);
    EXPECT_EQ(Window().aboutShown, 16);
}

TEST_F(MonitorWithoutPort, ReportsAMissingPortAtSelectionAndKeepsReading)
{
    ASSERT_EQ(::symlink("no-such-device", "COM5"), 0);
    Window().portSettings = [] {
        g_portSettings.portIndex = 4;
        std::strcpy(g_portSettings.portText, "COM5");
    };
    Monitor().OnPortSelect();
    EXPECT_EQ(Messages(), std::vector<std::string> {"COM5　ポートがオープンできません。"});
    EXPECT_EQ(Status(), Strings::STATUS_PORT_NOT_SET);
    EXPECT_EQ(Window().Text(IDC_PORT_INFO), DEFAULT_PORT_INFO);
    EXPECT_EQ(Window().Title(), "Orvanta (VER 3.00)   ");
    EXPECT_TRUE(Monitor().Reader().Running());
}

// The second paragraph of the box names who holds a port that is busy.
TEST_F(MonitorWithoutPort, SaysWhoHoldsTheSelectedPort)
{
    ::unlink("COM1");
    CDevice device;
    const int holder = ::open("COM1", O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    std::string name = Contents("/proc/self/comm");
    name.erase(name.find_last_not_of('\n') + 1);

    Monitor().OnPortSelect();
    ASSERT_EQ(Window().messages.size(), 1u);
    EXPECT_EQ(Window().messages[0].text, "COM1　ポートがオープンできません。");
    EXPECT_EQ(Window().messages[0].informativeText,
              name + " (プロセスID " + std::to_string(::getpid()) + ") がポートを使用中です。");
    ::close(holder);
}

TEST_F(MonitorWithoutPort, SwitchesToTheSelectedPortAndReceivesFromIt)
{
    ::unlink("COM1");
    CDevice device;
    Window().portSettings = [] {
        g_portSettings.baudRate = 19200;
        std::strcpy(g_portSettings.speedText, " 19200");
        g_portSettings.stopBits = 2;
        std::strcpy(g_portSettings.stopBitsText, "2");
    };
    Monitor().OnPortSelect();
    EXPECT_TRUE(Window().messages.empty()) << Window().messages[0].text;
    EXPECT_EQ(Status(), Strings::STATUS_PORT_SET);
    EXPECT_EQ(Window().Text(IDC_PORT_INFO),
              " COM1 ,  19200 BPS , 8 BITS , No PARITY , 2 STOP , No FLOW");
    device.Send("X0100\r\n");
    EXPECT_TRUE(Window().WaitFor([&] { return Monitor().Samples().writeIndex == 1; }));
    // The redraw timer stays off for a run that started without a port.
    EXPECT_FALSE(Window().TimerRunning(REDRAW_TIMER));
}

} // namespace
