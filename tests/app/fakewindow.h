#pragma once

#include "linecontrol.h"
#include "monitor.h"
#include "monitorwindow.h"
#include "receivesink.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A window for the main window's behaviour that shows nothing: it keeps what a user would see
// (the control texts, the title, the list, the message boxes, the paints) for the test to read,
// and hands the behaviour its timers, the reader's messages and the port watch's signal whenever
// the test pumps it, as a real window's event loop would. The reader's messages wait in a queue,
// as the messages a window posts to itself do, until the test pumps.
class CFakeWindow final : public CMonitorWindow, public CReceiveSink
{
public:
    using Clock = std::chrono::steady_clock;

    struct Message
    {
        std::string text;
        MessageButtons buttons;
        std::string informativeText;
    };

    explicit CFakeWindow(std::shared_ptr<CLineControl> lineControl = SystemLineControl());

    CMonitor &Monitor() { return *m_monitor; }

    // Delivers the queued reader messages in the order they came, then fires the timers whose
    // period is over, then reports a port watch signal that is readable.
    void Pump();
    // Pumps until predicate holds; false when it still does not after `bound`. Between pumps it
    // waits for the reader's next message, or the next timer, or a short spell for what nothing
    // here announces (a file written by another thread, a port watch signal).
    template<typename Predicate>
    bool WaitFor(Predicate predicate, std::chrono::milliseconds bound = std::chrono::seconds(10))
    {
        const auto deadline = Clock::now() + bound;
        for (;;) {
            Pump();
            if (predicate())
                return true;
            if (Clock::now() >= deadline)
                return false;
            WaitForMessage(deadline);
        }
    }

    // What the user sees and does.
    std::string Text(int id) const;
    // The user types into an edit box.
    void Type(int id, const std::string &text) { m_texts[id] = text; }
    void Select(int id, int item) { m_selected[id] = item; }
    const std::vector<std::string> &ListItems(int id) { return m_lists[id]; }
    const std::string &Title() const { return m_title; }
    bool TimerRunning(int id) const { return m_timers[id].has_value(); }

    std::vector<Message> messages;
    // How a message box is answered; by default Ok, and Ignore where Retry and Ignore are offered.
    std::function<MessageAnswer(const Message &)> answer;
    // What the user does in the port settings dialog, to g_portSettings; by default nothing.
    std::function<void()> portSettings;
    int legendPaints = 0;
    int gridPaints = 0;
    int tracePaints = 0;
    int aboutShown = 0;
    int ended = 0;

    // CReceiveSink, on the reader's thread.
    void ChunkReceived(const char *bytes, std::int32_t length) override;
    void PortLost(std::uint64_t readerRun) override;
    void LineErrorsChanged(const LineErrorCounts &counts) override;

private:
    struct Posted
    {
        enum { Chunk, PortLost, LineErrors } kind;
        std::string chunk;
        std::uint64_t readerRun = 0;
        LineErrorCounts counts {};
    };
    struct Timer
    {
        std::chrono::milliseconds period;
        Clock::time_point due;
    };

    void Post(Posted message);
    void Deliver(const Posted &message);
    void FireDueTimers();
    void ReportPortWatch();
    void WaitForMessage(Clock::time_point deadline);

    std::string ControlText(int id) const override { return Text(id); }
    void SetControlText(int id, const std::string &text) override { m_texts[id] = text; }
    void ReceivedTextChanged() override { }
    void SetTitle(const std::string &text) override { m_title = text; }
    void FocusControl(int) override { }
    void FillList(int id, std::span<const char *const> items, int selected) override;
    int SelectedItem(int id) const override;
    void DrawLegends() override { ++legendPaints; }
    void DrawGrid() override { ++gridPaints; }
    void DrawTraces() override { ++tracePaints; }
    void StartTimer(int id, std::chrono::milliseconds period) override;
    void KillTimer(int id) override { m_timers[id].reset(); }
    MessageAnswer ShowMessage(const std::string &text, MessageButtons buttons,
                              const std::string &informativeText) override;
    void RunPortSettings() override;
    void ShowAbout() override { ++aboutShown; }
    void EndDialog() override { ++ended; }
    void WatchPorts(WatchSignal signal) override { m_watch = signal; }
    void StopWatchingPorts() override { m_watch.reset(); }
    void TakePostedChunks() override;
    void WaitShowingProgress(const std::function<bool(std::chrono::milliseconds)> &waitFinished,
                             const WriteProgress &progress) override;

    std::mutex m_queueLock;
    std::condition_variable m_posted;
    std::deque<Posted> m_queue;

    std::map<int, std::string> m_texts;
    std::map<int, std::vector<std::string>> m_lists;
    std::map<int, int> m_selected;
    std::string m_title;
    std::array<std::optional<Timer>, SHOW_RECEIVED_TIMER + 1> m_timers;
    std::optional<WatchSignal> m_watch;
    // Made after everything it calls and gone before it, which stops the reader that posts here.
    std::unique_ptr<CMonitor> m_monitor;
};
