#include "dialogrun_win32.h"

#include "messagebox_win32.h"

#include <cwchar>

namespace {

// The result lives on the dialog itself, so a dialog may be ended before its run has begun, and
// runs nested in one another (the About box over the main window) each find their own.
constexpr const wchar_t *ENDED_PROPERTY = L"Orvanta.DialogRun.Ended";
constexpr const wchar_t *RESULT_PROPERTY = L"Orvanta.DialogRun.Result";

ModalRunner &Runner()
{
    static ModalRunner runner;
    return runner;
}

bool Ended(HWND dialog)
{
    return GetPropW(dialog, ENDED_PROPERTY) != nullptr;
}

INT_PTR TakeResult(HWND dialog)
{
    const auto result = reinterpret_cast<INT_PTR>(GetPropW(dialog, RESULT_PROPERTY));
    RemovePropW(dialog, ENDED_PROPERTY);
    RemovePropW(dialog, RESULT_PROPERTY);
    return result;
}

bool IsComboBox(HWND window)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return _wcsicmp(name, L"ComboBox") == 0;
}

// The key goes to a combo box, or to the edit field inside one, whose list is dropped down. The
// list itself is a window of its own outside the dialog.
bool AimedAtDroppedList(HWND dialog, HWND target)
{
    for (HWND window = target; window && window != dialog; window = GetParent(window)) {
        if (IsComboBox(window) && SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0))
            return true;
    }
    return false;
}

// Pumps until the dialog is ended or gone; false when WM_QUIT came first, whose exit code is then
// in `quitCode`.
bool PumpUntilEnded(HWND dialog, DialogKeys keys, WPARAM &quitCode)
{
    MSG msg;
    while (IsWindow(dialog) && !Ended(dialog)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quitCode = msg.wParam;
            return false;
        }
        if (got == -1)
            return true;
        if (keys == DialogKeys::EnterAndEscapeSwallowed && SwallowEnterAndEscape(dialog, msg))
            continue;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

} // namespace

INT_PTR RunDialogModal(HWND dialog, HWND owner, DialogKeys keys)
{
    // EnableWindow tells whether the owner was disabled already, as under a nested run; such an
    // owner stays disabled for the run outside.
    const bool enableOwner = owner && !EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);
    if (Runner())
        Runner()(dialog);
    WPARAM quitCode = 0;
    const bool quit = !PumpUntilEnded(dialog, keys, quitCode);
    const INT_PTR result = quit || !Ended(dialog) ? IDCANCEL : TakeResult(dialog);
    if (enableOwner)
        EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) {
        TakeResult(dialog);
        DestroyWindow(dialog);
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
    return result;
}

void EndDialogRun(HWND dialog, INT_PTR result)
{
    SetPropW(dialog, RESULT_PROPERTY, reinterpret_cast<HANDLE>(result));
    SetPropW(dialog, ENDED_PROPERTY, reinterpret_cast<HANDLE>(1));
    // The run waits in GetMessageW; a message wakes it to see the end.
    PostMessageW(dialog, WM_NULL, 0, 0);
}

bool SwallowEnterAndEscape(HWND dialog, const MSG &msg)
{
    // While an input method composes, it takes Enter itself: the key then arrives as
    // VK_PROCESSKEY and passes.
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE))
        return false;
    if (msg.hwnd != dialog && !IsChild(dialog, msg.hwnd))
        return false;
    if (AimedAtDroppedList(dialog, msg.hwnd))
        return false;
    DefaultBeep();
    return true;
}

void SetModalRunner(ModalRunner runner)
{
    Runner() = std::move(runner);
}
