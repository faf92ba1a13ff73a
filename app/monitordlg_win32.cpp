#include "monitordlg_win32.h"

#include "aboutdlg_win32.h"
#include "dialogresource.h"
#include "dialogrun_win32.h"
#include "filechoice_win32.h"
#include "lognames.h"
#include "logviewer_win32.h"
#include "messagebox_win32.h"
#include "portsettingsdlg_win32.h"
#include "templates.h"
#include "texts.h"
#include "widetext.h"

#include <commctrl.h>
#include <windowsx.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// The port watch's wait posts this once the watch's signal is set.
constexpr UINT WM_PORTS_SIGNALLED = WM_APP + 1;

// The window's own menu's one entry; a menu that was dismissed returns 0.
constexpr UINT MENU_OPEN_LOG = 1;

// A log write that takes longer than this shows how far it has got.
constexpr auto PROGRESS_DELAY = std::chrono::milliseconds(500);
constexpr int PROGRESS_STEPS = 1000;
// The progress window's size and margins in pixels at 96 dots per inch.
constexpr int PROGRESS_WIDTH = 320;
constexpr int PROGRESS_MARGIN = 12;
constexpr int PROGRESS_LINE = 20;

HINSTANCE ProgramInstance()
{
    return GetModuleHandleW(nullptr);
}

HICON LoadMainIcon(int size)
{
    return static_cast<HICON>(LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(MAIN_ICON), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

std::string WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

void CALLBACK PortsSignalled(void *window, BOOLEAN)
{
    PostMessageW(static_cast<HWND>(window), WM_PORTS_SIGNALLED, 0, 0);
}

// While a clear writes its log: a small window over the main one with the text and a bar of the
// bytes written of the total. The main window takes no input meanwhile.
class CProgressWindow
{
public:
    explicit CProgressWindow(HWND owner)
        : m_owner(owner)
    {
        const UINT dpi = GetDpiForWindow(owner);
        const auto scaled = [dpi](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), 96); };
        const int width = scaled(PROGRESS_WIDTH);
        const int line = scaled(PROGRESS_LINE);
        const int margin = scaled(PROGRESS_MARGIN);
        RECT frame {0, 0, width, 2 * line + 3 * margin};
        const DWORD style = WS_POPUP | WS_CAPTION | WS_BORDER;
        AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, dpi);
        RECT ownerRect;
        GetWindowRect(owner, &ownerRect);
        const int frameWidth = frame.right - frame.left;
        const int frameHeight = frame.bottom - frame.top;
        m_window = CreateWindowExW(WS_EX_DLGMODALFRAME, WC_STATICW,
                                   WideFromUtf8(Strings::APP_NAME).c_str(), style,
                                   (ownerRect.left + ownerRect.right - frameWidth) / 2,
                                   (ownerRect.top + ownerRect.bottom - frameHeight) / 2, frameWidth,
                                   frameHeight, owner, nullptr, ProgramInstance(), nullptr);
        const HFONT font = reinterpret_cast<HFONT>(SendMessageW(owner, WM_GETFONT, 0, 0));
        const HWND label
            = CreateWindowExW(0, WC_STATICW, WideFromUtf8(Strings::LOG_WRITING).c_str(),
                              WS_CHILD | WS_VISIBLE, margin, margin, width - 2 * margin, line,
                              m_window, nullptr, ProgramInstance(), nullptr);
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        m_bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, margin,
                                line + 2 * margin, width - 2 * margin, line, m_window, nullptr,
                                ProgramInstance(), nullptr);
        SendMessageW(m_bar, PBM_SETRANGE32, 0, PROGRESS_STEPS);
        EnableWindow(owner, FALSE);
        ShowWindow(m_window, SW_SHOWNORMAL);
    }
    ~CProgressWindow()
    {
        EnableWindow(m_owner, TRUE);
        DestroyWindow(m_window);
    }
    CProgressWindow(const CProgressWindow &) = delete;
    CProgressWindow &operator=(const CProgressWindow &) = delete;

    void Show(const WriteProgress &progress)
    {
        const std::uint64_t total = progress.total;
        if (total > 0)
            SendMessageW(m_bar, PBM_SETPOS,
                         static_cast<WPARAM>(progress.done * PROGRESS_STEPS / total), 0);
    }

private:
    HWND m_owner;
    HWND m_window = nullptr;
    HWND m_bar = nullptr;
};

} // namespace

CMonitorDlg::CMonitorDlg(std::shared_ptr<CLineControl> lineControl)
    : m_monitor(*this, m_readerMessages, std::move(lineControl))
{ }

CMonitorDlg::~CMonitorDlg()
{
    DisarmPortWait();
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    if (m_hIcon)
        DestroyIcon(m_hIcon);
    if (m_hSmallIcon)
        DestroyIcon(m_hSmallIcon);
}

HWND CMonitorDlg::Create()
{
    const std::vector<std::uint8_t> resource = DialogResource(MAIN_TEMPLATE);
    CreateDialogIndirectParamW(ProgramInstance(),
                               reinterpret_cast<const DLGTEMPLATE *>(resource.data()), nullptr,
                               &CMonitorDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    return m_hWnd;
}

int CMonitorDlg::DoModal()
{
    if (!Create())
        return IDCANCEL;
    m_monitor.OnInitDialog();
    if (m_monitor.EndedAtStartup())
        return IDCANCEL;
    return static_cast<int>(RunDialogModal(m_hWnd, nullptr));
}

INT_PTR CALLBACK CMonitorDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto *dialog = reinterpret_cast<CMonitorDlg *>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        dialog->OnInitWindow();
        // The behaviour sets the focus itself once it starts.
        return FALSE;
    }
    auto *dialog = reinterpret_cast<CMonitorDlg *>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog)
        return FALSE;
    if (message == WM_NCDESTROY) {
        // The reader stopped before the window goes: nothing posts to it any more.
        DropPostedMessages(window);
        dialog->m_hWnd = nullptr;
        return FALSE;
    }
    return dialog->HandleMessage(message, wParam, lParam);
}

// The controls exist; the reader's messages come to this window from now on.
void CMonitorDlg::OnInitWindow()
{
    m_readerMessages.SetWindow(m_hWnd);
    m_hIcon = LoadMainIcon(GetSystemMetrics(SM_CXICON));
    m_hSmallIcon = LoadMainIcon(GetSystemMetrics(SM_CXSMICON));
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
    const HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    const std::string aboutText = Strings::ABOUT_MENU;
    if (systemMenu && !aboutText.empty()) {
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(systemMenu, MF_STRING, SYSCMD_ABOUT, WideFromUtf8(aboutText).c_str());
    }
    m_plot.Attach(GetDlgItem(m_hWnd, IDC_PLOT));
    m_legendX.Attach(GetDlgItem(m_hWnd, IDC_LEGEND_X));
    m_legendY.Attach(GetDlgItem(m_hWnd, IDC_LEGEND_Y));
    m_legendZ.Attach(GetDlgItem(m_hWnd, IDC_LEGEND_Z));
    m_receivedView
        = CReceivedTextWindow::ReplaceEdit(m_hWnd, IDC_RECEIVED, m_monitor.ReceivedText());
    // A repaint of the whole window leaves the controls' pixels to them, so nothing flashes.
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, GetWindowLongPtrW(m_hWnd, GWL_STYLE) | WS_CLIPCHILDREN);
    // A log dropped on the window opens in a viewer.
    DragAcceptFiles(m_hWnd, TRUE);
    m_monitor.DoDataExchange();
}

bool CMonitorDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SYSCMD_ABOUT)
            return false;
        m_monitor.OnSysCommand(static_cast<unsigned>(wParam));
        return true;
    case WM_TIMER:
        m_monitor.OnTimer(static_cast<int>(wParam));
        return true;
    case WM_RECEIVED_DATA:
        m_monitor.OnReceivedData(TakeChunk(lParam));
        return true;
    case WM_RECEIVE_ERROR:
        m_monitor.OnReceiveError();
        return true;
    case WM_PORT_LOST:
        m_monitor.OnPortLost(ReaderRunOf(lParam));
        return true;
    case WM_LINE_ERRORS:
        m_monitor.OnLineErrors(TakeLineErrors(lParam));
        return true;
    case WM_PORTS_SIGNALLED:
        OnPortsSignalled();
        return true;
    case WM_CONTEXTMENU:
        OnContextMenu(lParam);
        return true;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return true;
    default:
        return false;
    }
}

// The close box and the cancel button both come as IDCANCEL (the cancel button's number).
bool CMonitorDlg::OnCommand(int id, int code)
{
    if (id == IDC_BIT_LENGTH) {
        if (code == CBN_SELCHANGE)
            m_monitor.OnSelchangeBitLength();
        return code == CBN_SELCHANGE;
    }
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_CANCEL:
        m_monitor.OnCancel();
        return true;
    case IDC_DISPLAY_CLEAR:
        m_monitor.OnDisplayClear();
        return true;
    case IDC_PORT_SELECT:
        m_monitor.OnPortSelect();
        return true;
    case IDC_SEND:
        m_monitor.OnSend();
        return true;
    case IDC_SEND_CLEAR:
        m_monitor.OnSendClear();
        return true;
    default:
        return false;
    }
}

std::string CMonitorDlg::ControlText(int id) const
{
    return WindowText(GetDlgItem(m_hWnd, id));
}

// A replaced text is shown from its start, as a fresh edit box shows it.
void CMonitorDlg::SetControlText(int id, const std::string &text)
{
    SetDlgItemTextW(m_hWnd, id, WideFromUtf8(text).c_str());
}

void CMonitorDlg::ReceivedTextChanged()
{
    m_receivedView->TextChanged();
}

void CMonitorDlg::SetTitle(const std::string &text)
{
    SetWindowTextW(m_hWnd, WideFromUtf8(text).c_str());
}

// Through the dialog manager, so that the default button follows the focus.
void CMonitorDlg::FocusControl(int id)
{
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(m_hWnd, id)), TRUE);
}

void CMonitorDlg::FillList(int id, std::span<const char *const> items, int selected)
{
    const HWND list = GetDlgItem(m_hWnd, id);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const char *item : items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(item).c_str()));
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int CMonitorDlg::SelectedItem(int id) const
{
    return static_cast<int>(SendDlgItemMessageW(m_hWnd, id, CB_GETCURSEL, 0, 0));
}

void CMonitorDlg::DrawLegends()
{
    m_legendX.Invalidate();
    m_legendY.Invalidate();
    m_legendZ.Invalidate();
}

void CMonitorDlg::DrawGrid()
{
    m_plot.ShowGrid();
}

void CMonitorDlg::DrawTraces()
{
    m_plot.ShowTraces();
}

void CMonitorDlg::StartTimer(int id, std::chrono::milliseconds period)
{
    SetTimer(m_hWnd, static_cast<UINT_PTR>(id), static_cast<UINT>(period.count()), nullptr);
}

void CMonitorDlg::KillTimer(int id)
{
    ::KillTimer(m_hWnd, static_cast<UINT_PTR>(id));
}

MessageAnswer CMonitorDlg::ShowMessage(const std::string &text, MessageButtons buttons,
                                       const std::string &informativeText)
{
    return ShowMessageBox(m_hWnd, text, buttons, informativeText);
}

// At start-up the window is not shown yet, and the dialog stands alone on the task bar.
void CMonitorDlg::RunPortSettings()
{
    RunPortSettingsDialog(IsWindowVisible(m_hWnd) ? m_hWnd : nullptr);
}

void CMonitorDlg::ShowAbout()
{
    RunAboutBox(m_hWnd);
}

void CMonitorDlg::EndDialog()
{
    m_ended = true;
    EndDialogRun(m_hWnd, IDCANCEL);
}

void CMonitorDlg::WatchPorts(WatchSignal signal)
{
    m_watchSignal = signal;
    ArmPortWait();
}

void CMonitorDlg::StopWatchingPorts()
{
    m_watchSignal = NO_WATCH_SIGNAL;
    DisarmPortWait();
}

// The wait fires once; it is armed again after each change is taken, so a signal that stays set
// until the window takes the change posts one message, not a stream of them.
void CMonitorDlg::ArmPortWait()
{
    RegisterWaitForSingleObject(&m_portWait, m_watchSignal, &PortsSignalled, m_hWnd, INFINITE,
                                WT_EXECUTEONLYONCE);
}

// Waits for a call of PortsSignalled that is under way, which only posts.
void CMonitorDlg::DisarmPortWait()
{
    if (m_portWait)
        UnregisterWaitEx(m_portWait, INVALID_HANDLE_VALUE);
    m_portWait = nullptr;
}

// A message posted before the watch stopped finds no watch and is dropped. The behaviour may
// stop watching inside its handler.
void CMonitorDlg::OnPortsSignalled()
{
    if (m_watchSignal == NO_WATCH_SIGNAL)
        return;
    DisarmPortWait();
    m_monitor.OnPortsChanged();
    if (m_watchSignal != NO_WATCH_SIGNAL)
        ArmPortWait();
}

void CMonitorDlg::TakePostedChunks()
{
    MSG message;
    while (PeekMessageW(&message, m_hWnd, WM_RECEIVED_DATA, WM_RECEIVED_DATA, PM_REMOVE))
        m_monitor.OnReceivedData(TakeChunk(message.lParam));
}

// The window goes on painting, timing and taking the reader's messages, which wait for the write
// to end; the user's input waits in the queue.
void CMonitorDlg::WaitShowingProgress(
    const std::function<bool(std::chrono::milliseconds)> &waitFinished,
    const WriteProgress &progress)
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<CProgressWindow> bar;
    std::optional<WPARAM> quit;
    while (!waitFinished(std::chrono::milliseconds(5))) {
        MSG message;
        while (!quit
               && PeekMessageW(&message, nullptr, 0, 0,
                               PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
            if (message.message == WM_QUIT)
                quit = message.wParam;
            else
                DispatchMessageW(&message);
        }
        if (!bar && std::chrono::steady_clock::now() - start >= PROGRESS_DELAY)
            bar = std::make_unique<CProgressWindow>(m_hWnd);
        if (bar)
            bar->Show(progress);
    }
    // The quit is for the loop outside.
    if (quit)
        PostQuitMessage(static_cast<int>(*quit));
}

// The window's own menu: at the pointer, or at the window's corner when the keyboard asked for it
// (Shift+F10 or the menu key), which gives no point. The received text has its own menu.
void CMonitorDlg::OnContextMenu(LPARAM position)
{
    POINT at {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (at.x == -1 && at.y == -1) {
        at = {0, 0};
        ClientToScreen(m_hWnd, &at);
    }
    const HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuW(menu, MF_STRING, MENU_OPEN_LOG, WideFromUtf8(Strings::OPEN_LOG_MENU).c_str());
    const BOOL chosen
        = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
    if (chosen == MENU_OPEN_LOG)
        OnOpenLog();
}

void CMonitorDlg::OnOpenLog()
{
    const std::string path = ChooseFile(
        m_hWnd,
        {FileChoice::Open, Strings::OPEN_LOG_CAPTION, LOG_DIRECTORY, Strings::LOG_FILE_FILTER});
    if (!path.empty())
        OpenLogViewer(m_hWnd, path);
}

// Each file dropped opens in a viewer of its own; a folder is no log.
void CMonitorDlg::OnDropFiles(HDROP drop)
{
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(Utf8FromWide(path));
    }
    DragFinish(drop);
    for (const std::string &file : files)
        OpenLogViewer(m_hWnd, file);
}
