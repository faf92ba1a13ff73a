#pragma once

#include <windows.h>

// A bitmap of 32-bit pixels, top row first, with a memory device context of its own that stays
// selected into it: what a control paints before one block copy puts it on screen. It is remade
// only when the size changes. Lives on the thread that paints with it.
class CDibSurface
{
public:
    CDibSurface() = default;
    ~CDibSurface();
    CDibSurface(const CDibSurface &) = delete;
    CDibSurface &operator=(const CDibSurface &) = delete;

    // Makes the surface width x height pixels unless it already is; false, and no surface, when
    // the system refuses (out of memory, an empty size).
    bool Fit(int width, int height);

    HDC Dc() const { return m_hDC; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // Copies the whole surface to (0, 0) of target.
    void CopyTo(HDC target) const;

private:
    void Release();

    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
};
