#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>

// The pixels of the 32-bit bitmap selected into a memory device context, read in place.
class CDibPixels
{
public:
    explicit CDibPixels(HDC dc)
    {
        GdiFlush();
        DIBSECTION section {};
        GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof section, &section);
        m_bits = static_cast<const std::uint32_t *>(section.dsBm.bmBits);
        m_width = section.dsBm.bmWidth;
        m_height = std::abs(section.dsBm.bmHeight);
    }

    bool Valid() const { return m_bits != nullptr; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // As 0xRRGGBB, top row first.
    std::uint32_t At(int x, int y) const { return m_bits[y * m_width + x] & 0xFFFFFF; }

private:
    const std::uint32_t *m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return (std::uint32_t {r} << 16) | (std::uint32_t {g} << 8) | b;
}

inline std::uint32_t Rgb(COLORREF colour)
{
    return Rgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}
