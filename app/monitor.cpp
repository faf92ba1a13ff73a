#include "monitor.h"

#include "logfile.h"
#include "monitorwindow.h"
#include "portsettings.h"
#include "settingsfile.h"
#include "templates.h"
#include "texts.h"

#include <algorithm>
#include <cstring>
#include <iterator>

CMonitor::CMonitor(CMonitorWindow &window, CReceiveSink &readerSink,
                   std::shared_ptr<CLineControl> lineControl)
    : m_window(window)
    , m_readerSink(readerSink)
    , m_port(std::move(lineControl))
    , m_showPacer([this] { return std::chrono::nanoseconds(m_showInterval); },
                  [this] { ShowReceivedNow(); },
                  {[this](std::chrono::nanoseconds delay) {
                       m_window.StartTimer(SHOW_RECEIVED_TIMER,
                                           std::chrono::ceil<std::chrono::milliseconds>(delay));
                   },
                   [this] { m_window.KillTimer(SHOW_RECEIVED_TIMER); }})
{
    // The text since the last clear lives in the journal; memory holds what it has not yet
    // written.
    m_strReceived.SetBacking(&m_journal);
}

CMonitor::~CMonitor()
{
    // The reader posts to the window: it must have ended before the window is gone, also when
    // the window goes without its close sequence.
    StopReceiving();
}

void CMonitor::UseDemoDevice()
{
    m_demo = std::make_unique<CDemoDevice>();
}

void CMonitor::DoDataExchange()
{
    m_binding.Bind(m_strByteCount, IDC_BYTE_COUNT);
    m_binding.Bind(m_strStatus, IDC_STATUS);
    m_binding.Bind(m_strPortInfo, IDC_PORT_INFO);
    m_binding.Bind(m_strSendText, IDC_SEND_TEXT);
}

void CMonitor::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        m_binding.Pull();
        return;
    }
    m_binding.Push();
    // The received text only grows between clears: the view indexes just the new tail.
    if (m_receivedChanged) {
        m_window.ReceivedTextChanged();
        m_receivedChanged = false;
    }
}

bool CMonitor::OnInitDialog()
{
    UpdateData(false);
    m_bTracesShown = 0;
    EmptySamples(m_samples);
    EmptyPortSettingTexts(g_portSettings);
    std::memset(m_sendBuffer, 0, sizeof m_sendBuffer);
    m_sendLength = 0;
    FillBitLengthSelector();

    // A demo asks for no port; the settings stay as the file has them, for the port chosen later.
    if (m_demo)
        LoadPortSettings();
    else
        m_window.RunPortSettings();
    g_settingsLoaded = 1;

    m_window.SetTitle(Strings::MAIN_TITLE);
    ComposePortInfo();
    UpdateData(false);
    RecoverJournal();

    if (!StartPort())
        return true;
    UpdateData(false);
    StartReceiving();
    m_window.StartTimer(REDRAW_TIMER, REDRAW_PERIOD);
    m_redrawTimerRunning = true;
    m_window.FocusControl(IDC_CANCEL);
    return true;
}

// Opens and brings up the port at start-up, or sets up the demo; false when the start-up ends
// here, with no port to receive from.
bool CMonitor::StartPort()
{
    if (m_demo) {
        m_strPortInfo = Strings::DEMO_PORT_INFO;
        SetStartupStatus(Strings::STATUS_DEMO);
        return true;
    }
    switch (OpenAndConfigurePort()) {
    case PortOutcome::NotOpened:
        ShowPortNotOpened(Strings::PORT_MISSING);
        SetStartupStatus(Strings::STATUS_NO_PORT);
        UpdateData(false);
        return false;
    case PortOutcome::StateUnreadable:
        EndAtStartup(Strings::PORT_STATE_UNREADABLE);
        return false;
    case PortOutcome::ConfigurationRefused:
        EndAtStartup(Strings::PORT_CONFIG_REFUSED);
        return false;
    case PortOutcome::Configured:
        break;
    }
    m_port.RaiseModemLines();
    SetStartupStatus(Strings::STATUS_STARTUP_PORT_SET);
    return true;
}

// Nothing has been written yet, and nothing is: no log, no settings file.
void CMonitor::EndAtStartup(const char *message)
{
    m_window.ShowMessage(message);
    m_endedAtStartup = true;
    m_window.EndDialog();
}

void CMonitor::FillBitLengthSelector()
{
    // Appended in this order and never sorted: the position is the bit length code minus one.
    const auto twelveBits = std::find_if(
        std::begin(BIT_LENGTH_LABELS), std::end(BIT_LENGTH_LABELS),
        [](const char *label) { return std::string_view(label).starts_with("12Bit"); });
    m_window.FillList(IDC_BIT_LENGTH, BIT_LENGTH_LABELS,
                      static_cast<int>(twelveBits - std::begin(BIT_LENGTH_LABELS)));
    g_bitLengthSel = BIT_LENGTH_12;
}

void CMonitor::ComposePortInfo()
{
    const PortSettings &s = g_portSettings;
    m_strPortInfo = std::string(" ") + s.portText + " , " + s.speedText + " BPS" + " , "
        + s.dataBitsText + " BITS" + " , " + s.parityText + " PARITY" + " , " + s.stopBitsText
        + " STOP" + " , " + s.flowText + " FLOW";
}

void CMonitor::SetStatus(const char *text)
{
    m_strStatus = text;
}

// The port's outcome fills the status line before the window first shows, so what became of a
// leftover journal stays in front of it, where the user still sees it, joined by a full-width
// blank.
void CMonitor::SetStartupStatus(const char *text)
{
    SetStatus(text);
    const char *recovery = m_journalRecovery == JournalRecovery::Recovered
        ? Strings::STATUS_DATA_RECOVERED
        : m_journalRecovery == JournalRecovery::Failed ? Strings::STATUS_DATA_NOT_RECOVERED
                                                       : nullptr;
    if (recovery)
        m_strStatus = std::string(recovery) + "\u3000" + m_strStatus;
}

// What a crash left in the journal goes to a log now, named for this start as a clear would
// name it, before the port can bring anything new. A journal that cannot go there stays as it
// is, for a later start, and the status line says so.
void CMonitor::RecoverJournal()
{
    m_journalRecovery = m_journal.Recover(LogFileName(g_portSettings.portIndex));
}

// The journal is only a safety net: the reader starts whether it opens or not.
void CMonitor::StartReceiving()
{
    OpenJournalForEmptyText();
    if (m_demo)
        m_demo->Start(&m_readerSink);
    else
        m_reader.StartReader(&m_readerSink);
}

// Nothing posts to the window once this returns.
void CMonitor::StopReceiving()
{
    if (m_demo)
        m_demo->Stop();
    m_reader.StopReader();
}

// The journal holds the text from its first byte or not at all: one opened partway would hold
// later bytes where the text reads back its beginning. While the text holds bytes that no
// journal has, it stays in memory, and the journal starts with the next clear.
void CMonitor::OpenJournalForEmptyText()
{
    if (m_strReceived.Size() == 0)
        m_journal.Open();
}

void CMonitor::OnTimer(int id)
{
    switch (id) {
    case REDRAW_TIMER:
        RedrawDisplay();
        break;
    case RECONNECT_TIMER:
        TryReconnect();
        break;
    case SHOW_RECEIVED_TIMER:
        m_window.KillTimer(SHOW_RECEIVED_TIMER);
        m_showPacer.TimerExpired();
        break;
    default:
        break;
    }
}

void CMonitor::RedrawDisplay()
{
    m_window.DrawLegends();
    m_window.DrawGrid();
    if (m_bTracesShown == 1)
        DrawTraces();
}

void CMonitor::DrawTraces()
{
    m_bTracesShown = 1;
    m_window.DrawTraces();
}

void CMonitor::OnSysCommand(unsigned id)
{
    // The low four bits of a command number are left free: 16 to 31 all mean About.
    if ((id & ~0xFu) == SYSCMD_ABOUT)
        m_window.ShowAbout();
}

void CMonitor::OnSelchangeBitLength()
{
    g_bitLengthSel = m_window.SelectedItem(IDC_BIT_LENGTH) + 1;
}

void CMonitor::KillRedrawTimer()
{
    if (m_redrawTimerRunning)
        m_window.KillTimer(REDRAW_TIMER);
    m_redrawTimerRunning = false;
}

void CMonitor::OnCancel()
{
    m_bTracesShown = 0;
    StopWaitingForPort();
    // The reader has ended before the port closes, so a reused descriptor is never read.
    StopReceiving();
    // The chunks that the reader posted before it ended are still queued; the log must hold them.
    m_window.TakePostedChunks();
    KillRedrawTimer();
    ClearDisplayAtClose();
    // Unless the text went to the log, the journal keeps it for the next start.
    m_journal.Close();
    SavePortSettings();
    m_window.EndDialog();
}

void CMonitor::SavePortSettings()
{
    if (!WriteSettingsFile(g_portSettings))
        m_window.ShowMessage(Strings::SETTINGS_FILE_UNWRITABLE);
}
