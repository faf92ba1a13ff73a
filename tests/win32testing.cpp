#include "win32testing.h"

#include "dialogresource.h"
#include "dibsurface_win32.h"
#include "messagebox_win32.h"
#include "templates.h"
#include "widetext.h"

#include <chrono>

bool PumpMessagesUntil(const std::function<bool()> &condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

namespace {

INT_PTR CALLBACK KeepDefaults(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

} // namespace

OwnedWindow MakeMainWindow(DLGPROC procedure)
{
    const std::vector<std::uint8_t> resource = DialogResource(MAIN_TEMPLATE);
    return OwnedWindow(CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), nullptr,
        procedure ? procedure : KeepDefaults, 0));
}

RECT ClientOf(HWND window)
{
    RECT client {};
    GetClientRect(window, &client);
    return client;
}

std::string TextOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

CDibPixels::CDibPixels(HDC dc)
{
    GdiFlush();
    DIBSECTION section {};
    GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof section, &section);
    m_bits = static_cast<const std::uint32_t *>(section.dsBm.bmBits);
    m_width = section.dsBm.bmWidth;
    m_height = std::abs(section.dsBm.bmHeight);
}

int CDibPixels::Count(std::uint32_t rgb) const
{
    int count = 0;
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            count += At(x, y) == rgb;
    return count;
}

CDibPixels PrintedClient(HWND window, CDibSurface &surface, PrintBy how)
{
    const RECT client = ClientOf(window);
    if (!surface.Fit(client.right, client.bottom))
        return CDibPixels(nullptr);
    if (how == PrintBy::PrintWindow)
        PrintWindow(window, surface.Dc(), PW_CLIENTONLY);
    else
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
    return CDibPixels(surface.Dc());
}

CRecordedAlerts::CRecordedAlerts()
{
    SetMessageBoxHandler(
        [this](HWND, const std::string &text, MessageButtons, const std::string &) {
            messages.push_back(text);
            return MessageAnswer::Ok;
        });
    SetBeepHandler([this] { ++beeps; });
}

CRecordedAlerts::~CRecordedAlerts()
{
    SetMessageBoxHandler({});
    SetBeepHandler({});
}
