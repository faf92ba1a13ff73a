#include "messagebox_win32.h"

#include "texts.h"
#include "widetext.h"

#include <string_view>

namespace {

MessageBoxHandler &Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

std::function<void()> &BeepHandler()
{
    static std::function<void()> handler;
    return handler;
}

// The system's box has no Retry and Ignore without Abort. Abort, which would mean nothing here,
// goes once the box has laid out its buttons and before it is first shown, and the two left
// close up around the middle. The box is the first dialog the thread makes after the hook is set.
HHOOK g_boxWatch = nullptr;
WNDPROC g_boxProcedure = nullptr;

void RemoveAbortButton(HWND box)
{
    const HWND abort = GetDlgItem(box, IDABORT);
    const HWND retry = GetDlgItem(box, IDRETRY);
    const HWND ignore = GetDlgItem(box, IDIGNORE);
    if (!abort || !retry || !ignore)
        return;
    RECT abortPlace;
    RECT retryPlace;
    GetWindowRect(abort, &abortPlace);
    GetWindowRect(retry, &retryPlace);
    const int shift = (abortPlace.left - retryPlace.left) / 2;
    for (const HWND button : {retry, ignore}) {
        RECT place;
        GetWindowRect(button, &place);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT *>(&place), 2);
        SetWindowPos(button, nullptr, place.left + shift, place.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    DestroyWindow(abort);
}

LRESULT CALLBACK BoxWithoutAbort(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcW(g_boxProcedure, box, message, wParam, lParam);
    if (message == WM_INITDIALOG)
        RemoveAbortButton(box);
    return result;
}

bool IsDialogWindow(HWND window)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wstring_view(name) == L"#32770";
}

LRESULT CALLBACK WatchForTheBox(int code, WPARAM wParam, LPARAM lParam)
{
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && g_boxWatch && IsDialogWindow(window)) {
        g_boxProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxWithoutAbort)));
        UnhookWindowsHookEx(g_boxWatch);
        g_boxWatch = nullptr;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring BoxText(const std::string &text, const std::string &informativeText)
{
    return WideFromUtf8(informativeText.empty() ? text : text + "\n\n" + informativeText);
}

MessageAnswer ShowRealBox(HWND owner, const std::string &text, MessageButtons buttons,
                          const std::string &informativeText)
{
    // A box without an owner still keeps the thread's windows from input while it is open.
    const UINT modality = owner ? MB_APPLMODAL : MB_TASKMODAL;
    const std::wstring caption = WideFromUtf8(Strings::APP_NAME);
    const std::wstring boxText = BoxText(text, informativeText);
    if (buttons == MessageButtons::Ok) {
        MessageBoxW(owner, boxText.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | modality);
        return MessageAnswer::Ok;
    }
    g_boxWatch = SetWindowsHookExW(WH_CBT, WatchForTheBox, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(owner, boxText.c_str(), caption.c_str(),
                                   MB_ABORTRETRYIGNORE | MB_ICONWARNING | modality);
    if (g_boxWatch) {
        UnhookWindowsHookEx(g_boxWatch);
        g_boxWatch = nullptr;
    }
    // Whatever else ends the box, a close box or Escape where the system allows them, tries
    // again rather than lose what Ignore gives up.
    return answer == IDIGNORE ? MessageAnswer::Ignore : MessageAnswer::Retry;
}

} // namespace

MessageAnswer ShowMessageBox(HWND owner, const std::string &text, MessageButtons buttons,
                             const std::string &informativeText)
{
    if (Handler())
        return Handler()(owner, text, buttons, informativeText);
    return ShowRealBox(owner, text, buttons, informativeText);
}

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    Handler() = std::move(handler);
}

void DefaultBeep()
{
    if (BeepHandler())
        BeepHandler()();
    else
        MessageBeep(MB_OK);
}

void SetBeepHandler(std::function<void()> handler)
{
    BeepHandler() = std::move(handler);
}
