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
    if (m_writingLog) {
        m_deferredChunks.push_back(block);
        return;
    }
    // Every received byte is kept, also those after a NUL: the log must hold what the device
    // sent. Only the parser stops at a NUL.
    m_strReceived.Append(block.constData(), static_cast<std::size_t>(block.size()));
    m_journal.Append(block.constData(), static_cast<std::size_t>(block.size()));
    m_receivedChanged = true;
    m_strByteCount = QString::number(m_strReceived.Size());
    UpdateData(false);
    ParseFrames(block);
}

void CMonitorDlg::OnReceiveError()
{
    static const QByteArray errorText
        = QStringEncoder("Shift_JIS").encode(QString::fromUtf8(Strings::RECEIVE_ERROR_TEXT));
    m_strReceived.Clear();
    m_strReceived.Append(errorText.constData(), static_cast<std::size_t>(errorText.size()));
    // The journal holds what the next log would get, so it follows the text.
    m_journal.Clear();
    m_journal.Append(errorText.constData(), static_cast<std::size_t>(errorText.size()));
    m_receivedChanged = true;
    UpdateData(false);
}

void CMonitorDlg::ParseFrames(const QByteArray &block)
{
    m_frames.Parse(block.constData(), static_cast<int>(block.size()), m_samples);
    DrawGrid();
    DrawTraces();
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
