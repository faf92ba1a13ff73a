#pragma once

#include "receivemessageids.h"
#include "receivesink.h"

#include <windows.h>

#include <string>

// The reader's messages, posted to the main window. A received chunk travels as a string the
// message owns: the window that takes the message frees it, and a message that is never
// delivered is freed by DropPostedMessages. Messages are delivered in the order posted, so a lost
// port is reported after every chunk read from it.
class CWindowMessages : public CReceiveSink
{
public:
    explicit CWindowMessages(HWND window = nullptr)
        : m_window(window)
    { }
    // The window to post to; set before the reader starts.
    void SetWindow(HWND window) { m_window = window; }

    void ChunkReceived(const char *bytes, std::int32_t length) override;
    void PortLost(std::uint64_t readerRun) override;
    void LineErrorsChanged(const LineErrorCounts &counts) override;

private:
    void Post(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window;
};

// What each message carries, from its lParam, taken over by the window that handles it: the
// chunk, the reader's run, the counts.
std::string TakeChunk(LPARAM lParam);
std::uint64_t ReaderRunOf(LPARAM lParam);
LineErrorCounts TakeLineErrors(LPARAM lParam);

// Frees what the reader's messages still waiting for `window` carry; called as the window goes,
// once its reader has stopped, since nothing delivers them any more.
void DropPostedMessages(HWND window);
