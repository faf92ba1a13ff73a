#pragma once

#include "messagekinds.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "portsystem.h"

// What the main window's behaviour (CMonitor) asks of the window it runs in: the controls, the
// painting, the timers, the message boxes and the modal dialogs, which each system provides its
// own way. Every call comes on the window's thread. Texts are UTF-8.

// The window's timers, each started with its period and running until killed.
inline constexpr int REDRAW_TIMER = 1;
inline constexpr int RECONNECT_TIMER = 2;
inline constexpr int SHOW_RECEIVED_TIMER = 3;

// How far the log write of a clear has got, set by the thread that writes it.
struct WriteProgress
{
    std::atomic<std::uint64_t> done {0};
    std::atomic<std::uint64_t> total {0};
};

class CMonitorWindow
{
public:
    virtual ~CMonitorWindow() = default;

    virtual std::string ControlText(int id) const = 0;
    virtual void SetControlText(int id, const std::string &text) = 0;
    // The received text has grown, or was cleared, since the text view last showed it.
    virtual void ReceivedTextChanged() = 0;
    virtual void SetTitle(const std::string &text) = 0;
    virtual void FocusControl(int id) = 0;
    // Fills the drop-down list `id` with `items`, in this order, and selects one.
    virtual void FillList(int id, std::span<const char *const> items, int selected) = 0;
    virtual int SelectedItem(int id) const = 0;

    // Repaint the legends, the graph's grid, and the graph's traces over it.
    virtual void DrawLegends() = 0;
    virtual void DrawGrid() = 0;
    virtual void DrawTraces() = 0;

    // The window calls CMonitor::OnTimer(id) every period until the timer is killed; a timer
    // started again runs at its new period.
    virtual void StartTimer(int id, std::chrono::milliseconds period) = 0;
    virtual void KillTimer(int id) = 0;

    virtual MessageAnswer ShowMessage(const std::string &text,
                                      MessageButtons buttons = MessageButtons::Ok,
                                      const std::string &informativeText = {})
        = 0;
    // The port settings dialog, run modally; it edits g_portSettings itself.
    virtual void RunPortSettings() = 0;
    virtual void ShowAbout() = 0;
    // Ends the window's modal run.
    virtual void EndDialog() = 0;

    // The window calls CMonitor::OnPortsChanged when `signal` says that something changed where
    // a lost port can come back, until it stops watching. Stopping may happen inside that call.
    virtual void WatchPorts(WatchSignal signal) = 0;
    virtual void StopWatchingPorts() = 0;
    // Delivers now the chunks that the reader has posted and the window not yet taken.
    virtual void TakePostedChunks() = 0;
    // Keeps the window painting and taking posted chunks, but not user input, until
    // waitFinished, which waits up to the time it is given, says the write has ended; once it
    // has taken a while, shows the progress.
    virtual void
    WaitShowingProgress(const std::function<bool(std::chrono::milliseconds)> &waitFinished,
                        const WriteProgress &progress)
        = 0;
};
