#include "dibsurface_win32.h"

CDibSurface::~CDibSurface()
{
    Release();
}

bool CDibSurface::Fit(int width, int height)
{
    if (m_hDC && width == m_width && height == m_height)
        return true;
    Release();
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    // Negative: the top row comes first, as on screen.
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    m_hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_hDC = m_hBitmap ? CreateCompatibleDC(nullptr) : nullptr;
    if (!m_hDC) {
        Release();
        return false;
    }
    m_hOldBitmap = SelectObject(m_hDC, m_hBitmap);
    m_width = width;
    m_height = height;
    return true;
}

void CDibSurface::CopyTo(HDC target) const
{
    BitBlt(target, 0, 0, m_width, m_height, m_hDC, 0, 0, SRCCOPY);
}

void CDibSurface::Release()
{
    if (m_hDC) {
        SelectObject(m_hDC, m_hOldBitmap);
        DeleteDC(m_hDC);
    }
    if (m_hBitmap)
        DeleteObject(m_hBitmap);
    m_hDC = nullptr;
    m_hBitmap = nullptr;
    m_hOldBitmap = nullptr;
    m_width = 0;
    m_height = 0;
}
