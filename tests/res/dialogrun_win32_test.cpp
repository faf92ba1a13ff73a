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

// Asks the dialog's procedure to look at the run from inside, after every message posted before.
constexpr UINT WM_CHECK = WM_APP + 1;

struct RunState
{
    HWND owner = nullptr;
    int beeps = 0;
    bool checkedWhileOpen = false;
    bool ownerDisabledWhileOpen = false;
    int beepsWhenChecked = -1;
};

RunState *g_run = nullptr;

void PostKey(HWND target, WPARAM key)
{
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// Ends on OK and cancel as the program's dialogs do; at WM_CHECK it records what it sees and
// presses the focused OK button with the space bar.
INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialogRun(dialog, LOWORD(wParam));
        return TRUE;
    }
    if (message == WM_CHECK) {
        g_run->checkedWhileOpen = IsWindowVisible(dialog);
        g_run->ownerDisabledWhileOpen = !IsWindowEnabled(g_run->owner);
        g_run->beepsWhenChecked = g_run->beeps;
        PostKey(GetFocus(), VK_SPACE);
        return TRUE;
    }
    return FALSE;
}

HWND CreateSettingsDialog(HWND owner)
{
    const std::vector<std::uint8_t> resource = DialogResource(PORT_SETTINGS_TEMPLATE);
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), owner,
                                      TestDialogProc, 0);
}

class DialogRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_run = &m_state;
        SetBeepHandler([this] { ++m_state.beeps; });
        m_state.owner = CreateWindowExW(0, L"Static", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                        0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_state.owner, nullptr);
    }
    void TearDown() override
    {
        SetModalRunner({});
        SetBeepHandler({});
        DestroyWindow(m_state.owner);
        g_run = nullptr;
    }

    RunState m_state;
};

MSG KeyMessage(HWND target, UINT message, WPARAM key)
{
    MSG msg {};
    msg.hwnd = target;
    msg.message = message;
    msg.wParam = key;
    return msg;
}

TEST_F(DialogRun, FilterSwallowsOnlyEnterAndEscapePressedInTheDialog)
{
    const HWND dialog = CreateSettingsDialog(m_state.owner);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    const HWND ok = GetDlgItem(dialog, IDC_SETTINGS_OK);
    const HWND speed = GetDlgItem(dialog, IDC_COMBO_SPEED);
    const HWND ports = GetDlgItem(dialog, IDC_COMBO_PORT);
    SendMessageW(ports, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"COM1"));
    SendMessageW(ports, CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_TRUE(SendMessageW(ports, CB_GETDROPPEDSTATE, 0, 0));

    struct Row
    {
        const char *name;
        MSG msg;
        bool swallowed;
    };
    const Row rows[] = {
        {"Enter on the dialog", KeyMessage(dialog, WM_KEYDOWN, VK_RETURN), true},
        {"Enter on OK", KeyMessage(ok, WM_KEYDOWN, VK_RETURN), true},
        {"Escape on OK", KeyMessage(ok, WM_KEYDOWN, VK_ESCAPE), true},
        {"Enter on a closed list", KeyMessage(speed, WM_KEYDOWN, VK_RETURN), true},
        {"Escape on a closed list", KeyMessage(speed, WM_KEYDOWN, VK_ESCAPE), true},
        {"Enter on a dropped-down list", KeyMessage(ports, WM_KEYDOWN, VK_RETURN), false},
        {"Escape on a dropped-down list", KeyMessage(ports, WM_KEYDOWN, VK_ESCAPE), false},
        {"space on OK", KeyMessage(ok, WM_KEYDOWN, VK_SPACE), false},
        {"Enter let go", KeyMessage(ok, WM_KEYUP, VK_RETURN), false},
        {"Enter as a character", KeyMessage(ok, WM_CHAR, '\r'), false},
        {"Enter taken by the input method", KeyMessage(ok, WM_KEYDOWN, VK_PROCESSKEY), false},
        {"Enter on another window", KeyMessage(m_state.owner, WM_KEYDOWN, VK_RETURN), false},
    };
    int swallowed = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SwallowEnterAndEscape(dialog, row.msg), row.swallowed);
        swallowed += row.swallowed;
        EXPECT_EQ(m_state.beeps, swallowed);
    }
    DestroyWindow(dialog);
}

struct KeyRunCase
{
    const char *name;
    DialogKeys keys;
    WPARAM key;
    INT_PTR endedByKey;
};

// An ended-by-key of 0: the key leaves the dialog open, and space on OK then ends it.
const KeyRunCase KEY_RUN_CASES[] = {
    {"Enter swallowed", DialogKeys::EnterAndEscapeSwallowed, VK_RETURN, 0},
    {"Escape swallowed", DialogKeys::EnterAndEscapeSwallowed, VK_ESCAPE, 0},
    {"Enter presses the default button", DialogKeys::Standard, VK_RETURN, IDOK},
    {"Escape cancels", DialogKeys::Standard, VK_ESCAPE, IDCANCEL},
};

TEST_F(DialogRun, KeysReachTheFocusedControlThroughTheRunsFilter)
{
    for (const KeyRunCase &row : KEY_RUN_CASES) {
        SCOPED_TRACE(row.name);
        m_state = RunState {m_state.owner};
        const HWND dialog = CreateSettingsDialog(m_state.owner);
        ASSERT_NE(dialog, nullptr);
        SetModalRunner([&row](HWND shown) {
            ASSERT_EQ(GetFocus(), GetDlgItem(shown, IDC_SETTINGS_OK));
            PostKey(GetFocus(), row.key);
            PostMessageW(shown, WM_CHECK, 0, 0);
        });
        const INT_PTR result = RunDialogModal(dialog, m_state.owner, row.keys);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_TRUE(IsWindowEnabled(m_state.owner));
        if (row.endedByKey != 0) {
            EXPECT_EQ(result, row.endedByKey);
            EXPECT_FALSE(m_state.checkedWhileOpen);
            EXPECT_EQ(m_state.beeps, 0);
        } else {
            EXPECT_EQ(result, IDOK) << "space on the focused OK button";
            EXPECT_TRUE(m_state.checkedWhileOpen);
            EXPECT_TRUE(m_state.ownerDisabledWhileOpen);
            EXPECT_EQ(m_state.beepsWhenChecked, 1);
        }
    }
}

TEST_F(DialogRun, QuitEndsTheRunAndReachesTheLoopOutside)
{
    const HWND dialog = CreateSettingsDialog(m_state.owner);
    ASSERT_NE(dialog, nullptr);
    SetModalRunner([](HWND) { PostQuitMessage(7); });
    EXPECT_EQ(RunDialogModal(dialog, m_state.owner), IDCANCEL);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowEnabled(m_state.owner));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

// A run nested in another leaves the outer run's owner disabled.
TEST_F(DialogRun, NestedRunLeavesTheOuterOwnerDisabled)
{
    const HWND outer = CreateSettingsDialog(m_state.owner);
    ASSERT_NE(outer, nullptr);
    bool ownerStillDisabled = false;
    INT_PTR innerResult = 0;
    SetModalRunner([&](HWND shown) {
        if (shown != outer) {
            EndDialogRun(shown, 5);
            return;
        }
        innerResult = RunDialogModal(CreateSettingsDialog(m_state.owner), m_state.owner);
        ownerStillDisabled = !IsWindowEnabled(m_state.owner);
        EndDialogRun(outer, 6);
    });
    EXPECT_EQ(RunDialogModal(outer, m_state.owner), 6);
    EXPECT_EQ(innerResult, 5);
    EXPECT_TRUE(ownerStillDisabled);
    EXPECT_TRUE(IsWindowEnabled(m_state.owner));
}

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// What the box showed when it opened, and the button the test pressed.
struct BoxSeen
{
    std::wstring caption;
    std::vector<std::wstring> texts;
    std::vector<int> buttons;
    bool warningIcon = false;
    bool buttonsCentred = false;
};

BoxSeen *g_boxSeen = nullptr;
int g_buttonToPress = 0;

void LookAtBox(HWND box)
{
    g_boxSeen->caption = TextOf(box);
    const HICON warning = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING));
    RECT client;
    GetClientRect(box, &client);
    RECT span {client.right, 0, 0, 0};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        if (std::wstring(className) == L"Button") {
            g_boxSeen->buttons.push_back(GetDlgCtrlID(child));
            RECT place;
            GetWindowRect(child, &place);
            MapWindowPoints(nullptr, box, reinterpret_cast<POINT *>(&place), 2);
            span.left = std::min(span.left, place.left);
            span.right = std::max(span.right, place.right);
        } else if (!TextOf(child).empty()) {
            g_boxSeen->texts.push_back(TextOf(child));
        }
        g_boxSeen->warningIcon = g_boxSeen->warningIcon
            || reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == warning;
    }
    // Wine centres the buttons in the width of the frame rather than of the client area.
    g_boxSeen->buttonsCentred = std::abs(span.left - (client.right - span.right)) <= 8;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(g_buttonToPress, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, g_buttonToPress)));
}

BOOL CALLBACK LookAtShownBox(HWND window, LPARAM)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(window))
        return TRUE;
    LookAtBox(window);
    return FALSE;
}

// Ticks inside the box's own modal run until the box is shown.
void CALLBACK LookForTheBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), LookAtShownBox, 0);
    if (!g_boxSeen->caption.empty())
        KillTimer(nullptr, timer);
}

struct BoxCase
{
    const char *name;
    MessageButtons buttons;
    const char *informativeText;
    int pressed;
    const wchar_t *text;
    std::vector<int> buttonsShown;
    MessageAnswer answer;
};

TEST(MessageBoxOnWindows, ShowsTheTextsUnderTheProgramsNameAndAnswersAsPressed)
{
    const BoxCase rows[] = {
        {"one paragraph",
         MessageButtons::Ok,
         "",
         IDOK,
         L"ポートが開けません。",
         {IDOK},
         MessageAnswer::Ok},
        {"a second paragraph",
         MessageButtons::Ok,
         "アクセスが拒否されました。",
         IDOK,
         L"ポートが開けません。\n\nアクセスが拒否されました。",
         {IDOK},
         MessageAnswer::Ok},
        {"retry",
         MessageButtons::RetryIgnore,
         "",
         IDRETRY,
         L"ポートが開けません。",
         {IDRETRY, IDIGNORE},
         MessageAnswer::Retry},
        {"ignore",
         MessageButtons::RetryIgnore,
         "",
         IDIGNORE,
         L"ポートが開けません。",
         {IDRETRY, IDIGNORE},
         MessageAnswer::Ignore},
    };
    for (const BoxCase &row : rows) {
        SCOPED_TRACE(row.name);
        BoxSeen seen;
        g_boxSeen = &seen;
        g_buttonToPress = row.pressed;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, LookForTheBox);
        const MessageAnswer answer
            = ShowMessageBox(nullptr, "ポートが開けません。", row.buttons, row.informativeText);
        KillTimer(nullptr, timer);
        EXPECT_EQ(answer, row.answer);
        EXPECT_EQ(seen.caption, L"orvanta");
        EXPECT_EQ(seen.texts, std::vector<std::wstring> {row.text});
        EXPECT_EQ(seen.buttons, row.buttonsShown);
        EXPECT_TRUE(seen.warningIcon);
        EXPECT_TRUE(seen.buttonsCentred);
    }
    g_boxSeen = nullptr;
}

} // namespace
