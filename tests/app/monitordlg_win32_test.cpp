// The Windows window on COM5, with the test as the device on COM6 at the other end of the line
// that tools/wine-ports lays between them: the reader's chunks reach the window as posted
// messages, and its buttons, menu and keys reach the behaviour.
#include "dialogrun_win32.h"
#include "dibsurface_win32.h"
#include "filechoice_win32.h"
#include "monitordlg_win32.h"
#include "portsettings.h"
#include "portsetup.h"
#include "reader.h"
#include "receivesink.h"
#include "settingsfile.h"
#include "templates.h"
#include "tempworkdir.h"
#include "win32testing.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t WINDOW_PORT = 4; // COM5
constexpr std::uint32_t DEVICE_END = 5; // COM6

// What the device end reads.
class CDeviceInput : public CReceiveSink
{
public:
    void ChunkReceived(const char *bytes, std::int32_t length) override
    {
        std::lock_guard lock(m_mutex);
        m_bytes.append(bytes, static_cast<std::size_t>(length));
    }
    void PortLost(std::uint64_t) override { }
    void LineErrorsChanged(const LineErrorCounts &) override { }
    std::string Bytes()
    {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    std::mutex m_mutex;
    std::string m_bytes;
};

// The logs' bytes in the order they were written: a clear and the close may fall in two minutes.
std::string LogBytes()
{
    std::vector<std::filesystem::path> logs;
    for (const auto &entry : std::filesystem::directory_iterator("DATALOG"))
        logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end(), [](const auto &a, const auto &b) {
        return std::filesystem::last_write_time(a) < std::filesystem::last_write_time(b);
    });
    std::string bytes;
    for (const auto &log : logs) {
        std::ifstream file(log, std::ios::binary);
        bytes.append(std::istreambuf_iterator<char>(file), {});
    }
    return bytes;
}

// What the shell hands a window when files are dropped on it: the wide paths one after
// another, each ended by a null, and one null more at the end.
HDROP DropOf(const std::vector<std::wstring> &paths)
{
    std::wstring list;
    for (const std::wstring &path : paths)
        list += path + L'\0';
    list += L'\0';
    const std::size_t size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GHND, size);
    auto *drop = static_cast<DROPFILES *>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// The titles of the thread's viewer windows that `owner` owns, or of all of them.
std::vector<std::string> ViewerTitles(HWND owner = nullptr)
{
    struct Search
    {
        HWND owner;
        std::vector<std::string> titles;
    } search {owner, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            auto *search = reinterpret_cast<Search *>(found);
            const std::string title = TextOf(window);
            const bool viewer = title.ends_with(" - ログ表示") && IsWindowVisible(window);
            if (viewer && (!search->owner || GetWindow(window, GW_OWNER) == search->owner))
                search->titles.push_back(title);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    std::sort(search.titles.begin(), search.titles.end());
    return search.titles;
}

class WindowsMonitorWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        // Never the machine's own ports: the window starts on COM5.
        ChooseLineSettings({.baudRate = 115200});
        g_portSettings.portIndex = WINDOW_PORT;
        std::snprintf(g_portSettings.portText, SETTING_TEXT_SIZE, "COM5");
        ASSERT_TRUE(WriteSettingsFile(g_portSettings));
        ASSERT_TRUE(OpenConfiguredPort(m_device, DEVICE_END));
    }
    // Every other dialog (the settings dialog at start-up, the About box) is closed as it opens,
    // its caption kept; the main window's own run is left to `mainWindow`.
    void RunDialogs(std::function<void(HWND)> mainWindow = {})
    {
        SetModalRunner([this, mainWindow](HWND dialog) {
            if (!GetDlgItem(dialog, IDC_SEND_TEXT)) {
                m_dialogs.push_back(TextOf(dialog));
                EndDialogRun(dialog, IDOK);
            } else if (mainWindow) {
                mainWindow(dialog);
            }
        });
    }
    void TearDown() override { SetModalRunner({}); }
    void Send(const std::string &bytes)
    {
        ASSERT_TRUE(m_device.WritePort(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    }

    CTempWorkDir m_workDir;
    CSerialPort m_device;
    CRecordedAlerts m_alerts;
    std::vector<std::string> m_dialogs;
};

} // namespace

TEST_F(WindowsMonitorWindow, StartsOnThePortReceivesAndClosesWithEveryByteInTheLog)
{
    RunDialogs();
    CMonitorDlg dialog;
    ASSERT_NE(dialog.Create(), nullptr);
    dialog.Monitor().OnInitDialog();
    EXPECT_TRUE(m_alerts.messages.empty()) << m_alerts.messages.front();
    const HWND window = dialog.Window();
    EXPECT_EQ(TextOf(window), "Orvanta (VER 3.00)   ");
    EXPECT_EQ(TextOf(GetDlgItem(window, IDC_STATUS)), "起動時のCOMポートが設定されました");
    ShowWindow(window, SW_SHOW);

    Send("X07FFY0801Z0ABC\r\nX0100\r\n");
    ASSERT_TRUE(
        PumpMessagesUntil([&] { return TextOf(GetDlgItem(window, IDC_BYTE_COUNT)) == "24"; }));
    EXPECT_EQ(dialog.Monitor().Samples().writeIndex, 2);
    // The X trace in red from one sample to the next.
    CDibSurface plot;
    EXPECT_TRUE(PumpMessagesUntil([&] {
        return PrintedClient(GetDlgItem(window, IDC_PLOT), plot, PrintBy::PrintWindow).Count(RED)
            > 0;
    }));

    // The clear writes the text to the log, which the window waits for while it paints.
    SendDlgItemMessageW(window, IDC_DISPLAY_CLEAR, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.Monitor().ReceivedText().Size(), 0u);
    EXPECT_EQ(LogBytes(), "X07FFY0801Z0ABC\r\nX0100\r\n");
    Send("X0200\r\n");
    ASSERT_TRUE(PumpMessagesUntil([&] { return dialog.Monitor().ReceivedText().Size() == 7; }));

    SendDlgItemMessageW(window, IDC_CANCEL, BM_CLICK, 0, 0);
    EXPECT_TRUE(dialog.Ended());
    EXPECT_FALSE(dialog.Monitor().Reader().Running());
    EXPECT_EQ(LogBytes(), "X07FFY0801Z0ABC\r\nX0100\r\nX0200\r\n");
    EXPECT_EQ(std::filesystem::file_size("rs232c.ini"), 124u);
}

// The settings dialog comes first; what the user types goes out in windows-31j with CR LF; Enter
// and Escape in the send box beep and do nothing; the window menu's About entry opens the About
// box; the run goes on until the cancel button.
TEST_F(WindowsMonitorWindow, SendsWhatTheUserTypesAndSwallowsEnterAndEscape)
{
    CMonitorDlg dialog;
    std::string received;
    RunDialogs([&](HWND window) {
        const HWND sendBox = GetDlgItem(window, IDC_SEND_TEXT);
        SetWindowTextW(sendBox, L"送信\r\nabc");
        SetFocus(sendBox);
        PostMessageW(sendBox, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(sendBox, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SEND, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_SEND)));
        PostMessageW(window, WM_SYSCOMMAND, 16, 0);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_CANCEL)));
    });
    CDeviceInput input;
    CReader deviceReader(m_device);
    deviceReader.StartReader(&input);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(dialog.Ended());
    EXPECT_EQ(m_alerts.beeps, 2);
    EXPECT_EQ(m_dialogs, (std::vector<std::string> {"ポートの設定", "Orvantaのﾊﾞｰｼﾞｮﾝ情報"}));
    EXPECT_TRUE(m_alerts.messages.empty()) << m_alerts.messages.front();
    const std::string expected = "\x91\x97\x90\x4d\r\nabc";
    ASSERT_TRUE(PumpMessagesUntil([&] { return input.Bytes().size() >= expected.size(); }));
    EXPECT_EQ(input.Bytes(), expected);
    deviceReader.StopReader();
}

// A log opens in a viewer of the window's own from the window's menu, whose entry is chosen by
// its letter, and when it is dropped on the window; a folder dropped with it opens nothing.
TEST_F(WindowsMonitorWindow, OpensLogsFromItsMenuAndFromFilesDroppedOnIt)
{
    RunDialogs();
    std::ofstream("first.txt", std::ios::binary) << "X07FFY0801Z0ABC\r\n";
    std::ofstream("second.txt", std::ios::binary) << "X07FFY0801Z0ABC\r\nX0100\r\n";
    std::filesystem::create_directory("folder");
    std::vector<FileRequest> requests;
    SetFileChooser([&](HWND, const FileRequest &request) {
        requests.push_back(request);
        return std::string("first.txt");
    });
    auto dialog = std::make_unique<CMonitorDlg>();
    ASSERT_NE(dialog->Create(), nullptr);
    dialog->Monitor().OnInitDialog();
    const HWND window = dialog->Window();
    ShowWindow(window, SW_SHOW);

    // The menu's loop takes the key that waits for it.
    PostMessageW(window, WM_KEYDOWN, 'O', 0);
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(10, 10));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].choice, FileChoice::Open);
    EXPECT_EQ(requests[0].caption, "ログを開く");
    EXPECT_EQ(requests[0].start, "./DATALOG");
    EXPECT_EQ(requests[0].filter, "ログファイル (*.txt);;すべてのファイル (*)");
    EXPECT_EQ(ViewerTitles(window), std::vector<std::string> {"first.txt - ログ表示"});

    const std::filesystem::path here = std::filesystem::current_path();
    SendMessageW(window, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(
                     DropOf({(here / "second.txt").wstring(), (here / "folder").wstring()})),
                 0);
    EXPECT_EQ(ViewerTitles(window),
              (std::vector<std::string> {"first.txt - ログ表示", "second.txt - ログ表示"}));
    EXPECT_TRUE(m_alerts.messages.empty()) << m_alerts.messages.front();

    // The viewers go with the window.
    SendDlgItemMessageW(window, IDC_CANCEL, BM_CLICK, 0, 0);
    dialog.reset();
    SetFileChooser({});
    EXPECT_TRUE(ViewerTitles().empty());
}
