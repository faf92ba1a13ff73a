#pragma once

#include "deviceidentity.h"
#include "frameparser.h"
#include "pacer.h"
#include "portconfig.h"
#include "portlayer.h"
#include "portwatch.h"
#include "reader.h"
#include "receivedtext.h"
#include "receivejournal.h"
#include "receivemessages.h"
#include "samplebuffers.h"
#include "textbinding.h"

#include <QDialog>
#include <QIcon>
#include <QPen>

#include <cstdint>
#include <memory>
#include <vector>

enum class LogWriteResult;
struct LineErrorCounts;
class QByteArray;
class QComboBox;
class QSocketNotifier;
class CLegendView;
class CPlotView;
class CReceivedTextView;

// The main window: one dialog that shows what the device sends (the received text, the byte
// count and a sweep graph of X, Y and Z), sends what the user types, and owns the port's life
// from start-up to close. Everything here runs on the GUI thread; the reader thread reaches the
// window only through posted WM_RECEIVED_DATA events.

inline constexpr int REDRAW_TIMER = 1;
inline constexpr int REDRAW_PERIOD_MS = 2000;
inline constexpr unsigned SYSCMD_ABOUT = 16;
inline constexpr int SEND_BUFFER_SIZE = 4096;
// A port that hung up is tried again whenever something changes where it can come back, and
// also at this slow pace, in case a change went unseen (a folder on a file system that does not
// report changes).
inline constexpr int RECONNECT_FALLBACK_PERIOD_MS = 5000;

// How far the open-and-configure sequence got.
enum class PortOutcome { NotOpened, StateUnreadable, ConfigurationRefused, Configured };

class CMonitorDlg : public QDialog
{
    Q_OBJECT

public:
    // The port makes its calls on the line through lineControl; tests record them.
    explicit CMonitorDlg(QWidget *parent = nullptr,
                         std::shared_ptr<CLineControl> lineControl = SystemLineControl());
    ~CMonitorDlg() override;

    // Initialises the window and its port before it is shown; returns true in every case.
    bool OnInitDialog();
    // Initialises, then runs the window modally; returns at once when start-up ended it.
    int DoModal();
    bool EndedAtStartup() const { return m_endedAtStartup; }

    void OnReceivedData(const QByteArray &block);
    void OnReceiveError();
    void OnTimer(unsigned id);
    void OnSysCommand(unsigned id);
    // Opens a log chosen in a file dialog, which starts in the log folder, in a viewer.
    void OnOpenLog();
    void OnDisplayClear();
    void OnSelchangeBitLength();
    void OnPortSelect();
    void OnSend();
    void OnSendClear();
    void OnCancel();
    void OnPortLost(std::uint64_t readerRun);
    void OnLineErrors(const LineErrorCounts &counts);

    void RedrawDisplay();
    void DrawLegendX();
    void DrawLegendY();
    void DrawLegendZ();
    void DrawGrid();
    void DrawTraces();

    // true: controls to members; false: members to controls, only those that changed.
    void UpdateData(bool saveAndValidate);

    const CReceivedText &ReceivedText() const { return m_strReceived; }
    const QString &ByteCountText() const { return m_strByteCount; }
    const QString &StatusText() const { return m_strStatus; }
    const QString &PortInfoText() const { return m_strPortInfo; }
    const SampleBuffers &Samples() const { return m_samples; }
    std::int32_t TracesShown() const { return m_bTracesShown; }
    bool RedrawTimerRunning() const { return m_redrawTimerId != 0; }
    bool WaitingForPort() const { return m_reconnectTimerId != 0; }
    // How often the port has been tried since it was lost.
    int ReconnectTries() const { return m_reconnectTries; }
    const CSerialPort &Port() const { return m_port; }
    const CReader &Reader() const { return m_reader; }
    // Tests shorten how long a send waits for a stalled line.
    void SetWriteStallTimeout(std::chrono::milliseconds bound)
    {
        m_port.SetWriteStallTimeout(bound);
    }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void reject() override;

private:
    QWidget *MakeControl(int id);
    void DoDataExchange();
    void CreatePens();
    void FillBitLengthSelector();
    void ComposePortInfo();
    void SetStatus(const char *text);
    void SetPortStatus(const char *suffix);
    void ShowPortNotOpened(const QString &text);
    PortOutcome OpenAndConfigurePort();
    void WaitForPort();
    void OnPortFoldersChanged();
    void TryReconnect();
    void StopWaitingForPort();
    void SetStartupStatus(const char *text);
    void EndAtStartup(const char *message);
    void RecoverJournal();
    void StartReceiving();
    void OpenJournalForEmptyText();
    void KillRedrawTimer();
    void TakeChunksHandedOver();
    LogWriteResult LogAndClearDisplay();
    LogWriteResult WriteTextToLog(bool &chunksJournaled);
    void TakeDeferredChunks(bool journaled);
    void ShowReceived(const QByteArray &block);
    void ShowReceivedNow();
    void Repaint();
    void ShowJournalState();
    void ClearDisplayAtClose();

    CLegendView *m_legendZ = nullptr;
    CLegendView *m_legendY = nullptr;
    CLegendView *m_legendX = nullptr;
    QComboBox *m_comboBitLength = nullptr;
    CPlotView *m_plot = nullptr;
    CReceivedText m_strReceived;
    QString m_strByteCount;
    QString m_strStatus;
    QString m_strPortInfo;
    QString m_strSendText;
    QIcon m_hIcon;
    std::int32_t m_bTracesShown = 0;
    QPen m_penX;
    QPen m_penY;
    QPen m_penZ;
    QPen m_penGrid;
    SampleBuffers m_samples;
    CFrameStream m_frames;
    char m_sendBuffer[SEND_BUFFER_SIZE];
    std::int32_t m_sendLength = 0;
    Dcb dcb;
    CommTimeouts commTimeouts;
    CSerialPort m_port;
    // Declared after the port: it stops, and closes the port, before the port goes.
    // Made before the reader and gone after it, which stops the thread that reports to it.
    CWindowEvents m_readerEvents {this};
    CReader m_reader {m_port};

    CReceivedTextView *m_receivedView = nullptr;
    bool m_receivedChanged = false;
    CTextBinding m_binding;
    CReceiveJournal m_journal;
    // While the text goes to the log, chunks wait here: they belong after the clear.
    bool m_writingLog = false;
    bool m_journalBehindShown = false;
    bool m_receiveErrorDeferred = false;
    std::vector<QByteArray> m_deferredChunks;
    JournalRecovery m_journalRecovery = JournalRecovery::Nothing;
    CPacer m_repaintPacer {[this] { return ScreenFrameInterval(*this); }, [this] { Repaint(); }};
    CPacer m_showPacer {[] { return RECEIVED_SHOW_INTERVAL; }, [this] { ShowReceivedNow(); }};
    int m_redrawTimerId = 0;
    int m_reconnectTimerId = 0;
    std::unique_ptr<CPortWatch> m_portWatch;
    QSocketNotifier *m_portWatchNotifier = nullptr;
    int m_reconnectTries = 0;
    // Where the lost port was; it is taken up again only there.
    std::string m_lostPortPath;
    // The device the port reached when it last opened; only that one is taken up again.
    CDeviceIdentity m_portIdentity;
    bool m_endedAtStartup = false;
};
