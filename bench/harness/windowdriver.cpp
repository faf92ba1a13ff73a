#include "windowdriver.h"

#include "dialogtemplate.h"
#include "programrun.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

constexpr auto SEARCH_INTERVAL = std::chrono::milliseconds(50);

} // namespace

CWindowDriver::CWindowDriver()
    : m_display(XOpenDisplay(nullptr))
{
    if (!m_display)
        throw std::runtime_error("cannot open the X display; run under an X server (xvfb-run)");
}

CWindowDriver::~CWindowDriver()
{
    XCloseDisplay(m_display);
}

std::optional<Window> CWindowDriver::WaitForWindow(const std::string &title, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const std::optional<Window> window = ViewableWindowTitled(title))
            return window;
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(SEARCH_INTERVAL);
    }
}

// Without a window manager every top-level window is a child of the root.
std::optional<Window> CWindowDriver::ViewableWindowTitled(const std::string &title) const
{
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return std::nullopt;
    std::optional<Window> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(m_display, children[i], &attributes)
            && attributes.map_state == IsViewable && Title(children[i]) == title)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

std::string CWindowDriver::Title(Window window) const
{
    const Atom netWmName = XInternAtom(m_display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(m_display, window, netWmName, 0, 1024, False, utf8, &type, &format,
                           &items, &remaining, &data)
            == Success
        && data) {
        title.assign(reinterpret_cast<const char *>(data), items);
        XFree(data);
    }
    return title;
}

bool CWindowDriver::Click(Window window, const DialogTemplate &dialogTemplate, int controlId) const
{
    const std::optional<ControlRect> control = ControlPixels(dialogTemplate, controlId);
    if (!control)
        return false;
    return RunCommand({"xdotool", "mousemove", "--sync", "--window", std::to_string(window),
                       std::to_string(control->x + control->width / 2),
                       std::to_string(control->y + control->height / 2), "click", "1"})
        == 0;
}

std::optional<ControlRect> ControlPixels(const DialogTemplate &dialogTemplate, int controlId)
{
    for (const ControlTemplate &control : dialogTemplate.controls) {
        if (control.id == controlId)
            return ControlRect {DluToPixels(control.x), DluToPixels(control.y),
                                DluToPixels(control.w), DluToPixels(control.h)};
    }
    return std::nullopt;
}
