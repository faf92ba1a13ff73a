#pragma once

#include "dibsurface_win32.h"

#include <windows.h>

// A control of a dialog template that the program paints itself. The window hands over the
// control that the dialog manager made (by subclassing it); from then on every paint, and every
// print of its client, draws the whole client into a bitmap first and puts it on screen in one
// block copy, and the background is never erased beneath, so nothing flickers. The control keeps
// its number, place, styles and edge. Lives on the window's thread.
class CPaintedControl
{
public:
    CPaintedControl(const CPaintedControl &) = delete;
    CPaintedControl &operator=(const CPaintedControl &) = delete;

    // Takes over the control and asks for a paint; false if control is no window or already
    // painted by another. Called before the dialog is first painted (WM_INITDIALOG).
    bool Attach(HWND control);
    HWND Window() const { return m_hWnd; }

    // Asks for a paint of the whole client, which comes with the next WM_PAINT.
    void Invalidate() const;

protected:
    CPaintedControl() = default;
    // Gives the control back to its class, if it still exists.
    ~CPaintedControl();

    // Draws every pixel of the client, which starts at dc's origin.
    virtual void Paint(HDC dc, const RECT &client) = 0;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    void PaintInto(HDC target);
    void Detach();

    HWND m_hWnd = nullptr;
    CDibSurface m_frame;
};
