#include "logviewer_win32.h"

#include "csvexport.h"
#include "filechoice_win32.h"
#include "messagebox_win32.h"
#include "pngpicture_win32.h"
#include "recording.h"
#include "samplebuffers.h"
#include "texts.h"
#include "viewerplot_win32.h"
#include "viewertext.h"
#include "widetext.h"
#include "windowobject_win32.h"

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace {

constexpr wchar_t CLASS_NAME[] = L"OrvantaLogViewer";
constexpr int ICON_RESOURCE = 128;
constexpr UINT WM_VIEWER_SCAN_PROGRESS = WM_APP + 1;
constexpr UINT WM_VIEWER_CSV_WRITTEN = WM_APP + 2;
constexpr UINT_PTR CSV_BUSY_TIMER = 1;
constexpr UINT CSV_PROGRESS_DELAY_MS = 500;
constexpr int SCAN_PROGRESS_STEPS = 1000;
constexpr int INITIAL_WIDTH = 1000;
constexpr int INITIAL_HEIGHT = 640;
// The layout's measures, in pixels.
constexpr int GAP = 8;
constexpr int ROW_HEIGHT = 26;
constexpr int BUTTON_PADDING = 24;
constexpr int COMBO_WIDTH = 80;
constexpr int COMBO_LIST_HEIGHT = 160;
constexpr int PROGRESS_WIDTH = 220;
constexpr int STATUS_HEIGHT = 20;

const std::pair<int, const char *> COMMANDS[] = {
    {IDC_VIEWER_RELOAD, Strings::VIEWER_RELOAD},
    {IDC_VIEWER_SAVE_ALL_CSV, Strings::VIEWER_SAVE_ALL_CSV},
    {IDC_VIEWER_SAVE_VISIBLE_CSV, Strings::VIEWER_SAVE_VISIBLE_CSV},
    {IDC_VIEWER_SAVE_PICTURE, Strings::VIEWER_SAVE_PICTURE},
};

class CLogViewerWindow
{
public:
    explicit CLogViewerWindow(const std::string &path)
        : m_path(path)
        , m_recording(std::make_unique<CRecording>(path))
    { }
    ~CLogViewerWindow();
    CLogViewerWindow(const CLogViewerWindow &) = delete;
    CLogViewerWindow &operator=(const CLogViewerWindow &) = delete;

    // Makes the window, hidden, with every control.
    bool Create(HWND owner);
    HWND Window() const { return m_hWnd; }
    bool Open(std::string &failure);

    // Every message of the window but its last; the last frees this object, once the controls
    // are gone: the writer and the scan end before the rest goes.
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND MakeControl(const wchar_t *className, const std::string &text, DWORD style, int id);
    void MakeControls();
    void Layout(int width, int height);
    int TextWidth(HWND control) const;
    // Pixels at 96 dots per inch, on the window's screen.
    int Scaled(int pixels) const;
    void OnCommand(int id, int notification);
    void PostScanProgress();
    void OnScanProgress();
    void ShowReadout(std::int64_t frame);
    void OnReload();
    void OnSelchangeBitLength();
    std::string ChooseFile(const char *caption, const char *suffix, const char *filter);
    // Without a last frame, the whole file, however far its scan has got.
    void SaveCsv(std::int64_t first, std::optional<std::int64_t> last);
    void OnCsvWritten();
    void OnSavePicture();
    void EnableCommands(bool enabled);
    HWND Control(int id) const { return GetDlgItem(m_hWnd, id); }

    std::string m_path;
    HWND m_hWnd = nullptr;
    HFONT m_font = nullptr;
    CViewerPlotWindow *m_plot = nullptr;
    std::int32_t m_code = BIT_LENGTH_12;
    // Set while a progress message waits in the window's queue, so that the scan posts one at
    // most.
    std::atomic<bool> m_progressQueued {false};
    std::unique_ptr<CRecording> m_recording;
    std::thread m_csvWriter;
    // What the writer leaves for the window, read once the window has joined it.
    bool m_csvWritten = false;
    std::string m_csvFailure;
};

void RegisterViewerClass()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.hIcon
            = static_cast<HICON>(LoadImageW(windowClass.hInstance, MAKEINTRESOURCEW(ICON_RESOURCE),
                                            IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        windowClass.hIconSm = static_cast<HICON>(
            LoadImageW(windowClass.hInstance, MAKEINTRESOURCEW(ICON_RESOURCE), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        windowClass.lpszClassName = CLASS_NAME;
        return RegisterClassExW(&windowClass) != 0;
    }();
    static_cast<void>(registered);
}

// The font of the system's message boxes, as the main window's dialogs use it.
HFONT MessageFont()
{
    NONCLIENTMETRICSW metrics {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

CLogViewerWindow::~CLogViewerWindow()
{
    if (m_csvWriter.joinable())
        m_csvWriter.join();
    // The scan ends while the flag it sets is still there.
    m_recording.reset();
    if (m_font != nullptr)
        DeleteObject(m_font);
}

bool CLogViewerWindow::Create(HWND owner)
{
    RegisterViewerClass();
    m_hWnd = CreateWindowExW(0, CLASS_NAME, WideFromUtf8(ViewerTitle(m_path)).c_str(),
                             WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                             INITIAL_WIDTH, INITIAL_HEIGHT, owner, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (m_hWnd == nullptr)
        return false;
    AttachWindowObject(m_hWnd, this);
    SetWindowPos(m_hWnd, nullptr, 0, 0, Scaled(INITIAL_WIDTH), Scaled(INITIAL_HEIGHT),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_font = MessageFont();
    MakeControls();
    RECT client {};
    GetClientRect(m_hWnd, &client);
    Layout(client.right, client.bottom);
    // The scan calls this on its own thread.
    m_recording->SetOnProgress([this] { PostScanProgress(); });
    return m_plot != nullptr;
}

HWND CLogViewerWindow::MakeControl(const wchar_t *className, const std::string &text, DWORD style,
                                   int id)
{
    const HWND control = CreateWindowExW(
        0, className, WideFromUtf8(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, m_hWnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (m_font != nullptr)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    return control;
}

void CLogViewerWindow::MakeControls()
{
    for (const auto &[id, caption] : COMMANDS)
        MakeControl(WC_BUTTONW, caption, BS_PUSHBUTTON, id);
    MakeControl(WC_STATICW, Strings::VIEWER_BIT_LENGTH, SS_RIGHT | SS_CENTERIMAGE,
                IDC_VIEWER_BIT_LENGTH_LABEL);
    const HWND combo
        = MakeControl(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL, IDC_VIEWER_BIT_LENGTH);
    for (const char *label : BIT_LENGTH_LABELS)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(label).c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(m_code - 1), 0);

    m_plot = CViewerPlotWindow::Create(m_hWnd, IDC_VIEWER_PLOT, *m_recording,
                                       [this](std::int64_t frame) { ShowReadout(frame); });

    MakeControl(WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, IDC_VIEWER_READOUT);
    MakeControl(WC_STATICW, Strings::CSV_WRITING, SS_RIGHT | SS_CENTERIMAGE, IDC_VIEWER_CSV_TEXT);
    // How long a CSV file takes is not known beforehand: the bar only shows that work goes on.
    const HWND busy = MakeControl(PROGRESS_CLASSW, "", PBS_MARQUEE, IDC_VIEWER_CSV_PROGRESS);
    SendMessageW(busy, PBM_SETMARQUEE, TRUE, 0);
    ShowWindow(Control(IDC_VIEWER_CSV_TEXT), SW_HIDE);
    ShowWindow(busy, SW_HIDE);
    // The system's bar has no text of its own: the share read stands beside it.
    MakeControl(WC_STATICW, "", SS_RIGHT | SS_CENTERIMAGE, IDC_VIEWER_SCAN_TEXT);
    const HWND scan = MakeControl(PROGRESS_CLASSW, "", 0, IDC_VIEWER_SCAN_PROGRESS);
    SendMessageW(scan, PBM_SETRANGE32, 0, SCAN_PROGRESS_STEPS);
}

int CLogViewerWindow::Scaled(int pixels) const
{
    return MulDiv(pixels, static_cast<int>(GetDpiForWindow(m_hWnd)), USER_DEFAULT_SCREEN_DPI);
}

int CLogViewerWindow::TextWidth(HWND control) const
{
    wchar_t caption[128] = {};
    const int length = GetWindowTextW(control, caption, 128);
    const HDC dc = GetDC(control);
    const HGDIOBJ old
        = SelectObject(dc, m_font != nullptr ? m_font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size {};
    GetTextExtentPoint32W(dc, caption, length, &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

// Commands in a row along the top, the bit length at its right end; the plot takes what is left
// above a status row of the readout, the CSV writer's bar and the scan's.
void CLogViewerWindow::Layout(int width, int height)
{
    const int gap = Scaled(GAP);
    const int rowHeight = Scaled(ROW_HEIGHT);
    const int statusHeight = Scaled(STATUS_HEIGHT);
    const int progressWidth = Scaled(PROGRESS_WIDTH);
    const int comboWidth = Scaled(COMBO_WIDTH);
    int x = gap;
    for (const auto &[id, caption] : COMMANDS) {
        const HWND button = Control(id);
        const int buttonWidth = TextWidth(button) + Scaled(BUTTON_PADDING);
        MoveWindow(button, x, gap, buttonWidth, rowHeight, TRUE);
        x += buttonWidth + gap / 2;
    }
    const int comboLeft = width - gap - comboWidth;
    MoveWindow(Control(IDC_VIEWER_BIT_LENGTH), comboLeft, gap, comboWidth,
               Scaled(COMBO_LIST_HEIGHT), TRUE);
    const HWND label = Control(IDC_VIEWER_BIT_LENGTH_LABEL);
    const int labelWidth = TextWidth(label) + gap;
    MoveWindow(label, comboLeft - labelWidth - gap / 2, gap, labelWidth, rowHeight, TRUE);

    const int statusTop = height - gap - statusHeight;
    const int plotTop = gap + rowHeight + gap;
    MoveWindow(m_plot->Window(), gap, plotTop, std::max(0, width - 2 * gap),
               std::max(0, statusTop - gap - plotTop), TRUE);
    int right = width - gap;
    const auto place = [&](int id, int placeWidth) {
        right -= placeWidth;
        MoveWindow(Control(id), right, statusTop, placeWidth, statusHeight, TRUE);
        right -= gap;
    };
    place(IDC_VIEWER_SCAN_PROGRESS, progressWidth);
    place(IDC_VIEWER_SCAN_TEXT, progressWidth / 2);
    place(IDC_VIEWER_CSV_PROGRESS, progressWidth / 2);
    place(IDC_VIEWER_CSV_TEXT, TextWidth(Control(IDC_VIEWER_CSV_TEXT)) + gap);
    MoveWindow(Control(IDC_VIEWER_READOUT), gap, statusTop, std::max(0, right - gap), statusHeight,
               TRUE);
}

LRESULT CLogViewerWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO: {
        auto *limits = reinterpret_cast<MINMAXINFO *>(lParam);
        limits->ptMinTrackSize = {CViewerLayout::MIN_WIDTH + Scaled(4 * GAP),
                                  CViewerLayout::MIN_HEIGHT + Scaled(2 * ROW_HEIGHT + 6 * GAP)};
        return 0;
    }
    case WM_DPICHANGED: {
        const RECT &suggested = *reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            SetFocus(m_plot->Window());
        return 0;
    case WM_MOUSEWHEEL:
        return SendMessageW(m_plot->Window(), message, wParam, lParam);
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_VIEWER_SCAN_PROGRESS:
        m_progressQueued = false;
        OnScanProgress();
        return 0;
    case WM_VIEWER_CSV_WRITTEN:
        OnCsvWritten();
        return 0;
    case WM_TIMER:
        if (wParam != CSV_BUSY_TIMER)
            break;
        // A short export ends before the bar would be worth showing.
        KillTimer(m_hWnd, CSV_BUSY_TIMER);
        if (m_csvWriter.joinable()) {
            ShowWindow(Control(IDC_VIEWER_CSV_TEXT), SW_SHOW);
            ShowWindow(Control(IDC_VIEWER_CSV_PROGRESS), SW_SHOW);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CLogViewerWindow::OnCommand(int id, int notification)
{
    switch (id) {
    case IDC_VIEWER_RELOAD:
        OnReload();
        break;
    case IDC_VIEWER_SAVE_ALL_CSV:
        SaveCsv(0, std::nullopt);
        break;
    case IDC_VIEWER_SAVE_VISIBLE_CSV:
        SaveCsv(m_plot->State().Range().FirstFrame(), m_plot->State().Range().EndFrame());
        break;
    case IDC_VIEWER_SAVE_PICTURE:
        OnSavePicture();
        break;
    case IDC_VIEWER_BIT_LENGTH:
        if (notification == CBN_SELCHANGE)
            OnSelchangeBitLength();
        if (notification != CBN_CLOSEUP && notification != CBN_SELCHANGE)
            return;
        break;
    default:
        return;
    }
    // The plot keeps the keyboard: its keys zoom and pan whichever command was used last.
    SetFocus(m_plot->Window());
}

bool CLogViewerWindow::Open(std::string &failure)
{
    if (!m_recording->Open(failure))
        return false;
    OnScanProgress();
    return true;
}

// The scan reports far more often than the screen shows; one message waits in the queue at most.
void CLogViewerWindow::PostScanProgress()
{
    if (m_progressQueued.exchange(true))
        return;
    PostMessageW(m_hWnd, WM_VIEWER_SCAN_PROGRESS, 0, 0);
}

void CLogViewerWindow::OnScanProgress()
{
    const std::int64_t size = m_recording->FileSize();
    const std::int64_t scanned = m_recording->BytesScanned();
    SendMessageW(
        Control(IDC_VIEWER_SCAN_PROGRESS), PBM_SETPOS,
        static_cast<WPARAM>(size > 0 ? scanned * SCAN_PROGRESS_STEPS / size : SCAN_PROGRESS_STEPS),
        0);
    SetWindowTextW(Control(IDC_VIEWER_SCAN_TEXT),
                   WideFromUtf8(ScanProgressText(scanned, size)).c_str());
    const int shown = m_recording->ScanComplete() ? SW_HIDE : SW_SHOW;
    ShowWindow(Control(IDC_VIEWER_SCAN_PROGRESS), shown);
    ShowWindow(Control(IDC_VIEWER_SCAN_TEXT), shown);
    m_plot->State().RecordingGrew();
    // The frame under the pointer may have just become known, or changed its value.
    ShowReadout(m_plot->State().PointedFrame());
}

void CLogViewerWindow::ShowReadout(std::int64_t frame)
{
    SetWindowTextW(Control(IDC_VIEWER_READOUT),
                   WideFromUtf8(ReadoutText(*m_recording, frame, m_code)).c_str());
}

void CLogViewerWindow::OnReload()
{
    m_recording->Reload();
    OnScanProgress();
}

void CLogViewerWindow::OnSelchangeBitLength()
{
    const LRESULT entry = SendMessageW(Control(IDC_VIEWER_BIT_LENGTH), CB_GETCURSEL, 0, 0);
    if (entry == CB_ERR)
        return;
    m_code = static_cast<std::int32_t>(entry) + 1;
    m_recording->SetBitLengthCode(m_code);
    m_plot->State().SetBitLengthCode(m_code);
    OnScanProgress();
}

std::string CLogViewerWindow::ChooseFile(const char *caption, const char *suffix,
                                         const char *filter)
{
    return ::ChooseFile(m_hWnd, {FileChoice::Save, caption, SuggestedFile(m_path, suffix), filter});
}

void CLogViewerWindow::EnableCommands(bool enabled)
{
    for (const auto &[id, caption] : COMMANDS)
        EnableWindow(Control(id), enabled);
    EnableWindow(Control(IDC_VIEWER_BIT_LENGTH), enabled);
}

void CLogViewerWindow::SaveCsv(std::int64_t first, std::optional<std::int64_t> last)
{
    const std::string path
        = ChooseFile(Strings::CSV_SAVE_CAPTION, ".csv", Strings::CSV_FILE_FILTER);
    if (path.empty() || m_csvWriter.joinable())
        return;
    EnableCommands(false);
    SetTimer(m_hWnd, CSV_BUSY_TIMER, CSV_PROGRESS_DELAY_MS, nullptr);
    m_csvWriter = std::thread([this, first, last, code = m_code, path] {
        m_csvWritten = WriteCsvFile(*m_recording, first, last, code, path, m_csvFailure);
        PostMessageW(m_hWnd, WM_VIEWER_CSV_WRITTEN, 0, 0);
    });
}

void CLogViewerWindow::OnCsvWritten()
{
    if (!m_csvWriter.joinable())
        return;
    m_csvWriter.join();
    KillTimer(m_hWnd, CSV_BUSY_TIMER);
    ShowWindow(Control(IDC_VIEWER_CSV_TEXT), SW_HIDE);
    ShowWindow(Control(IDC_VIEWER_CSV_PROGRESS), SW_HIDE);
    EnableCommands(true);
    if (!m_csvWritten)
        ShowMessageBox(m_hWnd, m_csvFailure);
}

void CLogViewerWindow::OnSavePicture()
{
    const std::string path
        = ChooseFile(Strings::PICTURE_SAVE_CAPTION, ".png", Strings::PICTURE_FILE_FILTER);
    if (path.empty())
        return;
    CDibSurface picture;
    if (!m_plot->PaintInto(picture) || !SavePng(picture, path))
        ShowMessageBox(m_hWnd, Strings::PICTURE_CANNOT_WRITE);
}

} // namespace

HWND OpenLogViewer(HWND owner, const std::string &path)
{
    INITCOMMONCONTROLSEX controls {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    auto viewer = std::make_unique<CLogViewerWindow>(path);
    std::string failure;
    if (!viewer->Create(owner)) {
        const DWORD error = GetLastError();
        if (viewer->Window() != nullptr)
            DestroyWindow(viewer.release()->Window());
        ShowMessageBox(owner, SystemMessage(error));
        return nullptr;
    }
    // From here on the window owns the viewer and frees it when it is destroyed.
    CLogViewerWindow *const opened = viewer.release();
    if (!opened->Open(failure)) {
        DestroyWindow(opened->Window());
        ShowMessageBox(owner, failure);
        return nullptr;
    }
    ShowWindow(opened->Window(), SW_SHOWNORMAL);
    return opened->Window();
}
