#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <vector>

// Reads a window's pixels as the X server holds them, that is what is on the screen, not what
// the program believes it painted. Pixels come as 0xRRGGBB, row after row.
class CScreenProbe
{
public:
    CScreenProbe(Display *display, Window window);

    std::optional<std::vector<std::uint32_t>> Grab(int x, int y, int width, int height) const;

private:
    Display *m_display;
    Window m_window;
};
