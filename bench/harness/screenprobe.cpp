#include "screenprobe.h"

#include <X11/Xutil.h>

#include <bit>

namespace {

// One colour channel of a pixel, scaled to 8 bits whatever the visual's depth.
std::uint32_t Channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    const unsigned long value = (pixel & mask) >> std::countr_zero(mask);
    const unsigned long maximum = mask >> std::countr_zero(mask);
    return static_cast<std::uint32_t>(value * 255 / maximum);
}

} // namespace

CScreenProbe::CScreenProbe(Display *display, Window window)
    : m_display(display)
    , m_window(window)
{ }

std::optional<std::vector<std::uint32_t>> CScreenProbe::Grab(int x, int y, int width,
                                                             int height) const
{
    XImage *image = XGetImage(m_display, m_window, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            pixels.push_back(Channel(pixel, image->red_mask) << 16
                             | Channel(pixel, image->green_mask) << 8
                             | Channel(pixel, image->blue_mask));
        }
    }
    XDestroyImage(image);
    return pixels;
}
