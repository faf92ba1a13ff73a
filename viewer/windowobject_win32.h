#pragma once

#include <windows.h>

// A window that an object of the program answers: the object is kept in the window's user data,
// every message but the last goes to its Handle(message, wParam, lParam), and the object is
// deleted with the window's last message, once its child windows are gone.

template<typename Object>
LRESULT CALLBACK WindowObjectProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *object = reinterpret_cast<Object *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message != WM_NCDESTROY)
        return object->Handle(message, wParam, lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete object;
    return DefWindowProcW(window, message, wParam, lParam);
}

// Hands `window`, made with the default procedure, over to `object`, which it then owns.
template<typename Object> void AttachWindowObject(HWND window, Object *object)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowObjectProc<Object>));
}
