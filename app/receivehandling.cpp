// What the main window does with the reader's chunks: the bytes go to the received text and the
// counter, the frames to the samples, and the graph is redrawn.
#include "monitordlg.h"

#include "frameparser.h"
#include "legendview.h"
#include "plotview.h"
#include "texts.h"

#include <QStringEncoder>

void CMonitorDlg::OnReceivedData(const QByteArray &block)
{
    // While a clear writes the log, the journal takes the bytes at once and the text once the
    // clear is done.
    m_journal.Append(block.constData(), static_cast<std::size_t>(block.size()));
    if (m_writingLog) {
        m_deferredChunks.push_back(block);
        return;
    }
    ShowReceived(block);
}

// Every chunk is taken into the text and the samples at once; what the window shows of them
// follows at most RECEIVED_SHOW_INTERVAL later, once for all the chunks of that time.
void CMonitorDlg::ShowReceived(const QByteArray &block)
{
    // Every received byte is kept, also those after a NUL: the log must hold what the device
    // sent. Only the parser stops at a NUL.
    m_strReceived.Append(block.constData(), static_cast<std::size_t>(block.size()));
    m_receivedChanged = true;
    ShowJournalState();
    m_frames.Parse(block.constData(), static_cast<int>(block.size()), m_samples);
    if (!m_showPacer.HoldBack())
        ShowReceivedNow();
}

void CMonitorDlg::ShowReceivedNow()
{
    m_strByteCount = QString::number(m_strReceived.Size());
    UpdateData(false);
    DrawGrid();
    DrawTraces();
}

// Said once each way: while the journal is behind, a crash would lose what it has not written.
void CMonitorDlg::ShowJournalState()
{
    const bool behind = m_journal.Behind();
    if (behind == m_journalBehindShown)
        return;
    m_journalBehindShown = behind;
    SetStatus(behind ? Strings::STATUS_JOURNAL_BEHIND : Strings::STATUS_JOURNAL_CAUGHT_UP);
}

void CMonitorDlg::OnReceiveError()
{
    // The text and the journal are on their way to the log; the error text replaces them after.
    if (m_writingLog) {
        m_receiveErrorDeferred = true;
        return;
    }
    static const QByteArray errorText
        = QStringEncoder("Shift_JIS").encode(QString::fromUtf8(Strings::RECEIVE_ERROR_TEXT));
    // The error text replaces whatever was still to be shown.
    m_showPacer.Drop();
    m_strReceived.Clear();
    m_strReceived.Append(errorText.constData(), static_cast<std::size_t>(errorText.size()));
    // The journal holds what the next log would get, so it follows the text.
    m_journal.Clear();
    m_journal.Append(errorText.constData(), static_cast<std::size_t>(errorText.size()));
    m_receivedChanged = true;
    UpdateData(false);
}

void CMonitorDlg::DrawLegendX()
{
    m_legendX->update();
}

void CMonitorDlg::DrawLegendY()
{
    m_legendY->update();
}

void CMonitorDlg::DrawLegendZ()
{
    m_legendZ->update();
}

void CMonitorDlg::DrawGrid()
{
    m_plot->ShowGrid();
}

void CMonitorDlg::DrawTraces()
{
    m_bTracesShown = 1;
    m_plot->ShowTraces();
}
