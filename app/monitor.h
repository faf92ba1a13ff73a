#pragma once

#include "demodevice.h"
#include "frameparser.h"
#include "pacer.h"
#include "portconfig.h"
#include "portlayer.h"
#include "portreturn.h"
#include "portwatch.h"
#include "reader.h"
#include "receivedtext.h"
#include "receivejournal.h"
#include "samplebuffers.h"
#include "textbinding.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class LogWriteResult;
struct LineErrorCounts;
class CMonitorWindow;
class CReceiveSink;

// What the main window does, the same in every system's window: it shows what the device sends
// (the received text, the byte count and a sweep graph of X, Y and Z), sends what the user types,
// and owns the port's life from start-up to close. The window it runs in (CMonitorWindow) only
// shows, paints, times and asks; it hands the user's commands, its timers and the reader's
// messages to the handlers here. Everything here runs on the window's thread; the reader thread
// reaches it only through the messages the window posts to itself.

inline constexpr unsigned SYSCMD_ABOUT = 16;
inline constexpr int SEND_BUFFER_SIZE = 4096;
inline constexpr std::chrono::milliseconds REDRAW_PERIOD {2000};
// A port that hung up is tried again whenever something changes where it can come back, and
// also at this slow pace, in case a change went unseen (a folder on a file system that does not
// report changes).
inline constexpr std::chrono::milliseconds RECONNECT_FALLBACK_PERIOD {5000};

// How far the open-and-configure sequence got.
enum class PortOutcome { NotOpened, StateUnreadable, ConfigurationRefused, Configured };

class CMonitor
{
public:
    // The reader's messages go to `readerSink`, which posts them to the window. The port makes
    // its calls on the line through lineControl; tests record them.
    CMonitor(CMonitorWindow &window, CReceiveSink &readerSink,
             std::shared_ptr<CLineControl> lineControl = SystemLineControl());
    ~CMonitor();
    CMonitor(const CMonitor &) = delete;
    CMonitor &operator=(const CMonitor &) = delete;

    // From start-up on, a demo device sends instead of a port, until the user selects a port;
    // called before OnInitDialog.
    void UseDemoDevice();
    bool InDemo() const { return m_demo != nullptr; }

    // Binds the window's text boxes; called once the window's controls exist.
    void DoDataExchange();
    // Initialises the window and its port before it is shown; returns true in every case.
    bool OnInitDialog();
    bool EndedAtStartup() const { return m_endedAtStartup; }

    void OnReceivedData(std::string_view chunk);
    void OnReceiveError();
    void OnTimer(int id);
    void OnSysCommand(unsigned id);
    void OnDisplayClear();
    void OnSelchangeBitLength();
    void OnPortSelect();
    void OnSend();
    void OnSendClear();
    void OnCancel();
    void OnPortLost(std::uint64_t readerRun);
    void OnLineErrors(const LineErrorCounts &counts);
    void OnPortsChanged();

    void RedrawDisplay();

    // true: controls to members; false: members to controls, only those that changed.
    void UpdateData(bool saveAndValidate);

    const CReceivedText &ReceivedText() const { return m_strReceived; }
    const std::string &ByteCountText() const { return m_strByteCount; }
    const std::string &StatusText() const { return m_strStatus; }
    const std::string &PortInfoText() const { return m_strPortInfo; }
    const SampleBuffers &Samples() const { return m_samples; }
    std::int32_t TracesShown() const { return m_bTracesShown; }
    std::chrono::milliseconds ShowInterval() const { return m_showInterval; }
    bool RedrawTimerRunning() const { return m_redrawTimerRunning; }
    bool WaitingForPort() const { return m_waitingForPort; }
    // How often the port has been tried since it was lost.
    int ReconnectTries() const { return m_reconnectTries; }
    const CSerialPort &Port() const { return m_port; }
    const CReader &Reader() const { return m_reader; }
    // Tests shorten how long a send waits for a stalled line.
    void SetWriteStallTimeout(std::chrono::milliseconds bound)
    {
        m_port.SetWriteStallTimeout(bound);
    }

private:
    void FillBitLengthSelector();
    void ComposePortInfo();
    void SetStatus(const char *text);
    void SetPortStatus(const char *suffix);
    void ShowPortNotOpened(const std::string &text);
    PortOutcome OpenAndConfigurePort();
    void EndAtStartup(const char *message);
    void SetStartupStatus(const char *text);
    void RecoverJournal();
    void StartReceiving();
    void StopReceiving();
    bool StartPort();
    void OpenJournalForEmptyText();
    void WaitForPort();
    void TryReconnect();
    void StopWaitingForPort();
    void KillRedrawTimer();
    void SavePortSettings();
    void DrawTraces();
    LogWriteResult LogAndClearDisplay();
    LogWriteResult WriteTextToLog(bool &chunksJournaled);
    void TakeDeferredChunks(bool journaled);
    void ClearDisplayAtClose();
    void ShowReceived(std::string_view chunk);
    void ShowReceivedNow();
    void ShowJournalState();

    CMonitorWindow &m_window;
    CReceiveSink &m_readerSink;
    CReceivedText m_strReceived;
    std::string m_strByteCount;
    std::string m_strStatus;
    std::string m_strPortInfo;
    std::string m_strSendText;
    std::int32_t m_bTracesShown = 0;
    SampleBuffers m_samples;
    CFrameStream m_frames;
    char m_sendBuffer[SEND_BUFFER_SIZE];
    std::int32_t m_sendLength = 0;
    Dcb dcb;
    CommTimeouts commTimeouts;
    CSerialPort m_port;
    // Declared after the port: it stops, and closes the port, before the port goes.
    CReader m_reader {m_port};
    // Stands in for the port and its reader in a demo; posts through the reader's sink.
    std::unique_ptr<CDemoDevice> m_demo;

    bool m_receivedChanged = false;
    CTextBinding m_binding {m_window};
    CReceiveJournal m_journal;
    // While the text goes to the log, chunks wait here: they belong after the clear.
    bool m_writingLog = false;
    bool m_journalBehindShown = false;
    bool m_receiveErrorDeferred = false;
    std::vector<std::string> m_deferredChunks;
    JournalRecovery m_journalRecovery = JournalRecovery::Nothing;
    // The frames stored when chunks were last shown, and how soon they may be shown again.
    std::uint64_t m_framesShown = 0;
    std::chrono::milliseconds m_showInterval = RECEIVED_SHOW_INTERVAL;
    CPacer m_showPacer;
    bool m_redrawTimerRunning = false;
    bool m_waitingForPort = false;
    std::unique_ptr<CPortWatch> m_portWatch;
    int m_reconnectTries = 0;
    // Where the port led when it last opened; a lost port is taken up again only there.
    CPortReturn m_portReturn;
    bool m_endedAtStartup = false;
};
