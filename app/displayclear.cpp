// The display clear: everything received since the last clear is appended to the log file, then
// text, counter, samples and graph start afresh. Nothing is cleared unless every byte reached
// the log.
#include "monitordlg.h"

#include "logfile.h"
#include "messagebox.h"
#include "portsettings.h"
#include "texts.h"

#include <malloc.h>

namespace {

QString FailureText(LogWriteResult result)
{
    return QString::fromUtf8(result == LogWriteResult::OpenFailed ? Strings::LOG_CANNOT_OPEN
                                                                  : Strings::LOG_CANNOT_WRITE);
}

} // namespace

void CMonitorDlg::OnDisplayClear()
{
    const LogWriteResult result = LogAndClearDisplay();
    if (result != LogWriteResult::Written)
        ShowMessageBox(FailureText(result));
}

void CMonitorDlg::ClearDisplayAtClose()
{
    // Closing loses the text unless it reaches the log, so the user may try again (a full disk
    // emptied, a lock released) or let it go.
    for (;;) {
        const LogWriteResult result = LogAndClearDisplay();
        if (result == LogWriteResult::Written)
            return;
        if (ShowMessageBox(FailureText(result), MessageButtons::RetryIgnore)
            == MessageAnswer::Ignore)
            return;
    }
}

LogWriteResult CMonitorDlg::LogAndClearDisplay()
{
    UpdateData(true);
    const LogWriteResult result
        = AppendToLog(g_portSettings.portIndex, [this](const LogSegmentSink &sink) {
              return m_strReceived.ForEachSegment(sink);
          });
    if (result != LogWriteResult::Written)
        return result;
    // The log holds the text now; the journal starts again with the next byte received.
    m_journal.Clear();
    EmptySamples(m_samples);
    m_strReceived.Clear();
    // The allocator keeps what the text freed for later use, and a long run's text is far more
    // than the next one needs soon: it goes back to the system.
    malloc_trim(0);
    m_receivedChanged = true;
    m_strByteCount.clear();
    DrawGrid();
    m_bTracesShown = 0;
    UpdateData(false);
    return result;
}
