#include "dibsurface_win32.h"
#include "receivedtext.h"
#include "receivedtextview_win32.h"
#include "templates.h"
#include "win32testing.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::string Repeat(const std::string &piece, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

const std::string FRAME = "X07FFY0801Z0ABC\r\n";
// "エラー" in Shift_JIS.
const std::string ERROR_TEXT = "\x83\x47\x83\x89\x81\x5B";

enum Modifier { NONE = 0, CONTROL = 1, SHIFT = 2 };

std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return L"(clipboard not opened)";
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t *>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::wstring &text)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    wcscpy(static_cast<wchar_t *>(GlobalLock(block)), text.c_str());
    GlobalUnlock(block);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

// The main window made by the dialog manager from its template, with the received-data box put
// in place of its edit control.
class ReceivedTextWindow : public ::testing::Test
{
public:
    ReceivedTextWindow()
        : owned(MakeMainWindow())
        , dialog(owned.get())
        , view(CReceivedTextWindow::ReplaceEdit(dialog, IDC_RECEIVED, text))
        , window(view ? view->Window() : nullptr)
    { }

    void SetUp() override { ASSERT_NE(window, nullptr); }

    void Receive(const std::string &bytes)
    {
        text.Append(bytes.data(), bytes.size());
        view->TextChanged();
    }

    void Scroll(int request) { SendMessageW(window, WM_VSCROLL, MAKEWPARAM(request, 0), 0); }

    SCROLLINFO Bar() const
    {
        SCROLLINFO info {sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(window, SB_VERT, &info);
        return info;
    }
    int LastValue() const { return Bar().nMax - static_cast<int>(Bar().nPage) + 1; }

    int LineHeight() const
    {
        const HDC dc = GetDC(window);
        const HGDIOBJ old
            = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics;
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(window, dc);
        return metrics.tmHeight;
    }
    std::uint64_t Rows() const
    {
        return static_cast<std::uint64_t>(ClientOf(window).bottom / LineHeight());
    }

    // The key as the system delivers it, with Ctrl and Shift held as asked.
    void Key(WPARAM key, int modifiers = NONE)
    {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_CONTROL] = (modifiers & CONTROL) ? 0x80 : 0;
        state[VK_SHIFT] = (modifiers & SHIFT) ? 0x80 : 0;
        SetKeyboardState(state);
        SendMessageW(window, WM_KEYDOWN, key, 1);
        state[VK_CONTROL] = state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }

    void ClickOnLine(std::uint64_t line)
    {
        const auto row = static_cast<int>(line - view->FirstLineInSight());
        const int y = row * LineHeight() + LineHeight() / 2;
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, y));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(0, y));
    }

    CReceivedText text;
    OwnedWindow owned;
    HWND dialog;
    std::unique_ptr<CReceivedTextWindow> view;
    HWND window;
};

TEST_F(ReceivedTextWindow, TakesTheEditsPlaceNumberTabOrderEdgeAndFontAndDiesWithTheDialog)
{
    EXPECT_EQ(GetDlgItem(dialog, IDC_RECEIVED), window);
    RECT place;
    GetWindowRect(window, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&place), 2);
    RECT units {2, 79, 83, 343};
    MapDialogRect(dialog, &units);
    EXPECT_EQ(place.left, units.left);
    EXPECT_EQ(place.top, units.top);
    EXPECT_EQ(place.right - place.left, units.right);
    EXPECT_EQ(place.bottom - place.top, units.bottom);

    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(SendMessageW(window, WM_GETFONT, 0, 0), SendMessageW(dialog, WM_GETFONT, 0, 0));
    // Template order: the cancel button, the received-data box, the byte count.
    EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDC_CANCEL), FALSE), window);
    EXPECT_EQ(GetNextDlgTabItem(dialog, window, FALSE), GetDlgItem(dialog, IDC_BYTE_COUNT));

    // Tab moves the focus on, and the box outlives no dialog.
    ShowWindow(dialog, SW_SHOW);
    SetFocus(window);
    ASSERT_EQ(GetFocus(), window);
    MSG tab {window, WM_KEYDOWN, VK_TAB, 1, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(dialog, &tab));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_BYTE_COUNT));

    owned.reset();
    EXPECT_EQ(view->Window(), nullptr);
    Receive(FRAME);
    view->SelectAll();
}

// Where the user leaves the view, and whether new text then moves it to the end.
struct FollowCase
{
    const char *name;
    std::size_t framesBefore;
    std::function<void(ReceivedTextWindow &)> leave;
    bool follows;
};

void PrintTo(const FollowCase &row, std::ostream *out)
{
    *out << row.name;
}

const FollowCase FOLLOW_CASES[] = {
    {"AtStart", 1000, [](auto &) {}, false},
    {"InTheMiddle", 1000, [](auto &t) { t.Scroll(SB_PAGEDOWN); }, false},
    {"AtTheEnd", 1000, [](auto &t) { t.Key(VK_END, CONTROL); }, true},
    {"LeftTheEnd", 1000,
     [](auto &t) {
         t.Scroll(SB_BOTTOM);
         t.Key(VK_UP);
     },
     false},
    {"ShortTextThatFits", 3, [](auto &t) { t.Scroll(SB_BOTTOM); }, false},
    {"AtTheEndThenCleared", 1000,
     [](auto &t) {
         t.Scroll(SB_BOTTOM);
         t.text.Clear();
         t.view->TextChanged();
     },
     true},
};

class Following : public ReceivedTextWindow, public ::testing::WithParamInterface<FollowCase>
{
};

TEST_P(Following, NewTextMovesTheViewOnlyFromTheEnd)
{
    Receive(Repeat(FRAME, GetParam().framesBefore));
    GetParam().leave(*this);
    const int left = Bar().nPos;
    Receive(Repeat(FRAME, 1000));
    ASSERT_GT(LastValue(), 900);
    EXPECT_EQ(Bar().nPos, GetParam().follows ? LastValue() : left);
    if (GetParam().follows) {
        EXPECT_EQ(view->FirstLineInSight() + Rows(), text.LineCount())
            << "the newest line in sight";
    }
}

INSTANTIATE_TEST_SUITE_P(LeftView, Following, ::testing::ValuesIn(FOLLOW_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReceivedTextWindow, DecodesWithTheSystemsTableAndShowsASplitCharacterWhole)
{
    Receive(ERROR_TEXT.substr(0, 1));
    EXPECT_EQ(view->DisplayedLine(0), L"\uFFFD");
    Receive(ERROR_TEXT.substr(1) + "\x87\x40\x85\x40\xB1\x80\x1A\x7F");
    EXPECT_EQ(view->DisplayedLine(0), L"エラー①\uFFFDｱ\uFFFD\u241A\u2421");
}

TEST_F(ReceivedTextWindow, SelectsWithShiftKeysAndCopies)
{
    Receive("abc\r\naaa\r\naaaa" + ERROR_TEXT);
    ClickOnLine(1);
    Key(VK_END, SHIFT);
    EXPECT_EQ(view->SelectedText(), L"aaa");
    Key(VK_DOWN, SHIFT);
    EXPECT_EQ(view->SelectedText(), L"aaa\r\naaa") << "the same column";
    Key(VK_END, SHIFT);
    Key(VK_LEFT, SHIFT);
    EXPECT_EQ(view->SelectedText(), L"aaa\r\naaaaエラ") << "a double-byte character is one step";
    Key(VK_UP, SHIFT);
    Key(VK_UP, SHIFT);
    Key(VK_HOME, SHIFT);
    EXPECT_EQ(view->SelectedText(), L"abc\r\n") << "the anchor stays";
    Key('C', CONTROL);
    EXPECT_EQ(ClipboardText(), L"abc\r\n");
    Key(VK_END, SHIFT | CONTROL);
    EXPECT_EQ(view->SelectedText(), L"aaa\r\naaaaエラー");
}

TEST_F(ReceivedTextWindow, ShiftPageDownScrollsTheSelectionsEndIntoSight)
{
    Receive(Repeat(FRAME, 500));
    Key(VK_NEXT, SHIFT);
    Key(VK_NEXT, SHIFT);
    EXPECT_EQ(view->SelectedText().size(), 2 * Rows() * FRAME.size());
    EXPECT_EQ(view->FirstLineInSight(), Rows() + 1);
}

// Everything selected is copied, a NUL as its picture, by Ctrl+C and by the context menu.
TEST_F(ReceivedTextWindow, CopiesEverythingWithANulAsItsPictureByKeyAndByMenu)
{
    Receive(std::string("a\0b\x1A\r\n", 6) + ERROR_TEXT);
    Key('A', CONTROL);
    const std::function<void()> copies[] = {
        [this] { Key('C', CONTROL); },
        // The menu's own loop takes the mnemonic of its copy entry.
        [this] {
            PostMessageW(window, WM_CHAR, L'c', 0);
            SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window),
                         MAKELPARAM(10, 10));
        },
    };
    for (const auto &copy : copies) {
        SetClipboardText(L"before");
        copy();
        EXPECT_EQ(ClipboardText(), L"a\u2400b\x1A\r\nエラー");
    }
}

TEST_F(ReceivedTextWindow, RefusesACopyLargerThanItsLimit)
{
    CRecordedAlerts alerts;
    Receive(Repeat(FRAME, 6));
    view->SetLimits(INT_MAX, 6 * FRAME.size() - 1);
    SetClipboardText(L"before");
    Key('A', CONTROL);
    Key('C', CONTROL);
    EXPECT_EQ(alerts.messages,
              std::vector<std::string> {"選択範囲が大きすぎるのでコピーできません"});
    EXPECT_EQ(ClipboardText(), L"before");
    view->SetLimits(INT_MAX, 6 * FRAME.size());
    Key('C', CONTROL);
    EXPECT_EQ(ClipboardText().size(), 6 * FRAME.size());
}

// A thousand lines on a bar of a hundred steps: ten lines a step, and both ends still reached.
TEST_F(ReceivedTextWindow, ScalesItsScrollBarPastTheStepsItHas)
{
    std::string lines;
    for (int i = 0; i < 1000; ++i)
        lines += std::to_string(i) + "\r\n";
    Receive(lines);
    view->SetLimits(100, CReceivedText::COPY_LIMIT);
    EXPECT_LE(LastValue(), 100);
    Scroll(SB_BOTTOM);
    EXPECT_EQ(view->FirstLineInSight() + Rows(), 1001u);
    Scroll(SB_TOP);
    for (int i = 0; i < 50; ++i)
        Scroll(SB_LINEDOWN);
    EXPECT_EQ(view->FirstLineInSight(), 500u);
    Key(VK_HOME, CONTROL);
    EXPECT_EQ(view->FirstLineInSight(), 0u);
}

TEST_F(ReceivedTextWindow, RepaintsOnlyWhenTheChangeIsInSight)
{
    Receive("X07FF");
    UpdateWindow(window);
    Receive("Y0801");
    EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE));
    Receive(Repeat(FRAME, 200));
    UpdateWindow(window);
    Receive(Repeat(FRAME, 200));
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
}

// The box painted into a bitmap of its own, as the system would paint it.
TEST_F(ReceivedTextWindow, PaintsAsAReadOnlyEditWithTheSelectionHighlighted)
{
    Receive("abc\r\ndef\r\nghi");
    ClickOnLine(1);
    Key(VK_END, SHIFT);
    CDibSurface surface;
    const CDibPixels image = PrintedClient(window, surface);
    ASSERT_TRUE(image.Valid());
    const auto countInRow = [&](int row, std::uint32_t colour) {
        int count = 0;
        for (int y = row * LineHeight(); y < (row + 1) * LineHeight(); ++y)
            for (int x = 0; x < image.Width(); ++x)
                count += image.At(x, y) == colour;
        return count;
    };
    const std::uint32_t highlight = Rgb(GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(countInRow(0, highlight), 0);
    EXPECT_GT(countInRow(1, highlight), 0);
    EXPECT_EQ(countInRow(2, highlight), 0);
    EXPECT_EQ(image.At(image.Width() - 1, image.Height() - 1), Rgb(GetSysColor(COLOR_3DFACE)));
}

} // namespace
