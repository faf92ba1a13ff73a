#include "receivemessages_win32.h"

#include <memory>

namespace {

// A queue holds at most 10,000 posted messages. A window that falls that far behind catches up
// while the reader waits: what the reader holds back stays in the driver's buffer, whereas a
// message not posted would lose its bytes.
constexpr DWORD FULL_QUEUE_WAIT_MS = 10;

void Free(UINT message, LPARAM lParam)
{
    if (message == WM_RECEIVED_DATA)
        delete reinterpret_cast<std::string *>(lParam);
    else if (message == WM_LINE_ERRORS)
        delete reinterpret_cast<LineErrorCounts *>(lParam);
}

} // namespace

void CWindowMessages::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    while (!PostMessageW(m_window, message, wParam, lParam)) {
        if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA || !IsWindow(m_window)) {
            Free(message, lParam);
            return;
        }
        Sleep(FULL_QUEUE_WAIT_MS);
    }
}

void CWindowMessages::ChunkReceived(const char *bytes, std::int32_t length)
{
    auto chunk = std::make_unique<std::string>(bytes, static_cast<std::size_t>(length));
    Post(WM_RECEIVED_DATA, 0, reinterpret_cast<LPARAM>(chunk.release()));
}

// The run travels in lParam, which holds 64 bits on the 64-bit system the program is built for.
void CWindowMessages::PortLost(std::uint64_t readerRun)
{
    static_assert(sizeof(LPARAM) >= sizeof readerRun);
    Post(WM_PORT_LOST, 0, static_cast<LPARAM>(readerRun));
}

void CWindowMessages::LineErrorsChanged(const LineErrorCounts &counts)
{
    Post(WM_LINE_ERRORS, 0, reinterpret_cast<LPARAM>(new LineErrorCounts(counts)));
}

std::string TakeChunk(LPARAM lParam)
{
    const std::unique_ptr<std::string> chunk(reinterpret_cast<std::string *>(lParam));
    return std::move(*chunk);
}

std::uint64_t ReaderRunOf(LPARAM lParam)
{
    return static_cast<std::uint64_t>(lParam);
}

LineErrorCounts TakeLineErrors(LPARAM lParam)
{
    const std::unique_ptr<LineErrorCounts> counts(reinterpret_cast<LineErrorCounts *>(lParam));
    return *counts;
}

void DropPostedMessages(HWND window)
{
    MSG message;
    while (PeekMessageW(&message, window, WM_RECEIVED_DATA, WM_LINE_ERRORS, PM_REMOVE))
        Free(message.message, message.lParam);
}
