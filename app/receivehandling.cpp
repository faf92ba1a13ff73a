// What the main window does with the reader's chunks: the bytes go to the received text and the
// counter, the frames to the samples, and the graph is redrawn.
#include "monitor.h"

#include "monitorwindow.h"
#include "sending.h"
#include "texts.h"

void CMonitor::OnReceivedData(std::string_view chunk)
{
    // While a clear writes the log, the journal takes the bytes at once and the text once the
    // clear is done.
    m_journal.Append(chunk.data(), chunk.size());
    if (m_writingLog) {
        m_deferredChunks.emplace_back(chunk);
        return;
    }
    ShowReceived(chunk);
}

// Every chunk is taken into the text and the samples at once; what the window shows of them
// follows at most a show interval later, once for all the chunks of that time.
void CMonitor::ShowReceived(std::string_view chunk)
{
    // Every received byte is kept, also those after a NUL: the log must hold what the device
    // sent. Only the parser stops at a NUL.
    m_strReceived.Append(chunk.data(), chunk.size());
    m_receivedChanged = true;
    ShowJournalState();
    m_frames.Parse(chunk.data(), static_cast<int>(chunk.size()), m_samples);
    if (!m_showPacer.HoldBack())
        ShowReceivedNow();
}

void CMonitor::ShowReceivedNow()
{
    m_strByteCount = std::to_string(m_strReceived.Size());
    UpdateData(false);
    const std::uint64_t frames = m_samples.framesStored - m_framesShown;
    m_framesShown = m_samples.framesStored;
    m_showInterval = frames >= SWEEP_LENGTH ? WHOLE_SWEEP_SHOW_INTERVAL : RECEIVED_SHOW_INTERVAL;
    // Without a new frame the graph would be painted again as it stands.
    if (frames == 0 && m_bTracesShown == 1)
        return;
    m_window.DrawGrid();
    DrawTraces();
}

// Said once each way: while the journal is behind, a crash would lose what it has not written.
void CMonitor::ShowJournalState()
{
    const bool behind = m_journal.Behind();
    if (behind == m_journalBehindShown)
        return;
    m_journalBehindShown = behind;
    SetStatus(behind ? Strings::STATUS_JOURNAL_BEHIND : Strings::STATUS_JOURNAL_CAUGHT_UP);
}

void CMonitor::OnReceiveError()
{
    // The text and the journal are on their way to the log; the error text replaces them after.
    if (m_writingLog) {
        m_receiveErrorDeferred = true;
        return;
    }
    // Shown as the device's own text would be, in windows-31j.
    static const std::string errorText = EncodeSendText(Strings::RECEIVE_ERROR_TEXT);
    // The error text replaces whatever was still to be shown.
    m_showPacer.Drop();
    m_strReceived.Clear();
    m_strReceived.Append(errorText.data(), errorText.size());
    // The journal holds what the next log would get, so it follows the text.
    m_journal.Clear();
    m_journal.Append(errorText.data(), errorText.size());
    m_receivedChanged = true;
    UpdateData(false);
}
