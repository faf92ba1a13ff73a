#include "aboutdlg_win32.h"
#include "dialogrun_win32.h"
#include "messagebox_win32.h"
#include "portchoicetables.h"
#include "portsettings.h"
#include "portsettingsdlg_win32.h"
#include "settingsfile.h"
#include "settingsfilerecord.h"
#include "templates.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

// Steps that act on a modal dialog from inside its run, each once the messages posted before it
// have been handled: a thread timer ticks only when no posted message waits.
std::deque<std::function<void()>> g_steps;
UINT_PTR g_stepTimer = 0;

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_steps.empty()) {
        KillTimer(nullptr, g_stepTimer);
        g_stepTimer = 0;
        return;
    }
    const std::function<void()> step = std::move(g_steps.front());
    g_steps.pop_front();
    step();
}

void StartSteps(std::deque<std::function<void()>> steps)
{
    g_steps = std::move(steps);
    g_stepTimer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, RunNextStep);
}

void StopSteps()
{
    g_steps.clear();
    if (g_stepTimer)
        KillTimer(nullptr, g_stepTimer);
    g_stepTimer = 0;
}

void PostKey(HWND target, WPARAM key)
{
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Counts the beeps and ends a dialog that a step left open, so that a failing test cannot hang.
class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetBeepHandler([this] { ++m_beeps; });
    }
    void TearDown() override
    {
        StopSteps();
        SetModalRunner({});
        SetBeepHandler({});
    }

    // Runs the steps in the dialog that `run` opens; the last step closes it if it is still open.
    void RunWithSteps(const std::function<void()> &run,
                      std::function<std::deque<std::function<void()>>(HWND)> steps)
    {
        SetModalRunner([this, &steps](HWND dialog) {
            m_dialog = dialog;
            std::deque<std::function<void()>> all = steps(dialog);
            all.push_back([this, dialog] {
                if (IsWindow(dialog)) {
                    m_leftOpen = true;
                    EndDialogRun(dialog, IDCANCEL);
                }
            });
            StartSteps(std::move(all));
        });
        run();
        StopSteps();
        EXPECT_FALSE(m_leftOpen) << "the dialog was still open after its steps";
        EXPECT_FALSE(IsWindow(m_dialog));
    }

    int m_beeps = 0;
    bool m_leftOpen = false;
    HWND m_dialog = nullptr;
};

TEST_F(DialogTest, AboutBoxShowsItsTextsAndEndsByOkEnterOrEscape)
{
    for (const WPARAM key : {VK_RETURN, VK_ESCAPE, VK_SPACE}) {
        SCOPED_TRACE(key);
        m_leftOpen = false;
        std::wstring caption;
        std::vector<std::wstring> texts;
        RunWithSteps([] { RunAboutBox(nullptr); },
                     [&](HWND dialog) -> std::deque<std::function<void()>> {
                         caption = TextOf(dialog);
                         for (HWND child = GetWindow(dialog, GW_CHILD); child;
                              child = GetWindow(child, GW_HWNDNEXT)) {
                             // The icon static's text names the icon resource.
                             const bool icon
                                 = (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
                             texts.push_back(icon ? L"icon" : TextOf(child));
                         }
                         return {[key] { PostKey(GetFocus(), key); }};
                     });
        EXPECT_EQ(caption, L"Orvantaのﾊﾞｰｼﾞｮﾝ情報");
        EXPECT_EQ(texts,
                  (std::vector<std::wstring> {L"icon", L"Orvanta Version 1.0",
                                              L"© 2026 Orvanta 制作チーム", L"OK"}));
        EXPECT_EQ(m_beeps, 0);
    }
}

PortSettings Defaults()
{
    PortSettings settings {};
    SetDefaultPortSettings(settings);
    return settings;
}

std::vector<std::wstring> Entries(HWND list)
{
    std::vector<std::wstring> entries;
    const auto count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

int Selected(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

// Each test starts as the program does: nothing loaded, texts empty, no rs232c.ini.
class PortSettingsDialogOnWindows : public DialogTest
{
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        g_portSettings = {};
        g_settingsLoaded = 0;
        g_settingsFileRead = 0;
    }

    // Looks at the shown dialog and closes it with the close box.
    void Look(const std::function<void(HWND)> &look)
    {
        RunWithSteps([] { RunPortSettingsDialog(nullptr); },
                     [&look](HWND dialog) -> std::deque<std::function<void()>> {
                         look(dialog);
                         return {[dialog] { PostMessageW(dialog, WM_CLOSE, 0, 0); }};
                     });
    }

    CTempWorkDir m_workDir;
};

struct ListCase
{
    const char *name;
    int id;
    std::vector<std::wstring> entries;
    int preselected;
};

const ListCase LIST_CASES[] = {
    {"port",
     IDC_COMBO_PORT,
     {L"COM1", L"COM2", L"COM3", L"COM4", L"COM5", L"COM6", L"COM7", L"COM8", L"COM9", L"COM10",
      L"COM11", L"COM12", L"COM13", L"COM14", L"COM15", L"COM16"},
     0},
    {"speed",
     IDC_COMBO_SPEED,
     {L"   110",  L"   300",  L"   600",  L"  1200", L"  1800", L"  2400", L"  4800",
      L"  7200",  L"  9600",  L" 14400",  L" 19200", L" 38400", L" 57600", L" 76800",
      L"115200",  L"128000",  L"153600",  L"230400", L"307200", L"460800", L"921600",
      L"1000000", L"1500000", L"2000000", L"3000000"},
     8},
    {"data bits", IDC_COMBO_DATA_BITS, {L"5", L"6", L"7", L"8"}, 3},
    {"parity", IDC_COMBO_PARITY, {L"No", L"Odd", L"Even"}, 0},
    {"stop bits", IDC_COMBO_STOP_BITS, {L"1", L"1.5", L"2"}, 0},
    {"flow control", IDC_COMBO_FLOW, {L"No", L"Hardware", L"Xon/Xoff"}, 0},
};

TEST_F(PortSettingsDialogOnWindows, FirstStartWithoutFileListsEveryChoiceInOrder)
{
    Look([](HWND dialog) {
        for (const ListCase &row : LIST_CASES) {
            SCOPED_TRACE(row.name);
            EXPECT_EQ(Entries(GetDlgItem(dialog, row.id)), row.entries);
            EXPECT_EQ(Selected(dialog, row.id), row.preselected);
        }
    });
    EXPECT_EQ(g_settingsFileRead, 0);
    EXPECT_EQ(g_portSettings, Defaults());
}

// A stored text that begins no entry leaves its list without a selection.
TEST_F(PortSettingsDialogOnWindows, HandEditedTextsSelectAsStored)
{
    PortSettings stored = Defaults();
    std::memset(stored.speedText, 0, SETTING_TEXT_SIZE);
    std::strcpy(stored.speedText, "9600");
    std::strcpy(stored.parityText, "even");
    const SettingsFileRecord record = EncodeSettingsRecord(stored);
    WriteBytes(SETTINGS_FILE_NAME, {record.begin(), record.end()});
    int speed = -2;
    int parity = -2;
    Look([&](HWND dialog) {
        speed = Selected(dialog, IDC_COMBO_SPEED);
        parity = Selected(dialog, IDC_COMBO_PARITY);
    });
    EXPECT_EQ(speed, -1);
    EXPECT_EQ(parity, 2);
    EXPECT_EQ(g_portSettings, stored);
}

// The user steps down the port list with the arrow keys, presses Enter and Escape on every
// control, and ends the dialog with the space bar on OK.
TEST_F(PortSettingsDialogOnWindows, EnterAndEscapeBeepAndSpaceOnOkEndsItWithThePickStored)
{
    int presses = 0;
    bool checkedOpen = false;
    int beepsWhileOpen = -1;
    RunWithSteps([] { RunPortSettingsDialog(nullptr); },
                 [&](HWND dialog) -> std::deque<std::function<void()>> {
                     const HWND ok = GetDlgItem(dialog, IDC_SETTINGS_OK);
                     const HWND ports = GetDlgItem(dialog, IDC_COMBO_PORT);
                     return {
                         [=] {
                             EXPECT_EQ(GetFocus(), ok);
                             SetFocus(ports);
                             for (int i = 0; i < 4; ++i)
                                 PostKey(ports, VK_DOWN);
                         },
                         [&, dialog, ok] {
                             std::vector<HWND> targets {dialog, ok};
                             for (const ListCase &row : LIST_CASES)
                                 targets.push_back(GetDlgItem(dialog, row.id));
                             for (const HWND target : targets) {
                                 for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
                                     PostKey(target, key);
                                     ++presses;
                                 }
                             }
                         },
                         [&, dialog, ok] {
                             checkedOpen = IsWindowVisible(dialog);
                             beepsWhileOpen = m_beeps;
                             EXPECT_EQ(g_portSettings.portIndex, 4u);
                             SetFocus(ok);
                             PostKey(ok, VK_SPACE);
                         },
                     };
                 });
    EXPECT_TRUE(checkedOpen);
    EXPECT_EQ(beepsWhileOpen, presses);
    EXPECT_EQ(g_portSettings.portIndex, 4u);
    EXPECT_STREQ(g_portSettings.portText, "COM5");
}

// Two ports the system lists only in SERIALCOMM: one of the sixteen, and one beyond them.
class RegisteredPorts
{
public:
    RegisteredPorts()
    {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
        Set(L"\\Device\\OrvantaTest9", L"COM9");
        Set(L"\\Device\\OrvantaTest20", L"COM20");
    }
    ~RegisteredPorts()
    {
        RegDeleteValueW(m_key, L"\\Device\\OrvantaTest9");
        RegDeleteValueW(m_key, L"\\Device\\OrvantaTest20");
        RegCloseKey(m_key);
    }
    bool Registered() const { return m_key != nullptr; }

private:
    void Set(const wchar_t *name, const std::wstring &port)
    {
        RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(port.c_str()),
                       static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    }

    HKEY m_key = nullptr;
};

HWND TooltipOf(HWND dialog)
{
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (ClassOf(window) == TOOLTIPS_CLASSW && GetWindow(window, GW_OWNER) == dialog)
            return window;
    }
    return nullptr;
}

std::wstring ToolText(HWND tooltip, HWND window, UINT_PTR id)
{
    wchar_t text[1024] = {};
    TTTOOLINFOW tool {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window;
    tool.uId = id;
    tool.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
    return text;
}

TEST_F(PortSettingsDialogOnWindows, PortEntriesTellWhichDeviceTheyReach)
{
    const RegisteredPorts registered;
    ASSERT_TRUE(registered.Registered());
    std::wstring ninth;
    std::wstring wholeList;
    Look([&](HWND dialog) {
        const HWND tooltip = TooltipOf(dialog);
        ASSERT_NE(tooltip, nullptr);
        EXPECT_TRUE(GetWindowLongW(tooltip, GWL_STYLE) & TTS_ALWAYSTIP);
        const HWND ports = GetDlgItem(dialog, IDC_COMBO_PORT);
        COMBOBOXINFO info {};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetComboBoxInfo(ports, &info));
        ninth = ToolText(tooltip, info.hwndList, 8);
        wholeList = ToolText(tooltip, ports, reinterpret_cast<UINT_PTR>(ports));
    });
    EXPECT_EQ(ninth, L"説明のないポート — \\Device\\OrvantaTest9");
    EXPECT_NE(wholeList.find(L"COM16 より後の番号のため選べません: COM20 — 説明のないポート — "
                             L"\\Device\\OrvantaTest20"),
              std::wstring::npos)
        << wholeList.size();
}

} // namespace
