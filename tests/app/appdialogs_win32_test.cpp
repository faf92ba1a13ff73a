#include "aboutdlg_win32.h"
#include "dialogrun_win32.h"
#include "messagebox_win32.h"
#include "portsettings.h"
#include "portsettingsdlg_win32.h"
#include "templates.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

using Steps = std::deque<std::function<void()>>;

// Steps act on the modal dialog from inside its run, each once the messages posted before it are
// handled: a thread timer ticks only when no posted message waits. The last one ends a dialog
// left open, so that a failing test cannot hang.
Steps g_steps;

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_steps.empty()) {
        const std::function<void()> step = std::move(g_steps.front());
        g_steps.pop_front();
        step();
    }
}

// Runs `run`, whose dialog the steps get; returns whether the steps left it open.
bool RunWithSteps(const std::function<void()> &run, const std::function<Steps(HWND)> &steps)
{
    bool leftOpen = false;
    SetModalRunner([&](HWND dialog) {
        g_steps = steps(dialog);
        g_steps.push_back([&leftOpen, dialog] {
            leftOpen = true;
            EndDialogRun(dialog, IDCANCEL);
        });
    });
    const UINT_PTR timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, RunNextStep);
    run();
    KillTimer(nullptr, timer);
    SetModalRunner({});
    return leftOpen;
}

void PostKey(HWND target, WPARAM key)
{
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

class Dialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetBeepHandler([this] { ++m_beeps; });
        g_portSettings = {};
        g_settingsLoaded = 0;
    }
    void TearDown() override { SetBeepHandler({}); }

    int m_beeps = 0;
    CTempWorkDir m_workDir;
};

TEST_F(Dialogs, AboutBoxShowsItsTextsAndEndsByOkEnterOrEscape)
{
    for (const WPARAM key : {VK_SPACE, VK_RETURN, VK_ESCAPE}) {
        std::vector<std::wstring> texts;
        EXPECT_FALSE(RunWithSteps([] { RunAboutBox(nullptr); },
                                  [&](HWND dialog) -> Steps {
                                      texts.push_back(TextOf(dialog));
                                      for (HWND child = GetWindow(dialog, GW_CHILD); child;
                                           child = GetWindow(child, GW_HWNDNEXT)) {
                                          // The icon static's text names its icon resource.
                                          if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK)
                                              != SS_ICON)
                                              texts.push_back(TextOf(child));
                                      }
                                      // The box opens with the focus on OK, where the key
                                      // goes; aimed at the focus at the time of the press, it
                                      // would be lost whenever another program's window had
                                      // come to the front meanwhile.
                                      const HWND ok = GetDlgItem(dialog, IDC_ABOUT_OK);
                                      EXPECT_EQ(GetFocus(), ok);
                                      return {[key, ok] { PostKey(ok, key); }};
                                  }))
            << key;
        EXPECT_EQ(texts,
                  (std::vector<std::wstring> {L"Orvantaのﾊﾞｰｼﾞｮﾝ情報", L"Orvanta Version 1.0",
                                              L"© 2026 Orvanta 制作チーム", L"OK"}));
    }
    EXPECT_EQ(m_beeps, 0);
}

std::wstring Entry(HWND list, WPARAM position)
{
    wchar_t text[64] = {};
    SendMessageW(list, CB_GETLBTEXT, position, reinterpret_cast<LPARAM>(text));
    return text;
}

// At the first start without rs232c.ini the user sees the lists, steps down the port list with
// the arrow keys, presses Enter and Escape on the dialog, OK and each of the six lists, which
// beep and change nothing, and ends with the space bar on OK.
TEST_F(Dialogs, SettingsDialogListsTheChoicesKeepsOpenOnEnterAndEscapeAndStoresThePick)
{
    std::vector<std::wstring> speeds, parities, preselected;
    int beepsWhileOpen = -1;
    const bool leftOpen = RunWithSteps(
        [] { RunPortSettingsDialog(nullptr); },
        [&](HWND dialog) {
            const HWND ok = GetDlgItem(dialog, IDC_SETTINGS_OK);
            EXPECT_EQ(GetFocus(), ok);
            std::vector<HWND> targets {dialog, ok};
            for (const int id : {IDC_COMBO_PORT, IDC_COMBO_SPEED, IDC_COMBO_DATA_BITS,
                                 IDC_COMBO_PARITY, IDC_COMBO_STOP_BITS, IDC_COMBO_FLOW}) {
                const HWND list = targets.emplace_back(GetDlgItem(dialog, id));
                preselected.push_back(Entry(list, SendMessageW(list, CB_GETCURSEL, 0, 0)));
            }
            for (WPARAM i = 0; i < 25; ++i)
                speeds.push_back(Entry(targets[3], i));
            for (WPARAM i = 0; i < 3; ++i)
                parities.push_back(Entry(targets[5], i));
            return Steps {[ports = targets[2]] {
                              SetFocus(ports);
                              for (int i = 0; i < 4; ++i)
                                  PostKey(ports, VK_DOWN);
                          },
                          [targets] {
                              for (const HWND target : targets) {
                                  PostKey(target, VK_RETURN);
                                  PostKey(target, VK_ESCAPE);
                              }
                          },
                          [&, ok] {
                              beepsWhileOpen = m_beeps;
                              SetFocus(ok);
                              PostKey(ok, VK_SPACE);
                          }};
        });
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(preselected,
              (std::vector<std::wstring> {L"COM1", L"  9600", L"8", L"No", L"1", L"No"}));
    EXPECT_EQ(speeds,
              (std::vector<std::wstring> {
                  L"   110",  L"   300",  L"   600",  L"  1200", L"  1800", L"  2400", L"  4800",
                  L"  7200",  L"  9600",  L" 14400",  L" 19200", L" 38400", L" 57600", L" 76800",
                  L"115200",  L"128000",  L"153600",  L"230400", L"307200", L"460800", L"921600",
                  L"1000000", L"1500000", L"2000000", L"3000000"}));
    EXPECT_EQ(parities, (std::vector<std::wstring> {L"No", L"Odd", L"Even"}));
    EXPECT_EQ(beepsWhileOpen, 16);
    EXPECT_EQ(g_portSettings.portIndex, 4u);
    EXPECT_STREQ(g_portSettings.portText, "COM5");
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

// COM9 and COM20 as the system lists ports it knows only by their device name.
TEST_F(Dialogs, PortEntriesTellWhichDeviceTheyReach)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto &[device, port] : {std::pair {L"\\Device\\OrvantaTest9", L"COM9"},
                                       std::pair {L"\\Device\\OrvantaTest20", L"COM20"}})
        RegSetValueExW(key, device, 0, REG_SZ, reinterpret_cast<const BYTE *>(port),
                       static_cast<DWORD>((wcslen(port) + 1) * sizeof(wchar_t)));
    std::wstring ninth, wholeList;
    RunWithSteps([] { RunPortSettingsDialog(nullptr); },
                 [&](HWND dialog) {
                     const HWND tooltip = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr);
                     const HWND ports = GetDlgItem(dialog, IDC_COMBO_PORT);
                     COMBOBOXINFO info {};
                     info.cbSize = sizeof info;
                     GetComboBoxInfo(ports, &info);
                     EXPECT_EQ(GetWindow(tooltip, GW_OWNER), dialog);
                     EXPECT_TRUE(GetWindowLongW(tooltip, GWL_STYLE) & TTS_ALWAYSTIP);
                     ninth = ToolText(tooltip, info.hwndList, 8);
                     wholeList = ToolText(tooltip, ports, reinterpret_cast<UINT_PTR>(ports));
                     return Steps {};
                 });
    RegDeleteValueW(key, L"\\Device\\OrvantaTest9");
    RegDeleteValueW(key, L"\\Device\\OrvantaTest20");
    RegCloseKey(key);
    EXPECT_EQ(ninth, L"説明のないポート — \\Device\\OrvantaTest9");
    EXPECT_NE(wholeList.find(L"COM16 より後の番号のため選べません: COM20 — 説明のないポート — "
                             L"\\Device\\OrvantaTest20"),
              std::wstring::npos)
        << wholeList.size();
}

} // namespace
