#include "portwatch.h"

#include "comports.h"
#include "portbroadcast.h"
#include "portchoicetables.h"
#include "widetext.h"

// The GUID of the COM port interface is defined here, not in a library.
#include <initguid.h>

#include <winioctl.h>

#include <cstddef>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

namespace {

constexpr wchar_t WINDOW_CLASS[] = L"OrvantaPortWatch";
constexpr UINT_PTR RETRY_TIMER = 1;

std::optional<std::string> PortNameOf(const DEV_BROADCAST_PORT_W &port)
{
    constexpr std::size_t nameOffset = offsetof(DEV_BROADCAST_PORT_W, dbcp_name);
    if (port.dbcp_size < nameOffset + sizeof(wchar_t))
        return std::nullopt;
    const std::wstring_view room(port.dbcp_name, (port.dbcp_size - nameOffset) / sizeof(wchar_t));
    const std::size_t end = room.find(L'\0');
    if (end == std::wstring_view::npos)
        return std::nullopt;
    const int number = ComPortNumber(Utf8FromWide(room.substr(0, end)));
    if (number < 1 || number > static_cast<int>(PORT_COUNT))
        return std::nullopt;
    return "COM" + std::to_string(number);
}

} // namespace

std::optional<std::string> BroadcastPortName(const DEV_BROADCAST_HDR *broadcast)
{
    if (!broadcast || broadcast->dbch_size < sizeof(DEV_BROADCAST_HDR))
        return std::nullopt;
    if (broadcast->dbch_devicetype == DBT_DEVTYP_PORT)
        return PortNameOf(*reinterpret_cast<const DEV_BROADCAST_PORT_W *>(broadcast));
    if (broadcast->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE
        && broadcast->dbch_size >= offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)
        && reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W *>(broadcast)->dbcc_classguid
            == GUID_DEVINTERFACE_COMPORT)
        return std::string();
    return std::nullopt;
}

// The window lives on a thread of its own, which does nothing but take its messages. It is a
// hidden top-level window, not a message-only one: a port's arrival and removal are broadcast to
// top-level windows only, and they name the port. The COM port interface's notifications, which
// come to the window it was registered for, tell of ports whose drivers broadcast nothing. Where
// no visible desktop is there to hold a top-level window, a message-only one still takes those
// notifications and the retry timer.
struct CPortWatch::State
{
    std::chrono::milliseconds retryPeriod;
    HANDLE signal = nullptr;
    HWND window = nullptr;
    HDEVNOTIFY notification = nullptr;
    std::thread thread;

    std::mutex mutex;
    bool changed = false;
    std::vector<PortChange> named;

    void Note(std::optional<PortChange> change)
    {
        std::lock_guard lock(mutex);
        changed = true;
        if (change)
            named.push_back(std::move(*change));
        SetEvent(signal);
    }

    void TakeDeviceChange(WPARAM event, const DEV_BROADCAST_HDR *broadcast)
    {
        if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
            return;
        const std::optional<std::string> portName = BroadcastPortName(broadcast);
        if (!portName)
            return;
        if (portName->empty())
            Note(std::nullopt);
        else
            Note(PortChange {*portName, event == DBT_DEVICEARRIVAL});
    }

    void Run(std::promise<HWND> created);
    static bool WindowClassRegistered();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

LRESULT CALLBACK CPortWatch::State::WindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto *creation = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto *state = reinterpret_cast<State *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!state)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_DEVICECHANGE:
        state->TakeDeviceChange(wParam, reinterpret_cast<const DEV_BROADCAST_HDR *>(lParam));
        return TRUE;
    case WM_TIMER:
        state->Note(std::nullopt);
        return 0;
    case WM_DESTROY:
        KillTimer(window, RETRY_TIMER);
        if (state->notification)
            UnregisterDeviceNotification(state->notification);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool CPortWatch::State::WindowClassRegistered()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = WINDOW_CLASS;
        return RegisterClassExW(&windowClass) != 0;
    }();
    return registered;
}

namespace {

HDEVNOTIFY NotifyComPortInterface(HWND window)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_COMPORT;
    return RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

} // namespace

void CPortWatch::State::Run(std::promise<HWND> created)
{
    const auto makeWindow = [this](HWND parent) {
        return CreateWindowExW(0, WINDOW_CLASS, L"", WS_OVERLAPPED, 0, 0, 0, 0, parent, nullptr,
                               GetModuleHandleW(nullptr), this);
    };
    HWND made = nullptr;
    if (WindowClassRegistered() && !(made = makeWindow(nullptr)))
        made = makeWindow(HWND_MESSAGE);
    if (made) {
        notification = NotifyComPortInterface(made);
        SetTimer(made, RETRY_TIMER, static_cast<UINT>(retryPeriod.count()), nullptr);
    }
    created.set_value(made);
    if (!made)
        return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
}

CPortWatch::CPortWatch(PortWatchSetup setup)
    : m_state(std::make_unique<State>())
{
    m_state->retryPeriod = setup.retryPeriod;
    m_state->signal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_state->signal)
        return;
    std::promise<HWND> created;
    std::future<HWND> window = created.get_future();
    m_state->thread = std::thread(&State::Run, m_state.get(), std::move(created));
    m_state->window = window.get();
}

CPortWatch::~CPortWatch()
{
    if (m_state->window)
        PostMessageW(m_state->window, WM_CLOSE, 0, 0);
    if (m_state->thread.joinable())
        m_state->thread.join();
    if (m_state->signal)
        CloseHandle(m_state->signal);
}

WatchSignal CPortWatch::Descriptor() const
{
    return m_state->window ? m_state->signal : NO_WATCH_SIGNAL;
}

bool CPortWatch::TakeChanges(std::vector<PortChange> *named)
{
    if (!m_state->window)
        return false;
    std::lock_guard lock(m_state->mutex);
    ResetEvent(m_state->signal);
    if (named)
        named->insert(named->end(), m_state->named.begin(), m_state->named.end());
    m_state->named.clear();
    return std::exchange(m_state->changed, false);
}
