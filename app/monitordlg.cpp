#include "monitordlg.h"

#include "aboutdlg.h"
#include "dialogkeys.h"
#include "dialogtemplate.h"
#include "filechoice.h"
#include "legendview.h"
#include "logfile.h"
#include "logviewer.h"
#include "mainicon.h"
#include "messagebox.h"
#include "modalrun.h"
#include "plotrenderer.h"
#include "plotview.h"
#include "portsettings.h"
#include "portsettingsdlg.h"
#include "receivedtextview.h"
#include "receivemessages.h"
#include "templates.h"
#include "texts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimerEvent>

#include <cstring>

namespace {

// The local files among what is dragged over the window; a link to a web page is no log.
QStringList DroppedFiles(const QMimeData &data)
{
    QStringList files;
    for (const QUrl &url : data.urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

} // namespace

CMonitorDlg::CMonitorDlg(QWidget *parent, std::shared_ptr<CLineControl> lineControl)
    : QDialog(parent)
    , m_hIcon(MainIcon())
    , m_port(std::move(lineControl))
{
    BuildDialog(*this, MAIN_TEMPLATE, [this](const ControlTemplate &control, QWidget *) {
        return MakeControl(control.id);
    });
    DoDataExchange();
    // The text since the last clear lives in the journal; memory holds what it has not yet
    // written.
    m_strReceived.SetBacking(&m_journal);
    // Key presses go to the focused control first; a filter on the application sees them for
    // the window and every one of its controls.
    qApp->installEventFilter(this);
    // A log dropped on the window opens in a viewer.
    setAcceptDrops(true);
}

CMonitorDlg::~CMonitorDlg()
{
    qApp->removeEventFilter(this);
    // The reader posts to this window: it must have ended before the window is gone, also when
    // the window goes without its close sequence.
    m_reader.StopReader();
}

QWidget *CMonitorDlg::MakeControl(int id)
{
    switch (id) {
    case IDC_RECEIVED:
        return new CReceivedTextView(m_strReceived, this);
    case IDC_PLOT:
        return new CPlotView(m_samples, {m_penX, m_penY, m_penZ, m_penGrid}, this);
    case IDC_LEGEND_X:
        return new CLegendView(TraceChannel::X, this);
    case IDC_LEGEND_Y:
        return new CLegendView(TraceChannel::Y, this);
    case IDC_LEGEND_Z:
        return new CLegendView(TraceChannel::Z, this);
    default:
        return nullptr;
    }
}

void CMonitorDlg::DoDataExchange()
{
    m_legendZ = FindControlAs<CLegendView>(*this, IDC_LEGEND_Z);
    m_legendY = FindControlAs<CLegendView>(*this, IDC_LEGEND_Y);
    m_legendX = FindControlAs<CLegendView>(*this, IDC_LEGEND_X);
    m_comboBitLength = FindControlAs<QComboBox>(*this, IDC_BIT_LENGTH);
    m_plot = FindControlAs<CPlotView>(*this, IDC_PLOT);
    m_receivedView = FindControlAs<CReceivedTextView>(*this, IDC_RECEIVED);
    m_binding.Bind(m_strByteCount, *FindControl(*this, IDC_BYTE_COUNT));
    m_binding.Bind(m_strStatus, *FindControl(*this, IDC_STATUS));
    m_binding.Bind(m_strPortInfo, *FindControl(*this, IDC_PORT_INFO));
    m_binding.Bind(m_strSendText, *FindControl(*this, IDC_SEND_TEXT));

    connect(FindControlAs<QAbstractButton>(*this, IDC_CANCEL), &QAbstractButton::clicked, this,
            &CMonitorDlg::OnCancel);
    connect(FindControlAs<QAbstractButton>(*this, IDC_DISPLAY_CLEAR), &QAbstractButton::clicked,
            this, &CMonitorDlg::OnDisplayClear);
    connect(m_comboBitLength, &QComboBox::activated, this, &CMonitorDlg::OnSelchangeBitLength);
    connect(FindControlAs<QAbstractButton>(*this, IDC_PORT_SELECT), &QAbstractButton::clicked, this,
            &CMonitorDlg::OnPortSelect);
    connect(FindControlAs<QAbstractButton>(*this, IDC_SEND), &QAbstractButton::clicked, this,
            &CMonitorDlg::OnSend);
    connect(FindControlAs<QAbstractButton>(*this, IDC_SEND_CLEAR), &QAbstractButton::clicked, this,
            &CMonitorDlg::OnSendClear);
}

void CMonitorDlg::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        m_binding.Pull();
        return;
    }
    m_binding.Push();
    // The received text only grows between clears: the view indexes just the new tail.
    if (m_receivedChanged) {
        m_receivedView->TextChanged();
        m_receivedChanged = false;
    }
}

int CMonitorDlg::DoModal()
{
    OnInitDialog();
    if (m_endedAtStartup)
        return result();
    return exec();
}

bool CMonitorDlg::OnInitDialog()
{
    UpdateData(false);
    setWindowIcon(m_hIcon);
    m_bTracesShown = 0;
    CreatePens();
    EmptySamples(m_samples);
    EmptyPortSettingTexts(g_portSettings);
    std::memset(m_sendBuffer, 0, sizeof m_sendBuffer);
    m_sendLength = 0;
    FillBitLengthSelector();

    RunPortSettingsDialog();
    g_settingsLoaded = 1;

    setWindowTitle(QString::fromUtf8(Strings::MAIN_TITLE));
    ComposePortInfo();
    UpdateData(false);
    RecoverJournal();

    switch (OpenAndConfigurePort()) {
    case PortOutcome::NotOpened:
        ShowPortNotOpened(QString::fromUtf8(Strings::PORT_MISSING));
        SetStartupStatus(Strings::STATUS_NO_PORT);
        UpdateData(false);
        return true;
    case PortOutcome::StateUnreadable:
        EndAtStartup(Strings::PORT_STATE_UNREADABLE);
        return true;
    case PortOutcome::ConfigurationRefused:
        EndAtStartup(Strings::PORT_CONFIG_REFUSED);
        return true;
    case PortOutcome::Configured:
        break;
    }
    m_port.RaiseModemLines();
    SetStartupStatus(Strings::STATUS_STARTUP_PORT_SET);
    UpdateData(false);
    StartReceiving();
    m_redrawTimerId = startTimer(REDRAW_PERIOD_MS);
    FindControl(*this, IDC_CANCEL)->setFocus();
    return true;
}

// Nothing has been written yet, and nothing is: no log, no settings file.
void CMonitorDlg::EndAtStartup(const char *message)
{
    ShowMessageBox(QString::fromUtf8(message));
    m_endedAtStartup = true;
    QDialog::reject();
}

void CMonitorDlg::CreatePens()
{
    // The plotting area draws with these pens; the window keeps them for its whole life.
    m_penX = MakeTracePen(TraceChannel::X);
    m_penY = MakeTracePen(TraceChannel::Y);
    m_penZ = MakeTracePen(TraceChannel::Z);
    m_penGrid = MakeGridPen();
}

void CMonitorDlg::FillBitLengthSelector()
{
    // Appended in this order and never sorted: the position is the bit length code minus one.
    m_comboBitLength->clear();
    for (const char *label : BIT_LENGTH_LABELS)
        m_comboBitLength->addItem(QString::fromLatin1(label));
    m_comboBitLength->setCurrentIndex(
        m_comboBitLength->findText(QStringLiteral("12Bit"), Qt::MatchStartsWith));
    g_bitLengthSel = BIT_LENGTH_12;
}

void CMonitorDlg::ComposePortInfo()
{
    const PortSettings &s = g_portSettings;
    const std::string line = std::string(" ") + s.portText + " , " + s.speedText + " BPS" + " , "
        + s.dataBitsText + " BITS" + " , " + s.parityText + " PARITY" + " , " + s.stopBitsText
        + " STOP" + " , " + s.flowText + " FLOW";
    m_strPortInfo = QString::fromLatin1(line.c_str());
}

void CMonitorDlg::SetStatus(const char *text)
{
    m_strStatus = QString::fromUtf8(text);
}

// The port's outcome fills the status line before the window first shows, so what became of a
// leftover journal stays in front of it, where the user still sees it, joined by a full-width
// blank.
void CMonitorDlg::SetStartupStatus(const char *text)
{
    SetStatus(text);
    const char *recovery = m_journalRecovery == JournalRecovery::Recovered
        ? Strings::STATUS_DATA_RECOVERED
        : m_journalRecovery == JournalRecovery::Failed ? Strings::STATUS_DATA_NOT_RECOVERED
                                                       : nullptr;
    if (recovery)
        m_strStatus.prepend(QString::fromUtf8(recovery) + QChar(0x3000));
}

// What a crash left in the journal goes to a log now, named for this start as a clear would
// name it, before the port can bring anything new. A journal that cannot go there stays as it
// is, for a later start, and the status line says so.
void CMonitorDlg::RecoverJournal()
{
    m_journalRecovery = m_journal.Recover(LogFileName(g_portSettings.portIndex));
}

// The journal is only a safety net: the reader starts whether it opens or not.
void CMonitorDlg::StartReceiving()
{
    OpenJournalForEmptyText();
    m_reader.StartReader(&m_readerEvents);
}

// The journal holds the text from its first byte or not at all: one opened partway would hold
// later bytes where the text reads back its beginning. While the text holds bytes that no
// journal has, it stays in memory, and the journal starts with the next clear.
void CMonitorDlg::OpenJournalForEmptyText()
{
    if (m_strReceived.Size() == 0)
        m_journal.Open();
}

bool CMonitorDlg::event(QEvent *event)
{
    TakeEventHandOff();
    const auto type = static_cast<std::uint32_t>(event->type());
    if (type == WM_RECEIVED_DATA) {
        OnReceivedData(static_cast<CReceivedDataEvent *>(event)->chunk());
        return true;
    }
    if (type == WM_RECEIVE_ERROR) {
        OnReceiveError();
        return true;
    }
    if (type == WM_PORT_LOST) {
        OnPortLost(static_cast<CPortLostEvent *>(event)->readerRun());
        return true;
    }
    if (type == WM_LINE_ERRORS) {
        OnLineErrors(static_cast<CLineErrorsEvent *>(event)->counts());
        return true;
    }
    // Chunks come faster than the screen shows them; their changes are painted once a frame.
    if (event->type() == QEvent::UpdateRequest && m_repaintPacer.HoldBack())
        return true;
    return QDialog::event(event);
}

// The paint that the repaint pacer held back, of everything that changed meanwhile.
void CMonitorDlg::Repaint()
{
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(this, &request);
}

void CMonitorDlg::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_redrawTimerId)
        OnTimer(REDRAW_TIMER);
    else if (event->timerId() == m_reconnectTimerId)
        TryReconnect();
    QDialog::timerEvent(event);
}

void CMonitorDlg::OnTimer(unsigned id)
{
    if (id == REDRAW_TIMER)
        RedrawDisplay();
}

void CMonitorDlg::RedrawDisplay()
{
    DrawLegendX();
    DrawLegendY();
    DrawLegendZ();
    DrawGrid();
    if (m_bTracesShown == 1)
        DrawTraces();
}

bool CMonitorDlg::eventFilter(QObject *watched, QEvent *event)
{
    // The application's filters see a posted chunk before the window does.
    TakeEventHandOff();
    return SwallowEnterAndEscape(*this, watched, event) || QDialog::eventFilter(watched, event);
}

void CMonitorDlg::contextMenuEvent(QContextMenuEvent *event)
{
    // The window manager's menu cannot be extended, so the window's own entry sits here.
    const QString aboutText = QString::fromUtf8(Strings::ABOUT_MENU);
    if (aboutText.isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(QString::fromUtf8(Strings::OPEN_LOG_MENU), this, &CMonitorDlg::OnOpenLog);
    menu.addSeparator();
    menu.addAction(aboutText, this, [this] { OnSysCommand(SYSCMD_ABOUT); });
    menu.exec(event->globalPos());
}

void CMonitorDlg::OnOpenLog()
{
    const QString path = ChooseFile(this,
                                    {FileChoice::Open, QString::fromUtf8(Strings::OPEN_LOG_CAPTION),
                                     QString::fromUtf8(LOG_DIRECTORY),
                                     QString::fromUtf8(Strings::LOG_FILE_FILTER)});
    if (!path.isEmpty())
        OpenLogViewer(path, this);
}

void CMonitorDlg::dragEnterEvent(QDragEnterEvent *event)
{
    if (!DroppedFiles(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMonitorDlg::dropEvent(QDropEvent *event)
{
    for (const QString &path : DroppedFiles(*event->mimeData()))
        OpenLogViewer(path, this);
    event->acceptProposedAction();
}

void CMonitorDlg::OnSysCommand(unsigned id)
{
    // The low four bits of a command number are left free: 16 to 31 all mean About.
    if ((id & ~0xFu) != SYSCMD_ABOUT)
        return;
    CAboutDlg about(m_hIcon);
    RunModal(about);
}

void CMonitorDlg::OnSelchangeBitLength()
{
    g_bitLengthSel = m_comboBitLength->currentIndex() + 1;
}

void CMonitorDlg::reject()
{
    OnCancel();
}

void CMonitorDlg::KillRedrawTimer()
{
    if (m_redrawTimerId != 0)
        killTimer(m_redrawTimerId);
    m_redrawTimerId = 0;
}

// The chunks that the reader posted before it ended are still queued; the log must hold them.
void CMonitorDlg::TakeChunksHandedOver()
{
    QCoreApplication::sendPostedEvents(this, static_cast<int>(WM_RECEIVED_DATA));
}

void CMonitorDlg::OnCancel()
{
    m_bTracesShown = 0;
    StopWaitingForPort();
    // The reader has ended before the port closes, so a reused descriptor is never read.
    m_reader.StopReader();
    TakeChunksHandedOver();
    KillRedrawTimer();
    ClearDisplayAtClose();
    // Unless the text went to the log, the journal keeps it for the next start.
    m_journal.Close();
    SavePortSettings();
    QDialog::reject();
}
