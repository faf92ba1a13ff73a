#include "dialogresource.h"
#include "dialogrun_win32.h"
#include "messagebox_win32.h"
#include "templates.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK KeepDefaults(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

HWND CreateSettingsDialog(HWND owner)
{
    const std::vector<std::uint8_t> resource = DialogResource(PORT_SETTINGS_TEMPLATE);
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), owner,
                                      KeepDefaults, 0);
}

TEST(DialogRun, FilterSwallowsOnlyEnterAndEscapePressedInTheDialog)
{
    int beeps = 0;
    SetBeepHandler([&beeps] { ++beeps; });
    const HWND dialog = CreateSettingsDialog(nullptr);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    const HWND ok = GetDlgItem(dialog, IDC_SETTINGS_OK);
    const HWND ports = GetDlgItem(dialog, IDC_COMBO_PORT);
    SendMessageW(ports, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"COM1"));
    SendMessageW(ports, CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_TRUE(SendMessageW(ports, CB_GETDROPPEDSTATE, 0, 0));
    const struct
    {
        const char *name;
        HWND target;
        UINT message;
        WPARAM key;
        bool swallowed;
    } rows[] = {
        {"Enter on the dialog", dialog, WM_KEYDOWN, VK_RETURN, true},
        {"Enter on OK", ok, WM_KEYDOWN, VK_RETURN, true},
        {"Escape on a closed list", GetDlgItem(dialog, IDC_COMBO_SPEED), WM_KEYDOWN, VK_ESCAPE,
         true},
        {"Enter on a dropped-down list", ports, WM_KEYDOWN, VK_RETURN, false},
        {"Escape on a dropped-down list", ports, WM_KEYDOWN, VK_ESCAPE, false},
        {"space on OK", ok, WM_KEYDOWN, VK_SPACE, false},
        {"Enter let go", ok, WM_KEYUP, VK_RETURN, false},
        {"Enter taken by the input method", ok, WM_KEYDOWN, VK_PROCESSKEY, false},
        {"Enter on another window", GetDesktopWindow(), WM_KEYDOWN, VK_RETURN, false},
    };
    int swallowed = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SwallowEnterAndEscape(dialog, MSG {row.target, row.message, row.key, 0, 0, {}}),
                  row.swallowed);
        EXPECT_EQ(beeps, swallowed += row.swallowed);
    }
    DestroyWindow(dialog);
    SetBeepHandler({});
}

// A run inside another leaves the owner disabled for the outer one; a quit ends the run, which
// posts it again for the loop outside.
TEST(DialogRun, NestsAndPassesQuitOn)
{
    const HWND owner = CreateSettingsDialog(nullptr);
    const HWND outer = CreateSettingsDialog(owner);
    bool ownerDisabledAfterInner = false;
    INT_PTR innerResult = 0;
    SetModalRunner([&](HWND shown) {
        if (shown != outer)
            return EndDialogRun(shown, 5);
        innerResult = RunDialogModal(CreateSettingsDialog(owner), owner);
        ownerDisabledAfterInner = !IsWindowEnabled(owner);
        PostQuitMessage(7);
    });
    EXPECT_EQ(RunDialogModal(outer, owner), IDCANCEL);
    SetModalRunner({});
    EXPECT_EQ(innerResult, 5);
    EXPECT_TRUE(ownerDisabledAfterInner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindow(outer));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    DestroyWindow(owner);
}

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// What the box showed: its caption, texts, icon and "button n" for each button, sorted; and
// whether its buttons sit in the middle.
std::vector<std::wstring> g_boxSeen;
bool g_buttonsCentred = false;
int g_buttonToPress = 0;

BOOL CALLBACK LookAtShownBox(HWND box, LPARAM)
{
    if (!IsWindowVisible(box) || GetDlgItem(box, g_buttonToPress) == nullptr)
        return TRUE;
    g_boxSeen.push_back(TextOf(box));
    const auto warning = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING));
    RECT client;
    GetClientRect(box, &client);
    RECT span {client.right, 0, 0, 0};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place;
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT *>(&place), 2);
        if (!IsWindowVisible(child))
            continue;
        if (SendMessageW(child, WM_GETDLGCODE, 0, 0) & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON)) {
            g_boxSeen.push_back(L"button " + std::to_wstring(GetDlgCtrlID(child)));
            span = {std::min(span.left, place.left), 0, std::max(span.right, place.right), 0};
        } else if (reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == warning) {
            g_boxSeen.push_back(L"warning icon");
        } else if (!TextOf(child).empty()) {
            g_boxSeen.push_back(TextOf(child));
        }
    }
    std::sort(g_boxSeen.begin(), g_boxSeen.end());
    // Wine centres the buttons in the width of the frame rather than of the client area.
    g_buttonsCentred = std::abs(span.left - (client.right - span.right)) <= 8;
    PostMessageW(box, WM_COMMAND, g_buttonToPress, 0);
    return FALSE;
}

// Ticks inside the box's own modal run until the box is shown.
void CALLBACK LookForTheBox(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_boxSeen.empty())
        EnumThreadWindows(GetCurrentThreadId(), LookAtShownBox, 0);
}

TEST(MessageBoxOnWindows, ShowsTheTextsUnderTheProgramsNameAndAnswersAsPressed)
{
    const struct
    {
        MessageButtons buttons;
        const char *informativeText;
        int pressed;
        MessageAnswer answer;
    } rows[] = {
        {MessageButtons::Ok, "", IDOK, MessageAnswer::Ok},
        {MessageButtons::Ok, "アクセスが拒否されました。", IDOK, MessageAnswer::Ok},
        {MessageButtons::RetryIgnore, "", IDRETRY, MessageAnswer::Retry},
        {MessageButtons::RetryIgnore, "", IDIGNORE, MessageAnswer::Ignore},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.pressed);
        g_boxSeen.clear();
        g_buttonToPress = row.pressed;
        const UINT_PTR timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, LookForTheBox);
        EXPECT_EQ(ShowMessageBox(nullptr, "ポートが開けません。", row.buttons, row.informativeText),
                  row.answer);
        KillTimer(nullptr, timer);
        std::vector<std::wstring> expected {L"orvanta", L"warning icon", L"ポートが開けません。"};
        if (*row.informativeText)
            expected.back() += L"\n\nアクセスが拒否されました。";
        if (row.buttons == MessageButtons::Ok)
            expected.push_back(L"button 1");
        else
            expected.insert(expected.end(), {L"button 4", L"button 5"});
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(g_boxSeen, expected);
        EXPECT_TRUE(g_buttonsCentred);
    }
}

} // namespace
