#include "paintedcontrol_win32.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR SUBCLASS_ID = 1;
// Marks a control that is painted by one of these, so that no second one takes it over.
constexpr wchar_t PAINTER_PROPERTY[] = L"OrvantaPainter";

} // namespace

CPaintedControl::~CPaintedControl()
{
    Detach();
}

bool CPaintedControl::Attach(HWND control)
{
    if (!IsWindow(control) || GetPropW(control, PAINTER_PROPERTY))
        return false;
    Detach();
    if (!SetPropW(control, PAINTER_PROPERTY, this))
        return false;
    if (!SetWindowSubclass(control, SubclassProc, SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this))) {
        RemovePropW(control, PAINTER_PROPERTY);
        return false;
    }
    m_hWnd = control;
    Invalidate();
    return true;
}

void CPaintedControl::Invalidate() const
{
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CPaintedControl::Detach()
{
    if (!m_hWnd)
        return;
    RemoveWindowSubclass(m_hWnd, SubclassProc, SUBCLASS_ID);
    RemovePropW(m_hWnd, PAINTER_PROPERTY);
    InvalidateRect(m_hWnd, nullptr, TRUE);
    m_hWnd = nullptr;
}

// Without a bitmap (the system out of memory) the client is drawn straight into target, which
// may flicker but shows the same.
void CPaintedControl::PaintInto(HDC target)
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    if (!m_frame.Fit(client.right, client.bottom)) {
        Paint(target, client);
        return;
    }
    Paint(m_frame.Dc(), client);
    m_frame.CopyTo(target);
}

LRESULT CALLBACK CPaintedControl::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    auto *control = reinterpret_cast<CPaintedControl *>(self);
    switch (message) {
    case WM_ERASEBKGND:
        // The paint covers every pixel.
        return TRUE;
    case WM_PAINT:
        // A caller may hand over its own device context, as printing does.
        if (wParam) {
            control->PaintInto(reinterpret_cast<HDC>(wParam));
        } else {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            control->PaintInto(dc);
            EndPaint(window, &paint);
        }
        return 0;
    case WM_PRINTCLIENT:
        control->PaintInto(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, SubclassProc, SUBCLASS_ID);
        RemovePropW(window, PAINTER_PROPERTY);
        control->m_hWnd = nullptr;
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
