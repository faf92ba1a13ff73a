#include "fakewindow.h"

#include "portsettings.h"

#include <algorithm>
#include <iterator>

#include <poll.h>

namespace {

// What a wait between pumps gives things that wake no one here.
constexpr std::chrono::milliseconds UNANNOUNCED_SPELL {10};

} // namespace

CFakeWindow::CFakeWindow(std::shared_ptr<CLineControl> lineControl)
    : m_monitor(std::make_unique<CMonitor>(*this, *this, std::move(lineControl)))
{
    m_monitor->DoDataExchange();
}

void CFakeWindow::ChunkReceived(const char *bytes, std::int32_t length)
{
    Post({Posted::Chunk, std::string(bytes, static_cast<std::size_t>(length))});
}

void CFakeWindow::PortLost(std::uint64_t readerRun)
{
    Post({Posted::PortLost, {}, readerRun});
}

void CFakeWindow::LineErrorsChanged(const LineErrorCounts &counts)
{
    Post({Posted::LineErrors, {}, 0, counts});
}

void CFakeWindow::Post(Posted message)
{
    {
        std::lock_guard lock(m_queueLock);
        m_queue.push_back(std::move(message));
    }
    m_posted.notify_all();
}

void CFakeWindow::Deliver(const Posted &message)
{
    switch (message.kind) {
    case Posted::Chunk:
        m_monitor->OnReceivedData(message.chunk);
        break;
    case Posted::PortLost:
        m_monitor->OnPortLost(message.readerRun);
        break;
    case Posted::LineErrors:
        m_monitor->OnLineErrors(message.counts);
        break;
    }
}

void CFakeWindow::Pump()
{
    std::deque<Posted> queued;
    {
        std::lock_guard lock(m_queueLock);
        queued.swap(m_queue);
    }
    for (const Posted &message : queued)
        Deliver(message);
    FireDueTimers();
    ReportPortWatch();
}

void CFakeWindow::FireDueTimers()
{
    const Clock::time_point now = Clock::now();
    for (int id = 1; id < static_cast<int>(m_timers.size()); ++id) {
        std::optional<Timer> &timer = m_timers[id];
        if (!timer || timer->due > now)
            continue;
        timer->due = now + timer->period;
        m_monitor->OnTimer(id);
    }
}

void CFakeWindow::ReportPortWatch()
{
    if (!m_watch)
        return;
    pollfd signal {*m_watch, POLLIN, 0};
    if (poll(&signal, 1, 0) > 0)
        m_monitor->OnPortsChanged();
}

void CFakeWindow::WaitForMessage(Clock::time_point deadline)
{
    Clock::time_point until = std::min(deadline, Clock::now() + UNANNOUNCED_SPELL);
    for (const std::optional<Timer> &timer : m_timers) {
        if (timer)
            until = std::min(until, timer->due);
    }
    std::unique_lock lock(m_queueLock);
    m_posted.wait_until(lock, until, [this] { return !m_queue.empty(); });
}

std::string CFakeWindow::Text(int id) const
{
    const auto text = m_texts.find(id);
    return text == m_texts.end() ? std::string() : text->second;
}

void CFakeWindow::FillList(int id, std::span<const char *const> items, int selected)
{
    m_lists[id].assign(items.begin(), items.end());
    m_selected[id] = selected;
}

int CFakeWindow::SelectedItem(int id) const
{
    const auto selected = m_selected.find(id);
    return selected == m_selected.end() ? -1 : selected->second;
}

void CFakeWindow::StartTimer(int id, std::chrono::milliseconds period)
{
    m_timers[id] = Timer {period, Clock::now() + period};
}

MessageAnswer CFakeWindow::ShowMessage(const std::string &text, MessageButtons buttons,
                                       const std::string &informativeText)
{
    messages.push_back({text, buttons, informativeText});
    if (answer)
        return answer(messages.back());
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Ignore;
}

// The settings dialog reads the settings file the first time it opens, whatever the user then
// does in it.
void CFakeWindow::RunPortSettings()
{
    if (g_settingsLoaded == 0)
        LoadPortSettings();
    if (portSettings)
        portSettings();
}

void CFakeWindow::TakePostedChunks()
{
    std::deque<Posted> chunks;
    {
        std::lock_guard lock(m_queueLock);
        const auto others
            = std::stable_partition(m_queue.begin(), m_queue.end(), [](const Posted &message) {
                  return message.kind == Posted::Chunk;
              });
        std::move(m_queue.begin(), others, std::back_inserter(chunks));
        m_queue.erase(m_queue.begin(), others);
    }
    for (const Posted &chunk : chunks)
        Deliver(chunk);
}

void CFakeWindow::WaitShowingProgress(
    const std::function<bool(std::chrono::milliseconds)> &waitFinished, const WriteProgress &)
{
    // A window may take its messages at any moment of the write: this one does so at least once.
    do
        Pump();
    while (!waitFinished(std::chrono::milliseconds(5)));
}
