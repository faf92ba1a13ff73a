#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDibSurface;

// Takes the thread's messages until condition holds; false when it still does not after a time
// far beyond any real wait.
bool PumpMessagesUntil(const std::function<bool()> &condition);

struct WindowDestroyer
{
    void operator()(HWND window) const { DestroyWindow(window); }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// The main window made by the dialog manager from its template, modeless and hidden; without a
// procedure the dialog manager's defaults answer everything.
OwnedWindow MakeMainWindow(DLGPROC procedure = nullptr);

RECT ClientOf(HWND window);

// A window's text as UTF-8.
std::string TextOf(HWND window);

// The pixels of the 32-bit bitmap selected into a memory device context, read in place.
class CDibPixels
{
public:
    explicit CDibPixels(HDC dc);

    bool Valid() const { return m_bits != nullptr; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // As 0xRRGGBB, top row first.
    std::uint32_t At(int x, int y) const { return m_bits[y * m_width + x] & 0xFFFFFF; }
    int Count(std::uint32_t rgb) const;

private:
    const std::uint32_t *m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// How a window's client is read back: by the message its own paint code answers, or by the
// system's PrintWindow.
enum class PrintBy { ClientMessage, PrintWindow };

// The window's client printed into surface, which is fitted to it.
CDibPixels PrintedClient(HWND window, CDibSurface &surface, PrintBy how = PrintBy::ClientMessage);

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return (std::uint32_t {r} << 16) | (std::uint32_t {g} << 8) | b;
}

inline std::uint32_t Rgb(COLORREF colour)
{
    return Rgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

constexpr std::uint32_t WHITE = Rgb(255, 255, 255);
constexpr std::uint32_t BLACK = Rgb(0, 0, 0);
constexpr std::uint32_t RED = Rgb(255, 0, 0);
constexpr std::uint32_t BLUE = Rgb(0, 0, 255);
// The graph's grid lines.
constexpr std::uint32_t GRID = Rgb(191, 191, 191);

// Message boxes and beeps recorded instead of shown, for the life of the object.
class CRecordedAlerts
{
public:
    CRecordedAlerts();
    ~CRecordedAlerts();
    CRecordedAlerts(const CRecordedAlerts &) = delete;
    CRecordedAlerts &operator=(const CRecordedAlerts &) = delete;

    std::vector<std::string> messages;
    int beeps = 0;
};
