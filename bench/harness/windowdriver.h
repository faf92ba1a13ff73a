#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>

struct DialogTemplate;

// Finds the program's windows on the X server and clicks their controls as a user does: the
// pointer moves onto the control and presses the button, through xdotool and the server's test
// extension, so the program sees real input. Controls are found by their number in the dialog
// template that built the window. Throws std::runtime_error when there is no X server.
class CWindowDriver
{
public:
    CWindowDriver();
    ~CWindowDriver();
    CWindowDriver(const CWindowDriver &) = delete;
    CWindowDriver &operator=(const CWindowDriver &) = delete;

    Display *XDisplay() const { return m_display; }

    // A top-level window on screen with exactly this title, once one is there.
    std::optional<Window> WaitForWindow(const std::string &title, int timeoutMs) const;
    bool Click(Window window, const DialogTemplate &dialogTemplate, int controlId) const;

private:
    std::optional<Window> ViewableWindowTitled(const std::string &title) const;
    std::string Title(Window window) const;

    Display *m_display = nullptr;
};

// The rectangle of a control in its window, in pixels.
struct ControlRect
{
    int x, y, width, height;
};
std::optional<ControlRect> ControlPixels(const DialogTemplate &dialogTemplate, int controlId);
