// The display clear: everything received since the last clear is appended to the log file, then
// text, counter, samples and graph start afresh. Nothing is cleared unless every byte reached
// the log.
#include "monitordlg.h"

#include "logfile.h"
#include "messagebox.h"
#include "portsettings.h"
#include "texts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

#include <atomic>
#include <future>
#include <malloc.h>
#include <memory>
#include <utility>

namespace {

// A log write that takes longer than this shows how far it has got.
constexpr int PROGRESS_DELAY_MS = 500;
constexpr int PROGRESS_STEPS = 1000;

// Waits for the write while the window goes on painting and taking chunks, which wait for the
// write to end; user input waits too. A bar shows the bytes written of the total once the write
// has taken PROGRESS_DELAY_MS.
template<typename Result>
void WaitShowingProgress(QWidget &window, std::future<Result> &write,
                         const std::atomic<std::uint64_t> &done,
                         const std::atomic<std::uint64_t> &total)
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> progress;
    while (write.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (!progress && clock.elapsed() >= PROGRESS_DELAY_MS) {
            progress = std::make_unique<QProgressDialog>(QString::fromUtf8(Strings::LOG_WRITING),
                                                         QString(), 0, PROGRESS_STEPS, &window);
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->show();
        }
        if (progress && total > 0)
            progress->setValue(static_cast<int>(done * PROGRESS_STEPS / total));
    }
}

QString FailureText(LogWriteResult result)
{
    return QString::fromUtf8(result == LogWriteResult::OpenFailed ? Strings::LOG_CANNOT_OPEN
                                                                  : Strings::LOG_CANNOT_WRITE);
}

} // namespace

void CMonitorDlg::OnDisplayClear()
{
    const LogWriteResult result = LogAndClearDisplay();
    // A lost port that came back while the log was written has not been tried yet.
    if (WaitingForPort())
        TryReconnect();
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
    // The allocator keeps what the text freed for later use, and a long run's text is far more
    // than the next one needs soon: it goes back to the system.
    malloc_trim(0);
    m_receivedChanged = true;
    m_strByteCount.clear();
    DrawGrid();
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
LogWriteResult CMonitorDlg::WriteTextToLog(bool &chunksJournaled)
{
    const auto fromMemory = [this] {
        return AppendToLog(g_portSettings.portIndex, [this](const LogSegmentSink &sink) {
            return m_strReceived.ForEachSegment(sink);
        });
    };
    const std::string path = LogFileName(g_portSettings.portIndex);
    const std::uint64_t length = m_strReceived.Size();
    std::atomic<std::uint64_t> done {0};
    std::atomic<std::uint64_t> total {0};
    m_writingLog = true;
    m_journal.BeginMove();
    auto moved = std::async(std::launch::async, [&] {
        return m_journal.MoveIntoLog(path, length, [&](std::uint64_t written, std::uint64_t of) {
            total = of;
            done = written;
        });
    });
    WaitShowingProgress(*this, moved, done, total);
    m_writingLog = false;
    const std::optional<LogWriteResult> result = moved.get();
    chunksJournaled = m_journal.EndMove();
    return result ? *result : fromMemory();
}

void CMonitorDlg::TakeDeferredChunks(bool journaled)
{
    for (const QByteArray &chunk : std::exchange(m_deferredChunks, {})) {
        if (!journaled)
            m_journal.Append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
        ShowReceived(chunk);
    }
    if (std::exchange(m_receiveErrorDeferred, false))
        OnReceiveError();
}
