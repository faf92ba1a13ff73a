#include "portsettingsdlg_win32.h"

#include "dialogresource.h"
#include "dialogrun_win32.h"
#include "portlist.h"
#include "portsettings.h"
#include "settingslists.h"
#include "templates.h"
#include "widetext.h"

#include <commctrl.h>

#include <optional>

namespace {

// Device descriptions run long and some have a second line.
constexpr int TOOLTIP_WIDTH = 480;

// The dialog keeps its tooltip window, which it owns and so destroys with itself.
constexpr const wchar_t *TOOLTIP_PROPERTY = L"Orvanta.PortTips";

std::optional<SettingsList> ListOfControl(int id)
{
    for (const SettingsList list : SETTINGS_LISTS) {
        if (SettingsListControl(list) == id)
            return list;
    }
    return std::nullopt;
}

void ShowChoices(HWND dialog, SettingsList choices)
{
    const HWND list = GetDlgItem(dialog, SettingsListControl(choices));
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    // Inserted at the end, never sorted, whatever the list's sort style.
    for (const std::string &entry : SettingsListEntries(choices)) {
        const std::wstring text = WideFromUtf8(entry);
        SendMessageW(list, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(list, CB_SETCURSEL,
                 static_cast<WPARAM>(StoredEntryPosition(choices, g_portSettings)), 0);
}

HWND DroppedListOf(HWND combo)
{
    COMBOBOXINFO info {};
    info.cbSize = sizeof info;
    return GetComboBoxInfo(combo, &info) ? info.hwndList : nullptr;
}

// The tool structure of the common controls 5 as well as 6, so that the tips work whichever the
// program gets.
TTTOOLINFOW ToolOf(HWND window, UINT_PTR id, UINT flags)
{
    TTTOOLINFOW tool {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = flags | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = id;
    return tool;
}

void AddTool(HWND tooltip, TTTOOLINFOW tool, const std::string &text)
{
    std::wstring wide = WideFromUtf8(text);
    tool.lpszText = wide.data();
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Each entry of the dropped-down list is a tool of its own, its rectangle that of the entry.
void PlaceEntryTools(HWND tooltip, HWND droppedList, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        TTTOOLINFOW tool = ToolOf(droppedList, i, 0);
        SendMessageW(droppedList, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&tool.rect));
        SendMessageW(tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// The entries keep their names; each one's tooltip tells which device it reaches now, and the
// closed list's tooltip names the devices none of the sixteen reaches. Adapters plugged in since
// the last look are seen here, at start-up and at every port selection, before the chosen port
// is opened.
void ShowPortDevices(HWND dialog)
{
    const HWND ports = GetDlgItem(dialog, IDC_COMBO_PORT);
    const HWND droppedList = DroppedListOf(ports);
    const HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog,
                                         nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tooltip || !droppedList)
        return;
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, TOOLTIP_WIDTH);
    const PortListTips tips = PortListTipsOf(CurrentPortList());
    if (!tips.list.empty())
        AddTool(tooltip, ToolOf(ports, reinterpret_cast<UINT_PTR>(ports), TTF_IDISHWND), tips.list);
    for (std::size_t i = 0; i < tips.entries.size(); ++i)
        AddTool(tooltip, ToolOf(droppedList, i, 0), tips.entries[i]);
    PlaceEntryTools(tooltip, droppedList, tips.entries.size());
    SetPropW(dialog, TOOLTIP_PROPERTY, tooltip);
}

BOOL OnInitDialog(HWND dialog)
{
    LoadPortSettingsOnFirstRun();
    for (const SettingsList list : SETTINGS_LISTS) {
        ShowChoices(dialog, list);
        if (list == SettingsList::Port)
            ShowPortDevices(dialog);
    }
    // The dialog manager puts the focus on the first tab stop in template order, the OK button.
    return TRUE;
}

void OnSelchange(HWND dialog, SettingsList list)
{
    const auto position
        = SendMessageW(GetDlgItem(dialog, SettingsListControl(list)), CB_GETCURSEL, 0, 0);
    StorePickedEntry(list, static_cast<int>(position), g_portSettings);
}

// The list may have moved its entries since the tools were placed.
void OnDropdownPorts(HWND dialog)
{
    const HWND tooltip = static_cast<HWND>(GetPropW(dialog, TOOLTIP_PROPERTY));
    const HWND ports = GetDlgItem(dialog, IDC_COMBO_PORT);
    if (tooltip)
        PlaceEntryTools(tooltip, DroppedListOf(ports),
                        static_cast<std::size_t>(SendMessageW(ports, CB_GETCOUNT, 0, 0)));
}

BOOL OnCommand(HWND dialog, int id, int code)
{
    if (const std::optional<SettingsList> list = ListOfControl(id)) {
        if (code == CBN_SELCHANGE)
            OnSelchange(dialog, *list);
        else if (code == CBN_DROPDOWN && *list == SettingsList::Port)
            OnDropdownPorts(dialog);
        return TRUE;
    }
    // OK, and cancel from the close box; Escape, which would also cancel, never gets here.
    if (id == IDOK || id == IDCANCEL) {
        EndDialogRun(dialog, id);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK PortSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_DESTROY:
        RemovePropW(dialog, TOOLTIP_PROPERTY);
        break;
    }
    return FALSE;
}

} // namespace

void RunPortSettingsDialog(HWND owner)
{
    INITCOMMONCONTROLSEX controls {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const std::vector<std::uint8_t> resource = DialogResource(PORT_SETTINGS_TEMPLATE);
    const HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), owner,
        PortSettingsProc, 0);
    if (dialog)
        RunDialogModal(dialog, owner);
}
