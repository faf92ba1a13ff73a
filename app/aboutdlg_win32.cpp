#include "aboutdlg_win32.h"

#include "dialogresource.h"
#include "dialogrun_win32.h"
#include "templates.h"

namespace {

// The icon static finds icon 128 among the program's resources itself, and takes the icon's size.
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialogRun(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

void RunAboutBox(HWND owner)
{
    const std::vector<std::uint8_t> resource = DialogResource(ABOUT_TEMPLATE);
    const HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), owner,
        AboutBoxProc, 0);
    if (dialog)
        RunDialogModal(dialog, owner, DialogKeys::Standard);
}
