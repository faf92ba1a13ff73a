// The display clear: everything received since the last clear is appended to the log file, then
// text, counter, samples and graph start afresh. Nothing is cleared unless every byte reached
// the log.
#include "monitor.h"

#include "appsystem.h"
#include "logfile.h"
#include "monitorwindow.h"
#include "portsettings.h"
#include "texts.h"

#include <future>
#include <utility>

namespace {

const char *FailureText(LogWriteResult result)
{
    return result == LogWriteResult::OpenFailed ? Strings::LOG_CANNOT_OPEN
                                                : Strings::LOG_CANNOT_WRITE;
}

} // namespace

void CMonitor::OnDisplayClear()
{
    const LogWriteResult result = LogAndClearDisplay();
    // A lost port that came back while the log was written has not been tried yet.
    if (WaitingForPort())
        TryReconnect();
    if (result != LogWriteResult::Written)
        m_window.ShowMessage(FailureText(result));
}

void CMonitor::ClearDisplayAtClose()
{
    // Closing loses the text unless it reaches the log, so the user may try again (a full disk
    // emptied, a lock released) or let it go.
    for (;;) {
        const LogWriteResult result = LogAndClearDisplay();
        if (result == LogWriteResult::Written)
            return;
        if (m_window.ShowMessage(FailureText(result), MessageButtons::RetryIgnore)
            == MessageAnswer::Ignore)
            return;
    }
}

LogWriteResult CMonitor::LogAndClearDisplay()
{
    UpdateData(true);
    bool chunksJournaled = false;
    const LogWriteResult result = WriteTextToLog(chunksJournaled);
    if (result != LogWriteResult::Written) {
        TakeDeferredChunks(chunksJournaled);
        return result;
    }
    // The log holds the text now; the journal starts again with the first byte received after
    // the click, which it may hold already.
    if (!chunksJournaled)
        m_journal.Clear();
    // What was still to be shown went to the log with the text.
    m_showPacer.Drop();
    EmptySamples(m_samples);
    m_frames.Reset();
    m_strReceived.Clear();
    OpenJournalForEmptyText();
    // A long run's text is far more than the next one needs soon.
    ReturnFreedMemory();
    m_receivedChanged = true;
    m_strByteCount.clear();
    m_window.DrawGrid();
    m_bTracesShown = 0;
    ShowJournalState();
    UpdateData(false);
    TakeDeferredChunks(chunksJournaled);
    return result;
}

// The journal holds the text: its file goes to the log whole, off the window's thread, its last
// bytes synced there too, followed by those it could not write yet. Where it does not (it could
// not be opened), the text goes from memory. chunksJournaled tells whether the journal holds the
// chunks that arrived meanwhile.
LogWriteResult CMonitor::WriteTextToLog(bool &chunksJournaled)
{
    const auto fromMemory = [this] {
        return AppendToLog(g_portSettings.portIndex, [this](const LogSegmentSink &sink) {
            return m_strReceived.ForEachSegment(sink);
        });
    };
    const std::string path = LogFileName(g_portSettings.portIndex);
    const std::uint64_t length = m_strReceived.Size();
    WriteProgress progress;
    m_writingLog = true;
    m_journal.BeginMove();
    auto moved = std::async(std::launch::async, [&] {
        return m_journal.MoveIntoLog(path, length, [&](std::uint64_t written, std::uint64_t of) {
            progress.total = of;
            progress.done = written;
        });
    });
    m_window.WaitShowingProgress(
        [&](std::chrono::milliseconds wait) {
            return moved.wait_for(wait) == std::future_status::ready;
        },
        progress);
    m_writingLog = false;
    const std::optional<LogWriteResult> result = moved.get();
    chunksJournaled = m_journal.EndMove();
    return result ? *result : fromMemory();
}

void CMonitor::TakeDeferredChunks(bool journaled)
{
    for (const std::string &chunk : std::exchange(m_deferredChunks, {})) {
        if (!journaled)
            m_journal.Append(chunk.data(), chunk.size());
        ShowReceived(chunk);
    }
    if (std::exchange(m_receiveErrorDeferred, false))
        OnReceiveError();
}
