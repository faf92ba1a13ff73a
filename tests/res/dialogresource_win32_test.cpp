#include "dialogresource.h"

#include "templates.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

namespace {

struct DialogDestroyer
{
    void operator()(HWND dialog) const { DestroyWindow(dialog); }
};
using DialogWindow = std::unique_ptr<std::remove_pointer_t<HWND>, DialogDestroyer>;

INT_PTR CALLBACK KeepDefaults(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

DialogWindow CreateFromTemplate(const DialogTemplate &dialogTemplate)
{
    const std::vector<std::uint8_t> resource = DialogResource(dialogTemplate);
    return DialogWindow(CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), nullptr,
        KeepDefaults, 0));
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// Where the dialog manager put a control, in the dialog's client pixels.
RECT PlaceOf(HWND dialog, HWND control)
{
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&place), 2);
    return place;
}

// The dialog manager converts a control's position and its size each on their own.
RECT InPixels(HWND dialog, int x, int y, int w, int h)
{
    RECT units {x, y, w, h};
    MapDialogRect(dialog, &units);
    return {units.left, units.top, units.left + units.right, units.top + units.bottom};
}

bool operator==(const RECT &a, const RECT &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(DialogResourceOnWindows, TheDialogManagerMakesTheMainWindowAsItsTableSays)
{
    const DialogWindow dialog = CreateFromTemplate(MAIN_TEMPLATE);
    ASSERT_NE(dialog.get(), nullptr) << GetLastError();
    EXPECT_EQ(TextOf(dialog.get()), L"Orvanta");

    const LONG style = GetWindowLongW(dialog.get(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "a fixed size";
    EXPECT_TRUE(GetWindowLongW(dialog.get(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

    RECT client;
    GetClientRect(dialog.get(), &client);
    EXPECT_TRUE(client == InPixels(dialog.get(), 0, 0, 638, 457));

    struct Row
    {
        int id;
        const wchar_t *className;
        int x, y, w, h;
    };
    const Row rows[] = {
        {2, L"Button", 606, 2, 29, 14},      {1001, L"Edit", 2, 79, 83, 343},
        {1002, L"Edit", 2, 440, 40, 14},     {1003, L"Static", 93, 77, 542, 354},
        {1004, L"Edit", 95, 441, 540, 12},   {1005, L"Button", 585, 60, 50, 14},
        {1006, L"ComboBox", 521, 58, 40, 0}, {1007, L"Button", 585, 19, 50, 14},
        {1008, L"Edit", 376, 4, 204, 29},    {1009, L"Button", 321, 19, 47, 14},
        {1010, L"Static", 197, 59, 63, 13},  {1011, L"Static", 282, 59, 65, 13},
        {1013, L"Static", 370, 59, 73, 13},  {1015, L"Button", 585, 43, 50, 14},
        {1016, L"Edit", 11, 14, 295, 12},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.id);
        const HWND control = GetDlgItem(dialog.get(), row.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), row.className);
        const RECT place = PlaceOf(dialog.get(), control);
        const RECT expected = InPixels(dialog.get(), row.x, row.y, row.w, row.h);
        EXPECT_EQ(place.left, expected.left);
        EXPECT_EQ(place.top, expected.top);
        EXPECT_EQ(place.right, expected.right);
        // A closed drop-down list is as high as its edit field, not as its template.
        if (row.h > 0) {
            EXPECT_EQ(place.bottom, expected.bottom);
        }
    }
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog.get(), 1001), GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog.get(), 1008), GWL_EXSTYLE) & WS_EX_STATICEDGE);
}

TEST(DialogResourceOnWindows, TextsReachTheControlsInFull)
{
    const DialogWindow dialog = CreateFromTemplate(MAIN_TEMPLATE);
    ASSERT_NE(dialog.get(), nullptr) << GetLastError();
    EXPECT_EQ(TextOf(GetDlgItem(dialog.get(), 2)), L"ｷｬﾝｾﾙ");
    EXPECT_EQ(TextOf(GetDlgItem(dialog.get(), 1015)), L"ポート選択");
    // The receive format line is the longest caption, with an ideographic space in it.
    bool formatLineFound = false;
    for (HWND child = GetWindow(dialog.get(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        formatLineFound = formatLineFound
            || TextOf(child)
                == L"受信データ書式：　XYZ Data Format:X07FFY0801Z0ABC(cr)(lf),   XY  Data "
                   L"Format:X07FFY0801(cr)(lf),   X   Data Format:X07FF(cr)(lf)";
    }
    EXPECT_TRUE(formatLineFound);

    const DialogWindow settings = CreateFromTemplate(PORT_SETTINGS_TEMPLATE);
    ASSERT_NE(settings.get(), nullptr) << GetLastError();
    EXPECT_EQ(TextOf(settings.get()), L"ポートの設定");
    for (const int id : {1, 1000, 1012, 1016, 1017, 1018, 1019})
        EXPECT_NE(GetDlgItem(settings.get(), id), nullptr) << id;
    EXPECT_FALSE(GetWindowLongW(settings.get(), GWL_STYLE) & WS_MINIMIZEBOX);
}

} // namespace
