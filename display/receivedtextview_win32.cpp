#include "receivedtextview_win32.h"

#include "messagebox_win32.h"
#include "texts.h"
#include "widetext.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <optional>

namespace {

constexpr const wchar_t *CLASS_NAME = L"OrvantaReceivedText";
// The gap between the border and the text, as in an edit box.
constexpr int TEXT_MARGIN = 2;
constexpr int TAB_COLUMNS = 8;
// The bar's range ends at its last value plus a page, which must fit in an int too.
constexpr int SCROLL_STEP_LIMIT = INT_MAX / 2;
constexpr char16_t NUL_PICTURE = 0x2400;
enum MenuCommand : UINT { COPY_COMMAND = 1, SELECT_ALL_COMMAND };

int ClampToInt(std::uint64_t value)
{
    return static_cast<int>(std::min<std::uint64_t>(value, INT_MAX));
}

bool KeyIsDown(int key)
{
    return GetKeyState(key) < 0;
}

// What Shift with a key does to the selection, if anything.
std::optional<CursorMove> CursorMoveOf(WPARAM key, bool control)
{
    switch (key) {
    case VK_LEFT:
        return CursorMove::PreviousCharacter;
    case VK_RIGHT:
        return CursorMove::NextCharacter;
    case VK_UP:
        return CursorMove::PreviousLine;
    case VK_DOWN:
        return CursorMove::NextLine;
    case VK_PRIOR:
        return CursorMove::PreviousPage;
    case VK_NEXT:
        return CursorMove::NextPage;
    case VK_HOME:
        return control ? CursorMove::TextStart : CursorMove::LineStart;
    case VK_END:
        return control ? CursorMove::TextEnd : CursorMove::LineEnd;
    default:
        return std::nullopt;
    }
}

// Double-byte characters from the system's own code page 932.
char16_t CodePage932Pair(unsigned char lead, unsigned char trail)
{
    const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t unit[2] = {};
    const int units = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pair, 2, unit, 2);
    return units == 1 ? static_cast<char16_t>(unit[0]) : 0;
}

bool RegisterViewClass(WNDPROC procedure)
{
    static const bool registered = [procedure] {
        WNDCLASSEXW viewClass {};
        viewClass.cbSize = sizeof viewClass;
        viewClass.lpfnWndProc = procedure;
        viewClass.hInstance = GetModuleHandleW(nullptr);
        viewClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM));
        viewClass.lpszClassName = CLASS_NAME;
        return RegisterClassExW(&viewClass) != 0;
    }();
    return registered;
}

// A device context of the window with its font chosen, for measuring.
class CMeasuringContext
{
public:
    CMeasuringContext(HWND window, HFONT font)
        : m_window(window)
        , m_dc(GetDC(window))
        , m_oldFont(SelectObject(m_dc, font ? font : GetStockObject(DEFAULT_GUI_FONT)))
    { }
    ~CMeasuringContext()
    {
        SelectObject(m_dc, m_oldFont);
        ReleaseDC(m_window, m_dc);
    }
    CMeasuringContext(const CMeasuringContext &) = delete;
    CMeasuringContext &operator=(const CMeasuringContext &) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
    HGDIOBJ m_oldFont;
};

} // namespace

// One line as painted: where its bytes lie, its decoded text, where each character's bytes begin
// and where each character's left edge lies, the line's width last.
struct CReceivedTextWindow::ShownLine
{
    CReceivedText::LineRange range;
    std::vector<std::size_t> starts;
    std::wstring text;
    std::vector<int> lefts;

    int Width() const { return lefts.back(); }

    std::size_t UnitAt(std::uint64_t offset) const
    {
        const auto found = std::lower_bound(starts.begin(), starts.end(), offset - range.begin);
        return static_cast<std::size_t>(found - starts.begin());
    }

    // The character boundary nearest to `x`.
    std::uint64_t OffsetAtX(int x) const
    {
        const auto right = std::lower_bound(lefts.begin(), lefts.end(), x);
        std::size_t unit = static_cast<std::size_t>(right - lefts.begin());
        if (right == lefts.end())
            unit = lefts.size() - 1;
        else if (unit > 0 && x - lefts[unit - 1] < *right - x)
            --unit;
        return range.begin + starts[unit];
    }
};

std::unique_ptr<CReceivedTextWindow> CReceivedTextWindow::ReplaceEdit(HWND dialog, int controlId,
                                                                      const CReceivedText &text)
{
    const HWND edit = GetDlgItem(dialog, controlId);
    if (!edit || !RegisterViewClass(&CReceivedTextWindow::WindowProc))
        return nullptr;
    RECT place;
    GetWindowRect(edit, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&place), 2);
    // The edit's own style bits mean nothing here; the window's bits (tab stop, group, edge) and
    // its extended style, where the edit keeps its sunken edge, carry over. The vertical bar is
    // always there and the horizontal one comes when a line is wider than the box.
    const auto editStyle = static_cast<DWORD>(GetWindowLongW(edit, GWL_STYLE));
    const DWORD style = (editStyle & 0xFFFF0000u & ~WS_HSCROLL) | WS_CHILD | WS_VSCROLL;
    const auto extendedStyle = static_cast<DWORD>(GetWindowLongW(edit, GWL_EXSTYLE));

    std::unique_ptr<CReceivedTextWindow> view(new CReceivedTextWindow(text));
    const HWND window = CreateWindowExW(
        extendedStyle, CLASS_NAME, L"", style, place.left, place.top, place.right - place.left,
        place.bottom - place.top, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
        GetModuleHandleW(nullptr), view.get());
    if (!window)
        return nullptr;
    // The tab order is the order of the dialog's children.
    SetWindowPos(window, edit, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    view->SetFont(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    DestroyWindow(edit);
    return view;
}

CReceivedTextWindow::CReceivedTextWindow(const CReceivedText &text)
    : m_text(text)
    , m_decoder(&CodePage932Pair)
    , m_shownClearCount(text.ClearCount())
{
    m_scroll.SetStepLimit(SCROLL_STEP_LIMIT);
}

CReceivedTextWindow::~CReceivedTextWindow()
{
    if (m_window) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

LRESULT CALLBACK CReceivedTextWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *view = static_cast<CReceivedTextWindow *>(
            reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        view->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    auto *view = reinterpret_cast<CReceivedTextWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!view)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        view->m_window = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return view->Handle(message, wParam, lParam);
}

LRESULT CReceivedTextWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(m_window, &paint);
        Paint(dc, paint.rcPaint);
        EndPaint(m_window, &paint);
        PlaceCaret();
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(m_window, &client);
        Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        UpdateScrollRanges();
        InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case WM_SETFONT:
        SetFont(reinterpret_cast<HFONT>(wParam));
        if (LOWORD(lParam))
            InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_VSCROLL:
    case WM_HSCROLL:
        OnScroll(message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL:
        OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_KEYDOWN:
        if (OnKey(wParam))
            return 0;
        break;
    case WM_LBUTTONDOWN:
        SetFocus(m_window);
        SetCapture(m_window);
        MoveCursorTo(OffsetAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}),
                     (wParam & MK_SHIFT) != 0);
        return 0;
    case WM_MOUSEMOVE:
        if ((wParam & MK_LBUTTON) && GetCapture() == m_window) {
            const POINT position {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScrollTowards(position);
            MoveCursorTo(OffsetAt(position), true);
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == m_window)
            ReleaseCapture();
        return 0;
    // The box's menu is its own and never reaches the window around it.
    case WM_CONTEXTMENU:
        ShowMenu(lParam);
        return 0;
    case WM_SETFOCUS:
        CreateCaret(m_window, nullptr, 1, m_lineHeight);
        PlaceCaret();
        ShowCaret(m_window);
        return 0;
    case WM_KILLFOCUS:
        DestroyCaret();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

// The window may be gone with its dialog while the owner still appends; a repaint of no window
// would repaint the whole screen.
void CReceivedTextWindow::TextChanged()
{
    if (!m_window)
        return;
    if (m_text.ClearCount() != m_shownClearCount) {
        m_shownClearCount = m_text.ClearCount();
        m_shownLineCount = 0;
        m_selectionAnchor = m_selectionCursor = 0;
        m_widestPaintedLine = 0;
        m_left = 0;
    }
    // The last line shown so far may have grown; the lines before it are as they were.
    const std::uint64_t firstChangedLine = m_shownLineCount == 0 ? 0 : m_shownLineCount - 1;
    ForgetShownLinesFrom(firstChangedLine);
    m_shownLineCount = m_text.LineCount();
    UpdateScrollRanges();
    if (firstChangedLine <= LastLineInSight())
        InvalidateRect(m_window, nullptr, FALSE);
}

std::wstring CReceivedTextWindow::SelectedText() const
{
    m_text.CopyRange(SelectionBegin(), SelectionEnd(), m_bytes);
    const std::u16string text = m_decoder.Decode(m_bytes, CShiftJisText::Controls::AsIs);
    return {text.begin(), text.end()};
}

void CReceivedTextWindow::SelectAll()
{
    if (!m_window)
        return;
    m_selectionAnchor = 0;
    m_selectionCursor = m_text.Size();
    InvalidateRect(m_window, nullptr, FALSE);
    PlaceCaret();
}

void CReceivedTextWindow::CopySelection()
{
    if (SelectionEnd() - SelectionBegin() > m_copyLimit) {
        ShowMessageBox(GetAncestor(m_window, GA_ROOT), Strings::SELECTION_TOO_LARGE);
        return;
    }
    if (SelectionBegin() < SelectionEnd())
        PutOnClipboard(SelectedText());
}

// The clipboard's text ends at its first NUL, so a received NUL goes there as its picture and
// what follows it is not lost.
void CReceivedTextWindow::PutOnClipboard(const std::wstring &text) const
{
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block)
        return;
    auto *units = static_cast<wchar_t *>(GlobalLock(block));
    std::replace_copy(text.begin(), text.end(), units, L'\0', static_cast<wchar_t>(NUL_PICTURE));
    units[text.size()] = L'\0';
    GlobalUnlock(block);
    if (OpenClipboard(m_window)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, block))
            block = nullptr;
        CloseClipboard();
    }
    if (block)
        GlobalFree(block);
}

std::uint64_t CReceivedTextWindow::FirstLineInSight() const
{
    return m_scroll.TopLine(m_top);
}

std::wstring CReceivedTextWindow::DisplayedLine(std::uint64_t line) const
{
    return Show(line).text;
}

void CReceivedTextWindow::SetLimits(int scrollSteps, std::uint64_t copyBytes)
{
    m_scroll.SetStepLimit(std::min(scrollSteps, SCROLL_STEP_LIMIT));
    m_copyLimit = copyBytes;
    UpdateScrollRanges();
}

const CReceivedTextWindow::ShownLine &CReceivedTextWindow::Show(std::uint64_t line) const
{
    std::unique_ptr<ShownLine> &shown = m_shownLines[line];
    if (shown)
        return *shown;
    shown = std::make_unique<ShownLine>();
    shown->range = m_text.Line(line);
    m_text.CopyRange(shown->range.begin, shown->range.end, m_bytes);
    const std::u16string decoded
        = m_decoder.Decode(m_bytes, CShiftJisText::Controls::AsPictures, &shown->starts);
    shown->text.assign(decoded.begin(), decoded.end());

    // TABs stop at every TAB_COLUMNS-th column; the runs between them are measured whole.
    const CMeasuringContext measuring(m_window, m_font);
    const int tabWidth = TAB_COLUMNS * m_characterWidth;
    const std::wstring &text = shown->text;
    shown->lefts.assign(text.size() + 1, 0);
    std::vector<int> extents;
    int x = 0;
    for (std::size_t unit = 0; unit < text.size();) {
        if (text[unit] == L'\t') {
            x = (x / tabWidth + 1) * tabWidth;
            shown->lefts[++unit] = x;
            continue;
        }
        const std::size_t runEnd = std::min(text.find(L'\t', unit), text.size());
        const int length = static_cast<int>(runEnd - unit);
        extents.assign(static_cast<std::size_t>(length), 0);
        SIZE size;
        GetTextExtentExPointW(measuring.Get(), text.data() + unit, length, 0, nullptr,
                              extents.data(), &size);
        for (int i = 0; i < length; ++i)
            shown->lefts[unit + static_cast<std::size_t>(i) + 1]
                = x + extents[static_cast<std::size_t>(i)];
        x += size.cx;
        unit = runEnd;
    }
    return *shown;
}

void CReceivedTextWindow::ForgetShownLinesFrom(std::uint64_t line)
{
    m_shownLines.erase(m_shownLines.lower_bound(line), m_shownLines.end());
}

// Painted into a bitmap first and put on the screen at once, so a chunk's repaint never flickers.
void CReceivedTextWindow::Paint(HDC target, const RECT &area)
{
    RECT client;
    GetClientRect(m_window, &client);
    const HDC dc = CreateCompatibleDC(target);
    const HBITMAP bitmap
        = CreateCompatibleBitmap(target, std::max(1L, client.right), std::max(1L, client.bottom));
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));

    // A read-only edit asks its parent for its colours as a static text does.
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_3DFACE));
    auto background = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(m_window), WM_CTLCOLORSTATIC,
                                                            reinterpret_cast<WPARAM>(dc),
                                                            reinterpret_cast<LPARAM>(m_window)));
    if (!background)
        background = GetSysColorBrush(COLOR_3DFACE);
    FillRect(dc, &client, background);
    SetBkMode(dc, TRANSPARENT);

    const int widestBefore = m_widestPaintedLine;
    const std::uint64_t lineCount = m_text.LineCount();
    const std::uint64_t firstLine = FirstLineInSight();
    std::uint64_t line = firstLine;
    for (int top = 0; top < client.bottom && line < lineCount; top += m_lineHeight, ++line)
        PaintLine(dc, line, top);
    m_shownLines.erase(m_shownLines.begin(), m_shownLines.lower_bound(firstLine));
    ForgetShownLinesFrom(line);

    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc,
           area.left, area.top, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (m_widestPaintedLine > widestBefore)
        UpdateScrollRanges();
}

void CReceivedTextWindow::PaintLine(HDC dc, std::uint64_t line, int top)
{
    const ShownLine &shown = Show(line);
    m_widestPaintedLine = std::max(m_widestPaintedLine, shown.Width());
    const int left = TEXT_MARGIN - m_left;
    DrawText(dc, shown, left, top);

    // A selected line break shows as a highlighted cell after the text.
    const bool hasBreak
        = line + 1 < m_text.LineCount() && m_text.Line(line + 1).begin > shown.range.end;
    const bool breakSelected
        = hasBreak && SelectionBegin() <= shown.range.end && SelectionEnd() > shown.range.end;
    const std::uint64_t selectedFrom = std::max(SelectionBegin(), shown.range.begin);
    const std::uint64_t selectedTo = std::min(SelectionEnd(), shown.range.end);
    if (selectedFrom >= selectedTo && !breakSelected)
        return;
    RECT selected {left + shown.lefts[shown.UnitAt(selectedFrom)], top,
                   left + shown.lefts[shown.UnitAt(std::max(selectedFrom, selectedTo))],
                   top + m_lineHeight};
    if (breakSelected)
        selected.right += m_characterWidth;
    FillRect(dc, &selected, GetSysColorBrush(COLOR_HIGHLIGHT));
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, selected.left, selected.top, selected.right, selected.bottom);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    DrawText(dc, shown, left, top);
    RestoreDC(dc, saved);
}

// TABs are not drawn: the runs between them are, each at its own place.
void CReceivedTextWindow::DrawText(HDC dc, const ShownLine &shown, int left, int top) const
{
    const std::wstring &text = shown.text;
    for (std::size_t unit = 0; unit < text.size();) {
        const std::size_t runEnd = std::min(text.find(L'\t', unit), text.size());
        if (runEnd > unit)
            ExtTextOutW(dc, left + shown.lefts[unit], top, 0, nullptr, text.data() + unit,
                        static_cast<UINT>(runEnd - unit), nullptr);
        unit = runEnd + 1;
    }
}

std::uint64_t CReceivedTextWindow::OffsetAt(POINT position) const
{
    const int row = position.y >= 0 ? position.y / m_lineHeight : -1;
    const std::int64_t line
        = std::clamp<std::int64_t>(static_cast<std::int64_t>(FirstLineInSight()) + row, 0,
                                   static_cast<std::int64_t>(m_text.LineCount() - 1));
    return Show(static_cast<std::uint64_t>(line)).OffsetAtX(position.x - TEXT_MARGIN + m_left);
}

// Where the character at `offset` begins on the screen; rows above the view are negative.
POINT CReceivedTextWindow::PlaceOf(std::uint64_t offset) const
{
    const std::uint64_t line = m_text.LineAt(offset);
    const std::int64_t row
        = static_cast<std::int64_t>(line) - static_cast<std::int64_t>(FirstLineInSight());
    const ShownLine &shown = Show(line);
    const int x = shown.lefts[shown.UnitAt(std::min(offset, shown.range.end))];
    return {TEXT_MARGIN - m_left + x,
            static_cast<int>(std::clamp<std::int64_t>(row, -1, INT_MAX / 2 / m_lineHeight))
                * m_lineHeight};
}

// Dragging past an edge scrolls one step towards it for each move of the mouse.
void CReceivedTextWindow::ScrollTowards(POINT position)
{
    RECT inside;
    GetClientRect(m_window, &inside);
    if (position.y < inside.top)
        SetTop(m_top - 1);
    else if (position.y >= inside.bottom)
        SetTop(m_top + 1);
    if (position.x < inside.left)
        SetLeft(m_left - m_characterWidth);
    else if (position.x >= inside.right)
        SetLeft(m_left + m_characterWidth);
}

void CReceivedTextWindow::SetFont(HFONT font)
{
    m_font = font;
    const CMeasuringContext measuring(m_window, m_font);
    TEXTMETRICW metrics;
    GetTextMetricsW(measuring.Get(), &metrics);
    SIZE zero {};
    GetTextExtentPoint32W(measuring.Get(), L"0", 1, &zero);
    m_lineHeight = std::max(1, static_cast<int>(metrics.tmHeight));
    m_characterWidth = std::max(1, static_cast<int>(zero.cx));
    m_shownLines.clear();
    m_widestPaintedLine = 0;
    UpdateScrollRanges();
}

void CReceivedTextWindow::UpdateScrollRanges()
{
    if (!m_window)
        return;
    m_scroll.Update(m_text.LineCount(), RowsInSight());
    SCROLLINFO vertical {sizeof vertical,
                         SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL,
                         0,
                         m_scroll.Maximum() + m_scroll.PageStep() - 1,
                         static_cast<UINT>(m_scroll.PageStep()),
                         0,
                         0};
    if (m_scroll.FollowsEnd()) {
        vertical.fMask |= SIF_POS;
        vertical.nPos = m_scroll.Maximum();
    }
    SetScrollInfo(m_window, SB_VERT, &vertical, TRUE);
    const int top = GetScrollPos(m_window, SB_VERT);
    if (top != m_top) {
        m_top = top;
        m_scroll.NoteValue(top);
        InvalidateRect(m_window, nullptr, FALSE);
    }

    RECT client;
    GetClientRect(m_window, &client);
    const int longestByBytes = ClampToInt(m_text.LongestLineLength() * m_characterWidth);
    const int contentWidth = std::max(longestByBytes, m_widestPaintedLine) + 2 * TEXT_MARGIN;
    SCROLLINFO horizontal {sizeof horizontal,
                           SIF_RANGE | SIF_PAGE | SIF_POS,
                           0,
                           contentWidth - 1,
                           static_cast<UINT>(std::max(0L, client.right)),
                           m_left,
                           0};
    SetScrollInfo(m_window, SB_HORZ, &horizontal, TRUE);
    const int left = GetScrollPos(m_window, SB_HORZ);
    if (left != m_left) {
        m_left = left;
        InvalidateRect(m_window, nullptr, FALSE);
    }
}

void CReceivedTextWindow::SetTop(int value)
{
    const int top = std::clamp(value, 0, m_scroll.Maximum());
    m_scroll.NoteValue(top);
    if (top == m_top)
        return;
    m_top = top;
    SetScrollPos(m_window, SB_VERT, top, TRUE);
    InvalidateRect(m_window, nullptr, FALSE);
}

void CReceivedTextWindow::SetLeft(int pixels)
{
    SetScrollPos(m_window, SB_HORZ, pixels, TRUE);
    const int left = GetScrollPos(m_window, SB_HORZ);
    if (left == m_left)
        return;
    m_left = left;
    InvalidateRect(m_window, nullptr, FALSE);
}

// The thumb's place is read in 32 bits, not from the message's 16.
void CReceivedTextWindow::OnScroll(int bar, int request)
{
    SCROLLINFO info {sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(m_window, bar, &info);
    const int line = bar == SB_VERT ? 1 : m_characterWidth;
    const int page = std::max(1, static_cast<int>(info.nPage));
    int position = info.nPos;
    switch (request) {
    case SB_LINEUP:
        position -= line;
        break;
    case SB_LINEDOWN:
        position += line;
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_TOP:
        position = info.nMin;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    default:
        return;
    }
    if (bar == SB_VERT)
        SetTop(position);
    else
        SetLeft(position);
}

void CReceivedTextWindow::OnWheel(int delta)
{
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    m_wheelRemainder += delta;
    const int notches = m_wheelRemainder / WHEEL_DELTA;
    m_wheelRemainder -= notches * WHEEL_DELTA;
    const int steps = lines == WHEEL_PAGESCROLL ? m_scroll.PageStep() : static_cast<int>(lines);
    SetTop(m_top - notches * steps);
}

// Without Shift the keys move the view, with Shift they move the selection's moving end.
bool CReceivedTextWindow::OnKey(WPARAM key)
{
    const bool control = KeyIsDown(VK_CONTROL);
    if (control && key == 'A') {
        SelectAll();
        return true;
    }
    if (control && (key == 'C' || key == VK_INSERT)) {
        CopySelection();
        return true;
    }
    const std::optional<CursorMove> move = CursorMoveOf(key, control);
    if (KeyIsDown(VK_SHIFT) && move) {
        MoveCursorTo(MovedCursor(m_text, m_selectionCursor, *move, RowsInSight(), *this), true);
        ShowCursor();
        return true;
    }
    switch (key) {
    case VK_UP:
        SetTop(m_top - 1);
        return true;
    case VK_DOWN:
        SetTop(m_top + 1);
        return true;
    case VK_PRIOR:
        SetTop(m_top - m_scroll.PageStep());
        return true;
    case VK_NEXT:
        SetTop(m_top + m_scroll.PageStep());
        return true;
    case VK_LEFT:
        SetLeft(m_left - m_characterWidth);
        return true;
    case VK_RIGHT:
        SetLeft(m_left + m_characterWidth);
        return true;
    case VK_HOME:
        if (control)
            SetTop(0);
        return control;
    case VK_END:
        if (control)
            SetTop(m_scroll.Maximum());
        return control;
    default:
        return false;
    }
}

int CReceivedTextWindow::XOf(std::uint64_t offset) const
{
    const ShownLine &shown = Show(m_text.LineAt(offset));
    return shown.lefts[shown.UnitAt(offset)];
}

std::uint64_t CReceivedTextWindow::OffsetAtX(std::uint64_t line, int x) const
{
    return Show(line).OffsetAtX(x);
}

void CReceivedTextWindow::MoveCursorTo(std::uint64_t offset, bool extend)
{
    m_selectionCursor = offset;
    if (!extend)
        m_selectionAnchor = offset;
    InvalidateRect(m_window, nullptr, FALSE);
    PlaceCaret();
}

// Scrolls so that the selection's moving end is in sight.
void CReceivedTextWindow::ShowCursor()
{
    SetTop(m_scroll.ValueShowing(m_text.LineAt(m_selectionCursor), m_top));
    RECT client;
    GetClientRect(m_window, &client);
    const POINT place = PlaceOf(m_selectionCursor);
    if (place.x < TEXT_MARGIN)
        SetLeft(m_left + place.x - TEXT_MARGIN);
    else if (place.x >= client.right - TEXT_MARGIN)
        SetLeft(m_left + place.x - client.right + TEXT_MARGIN + m_characterWidth);
    PlaceCaret();
}

void CReceivedTextWindow::PlaceCaret() const
{
    if (GetFocus() != m_window)
        return;
    const POINT place = PlaceOf(m_selectionCursor);
    SetCaretPos(place.x, place.y);
}

void CReceivedTextWindow::ShowMenu(LPARAM at)
{
    POINT position {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    // From the keyboard: at the selection's moving end.
    if (at == -1) {
        position = PlaceOf(m_selectionCursor);
        position.y += m_lineHeight;
        ClientToScreen(m_window, &position);
    }
    const HMENU menu = CreatePopupMenu();
    const UINT copyState = SelectionBegin() < SelectionEnd() ? MF_ENABLED : MF_GRAYED;
    AppendMenuW(menu, MF_STRING | copyState, COPY_COMMAND,
                (WideFromUtf8(Strings::COPY_MENU) + L"\tCtrl+C").c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, SELECT_ALL_COMMAND,
                (WideFromUtf8(Strings::SELECT_ALL_MENU) + L"\tCtrl+A").c_str());
    const auto command = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, position.x, position.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (command == COPY_COMMAND)
        CopySelection();
    else if (command == SELECT_ALL_COMMAND)
        SelectAll();
}

int CReceivedTextWindow::RowsInSight() const
{
    RECT client;
    GetClientRect(m_window, &client);
    return static_cast<int>(client.bottom) / m_lineHeight;
}

std::uint64_t CReceivedTextWindow::LastLineInSight() const
{
    RECT client;
    GetClientRect(m_window, &client);
    const auto rows = static_cast<std::uint64_t>((client.bottom + m_lineHeight - 1) / m_lineHeight);
    return FirstLineInSight() + rows;
}

std::uint64_t CReceivedTextWindow::SelectionBegin() const
{
    return std::min(m_selectionAnchor, m_selectionCursor);
}

std::uint64_t CReceivedTextWindow::SelectionEnd() const
{
    return std::max(m_selectionAnchor, m_selectionCursor);
}
