#include "messagebox_win32.h"

#include "texts.h"
#include "widetext.h"

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

// The system's box has no Retry and Ignore without Abort; Abort, which would mean nothing here,
// goes before the box is first shown, and the two left close up around the middle.
HHOOK g_abortRemoval = nullptr;

bool RemoveAbortButton(HWND box)
{
    const HWND abort = GetDlgItem(box, IDABORT);
    const HWND retry = GetDlgItem(box, IDRETRY);
    const HWND ignore = GetDlgItem(box, IDIGNORE);
    if (!abort || !retry || !ignore)
        return false;
    RECT abortPlace;
    RECT retryPlace;
    GetWindowRect(abort, &abortPlace);
    GetWindowRect(retry, &retryPlace);
    const int shift = (retryPlace.left - abortPlace.left) / 2;
    for (const HWND button : {retry, ignore}) {
        RECT place;
        GetWindowRect(button, &place);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT *>(&place), 2);
        SetWindowPos(button, nullptr, place.left + shift, place.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    DestroyWindow(abort);
    return true;
}

LRESULT CALLBACK WatchForTheBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && RemoveAbortButton(reinterpret_cast<HWND>(wParam))) {
        UnhookWindowsHookEx(g_abortRemoval);
        g_abortRemoval = nullptr;
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
    g_abortRemoval = SetWindowsHookExW(WH_CBT, WatchForTheBox, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(owner, boxText.c_str(), caption.c_str(),
                                   MB_ABORTRETRYIGNORE | MB_ICONWARNING | modality);
    if (g_abortRemoval) {
        UnhookWindowsHookEx(g_abortRemoval);
        g_abortRemoval = nullptr;
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
