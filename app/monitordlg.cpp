#include "monitordlg.h"

#include "aboutdlg.h"
#include "dialogkeys.h"
#include "dialogtemplate.h"
#include "filechoice.h"
#include "legendview.h"
#include "lognames.h"
#include "logviewer.h"
#include "mainicon.h"
#include "messagebox.h"
#include "modalrun.h"
#include "plotrenderer.h"
#include "plotview.h"
#include "portsettingsdlg.h"
#include "receivedtextview.h"
#include "templates.h"
#include "texts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimerEvent>

namespace {

// A log write that takes longer than this shows how far it has got.
constexpr int PROGRESS_DELAY_MS = 500;
constexpr int PROGRESS_STEPS = 1000;
// Screens that report no rate of their own (virtual ones) are taken to refresh at this rate.
constexpr qreal DEFAULT_REFRESH_RATE = 60;

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

QString FromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CMonitorDlg::CMonitorDlg(QWidget *parent, std::shared_ptr<CLineControl> lineControl)
    : QDialog(parent)
    , m_hIcon(MainIcon())
    , m_penX(MakeTracePen(TraceChannel::X))
    , m_penY(MakeTracePen(TraceChannel::Y))
    , m_penZ(MakeTracePen(TraceChannel::Z))
    , m_penGrid(MakeGridPen())
    , m_monitor(*this, m_readerEvents, std::move(lineControl))
    , m_repaintPacer([this] { return ScreenFrameInterval(*this); }, [this] { Repaint(); },
                     {[this](std::chrono::nanoseconds delay) {
                          const auto ms = std::chrono::ceil<std::chrono::milliseconds>(delay);
                          m_repaintTimer.start(static_cast<int>(ms.count()), Qt::PreciseTimer,
                                               this);
                      },
                      [this] { m_repaintTimer.stop(); }})
{
    BuildDialog(*this, MAIN_TEMPLATE, [this](const ControlTemplate &control, QWidget *) {
        return MakeControl(control.id);
    });
    m_legendZ = FindControlAs<CLegendView>(*this, IDC_LEGEND_Z);
    m_legendY = FindControlAs<CLegendView>(*this, IDC_LEGEND_Y);
    m_legendX = FindControlAs<CLegendView>(*this, IDC_LEGEND_X);
    m_plot = FindControlAs<CPlotView>(*this, IDC_PLOT);
    m_receivedView = FindControlAs<CReceivedTextView>(*this, IDC_RECEIVED);
    m_monitor.DoDataExchange();
    ConnectCommands();
    setWindowIcon(m_hIcon);
    // Key presses go to the focused control first; a filter on the application sees them for
    // the window and every one of its controls.
    qApp->installEventFilter(this);
    // A log dropped on the window opens in a viewer.
    setAcceptDrops(true);
}

CMonitorDlg::~CMonitorDlg()
{
    qApp->removeEventFilter(this);
}

QWidget *CMonitorDlg::MakeControl(int id)
{
    switch (id) {
    case IDC_RECEIVED:
        return new CReceivedTextView(m_monitor.ReceivedText(), this);
    case IDC_PLOT:
        return new CPlotView(m_monitor.Samples(), {m_penX, m_penY, m_penZ, m_penGrid}, this);
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

void CMonitorDlg::ConnectCommands()
{
    const auto onClick = [this](int id, void (CMonitor::*handler)()) {
        connect(FindControlAs<QAbstractButton>(*this, id), &QAbstractButton::clicked, this,
                [this, handler] { (m_monitor.*handler)(); });
    };
    onClick(IDC_CANCEL, &CMonitor::OnCancel);
    onClick(IDC_DISPLAY_CLEAR, &CMonitor::OnDisplayClear);
    onClick(IDC_PORT_SELECT, &CMonitor::OnPortSelect);
    onClick(IDC_SEND, &CMonitor::OnSend);
    onClick(IDC_SEND_CLEAR, &CMonitor::OnSendClear);
    connect(FindControlAs<QComboBox>(*this, IDC_BIT_LENGTH), &QComboBox::activated, this,
            [this] { m_monitor.OnSelchangeBitLength(); });
}

int CMonitorDlg::DoModal()
{
    m_monitor.OnInitDialog();
    if (m_monitor.EndedAtStartup())
        return result();
    return exec();
}

bool CMonitorDlg::event(QEvent *event)
{
    TakeEventHandOff();
    const auto type = static_cast<std::uint32_t>(event->type());
    if (type == WM_RECEIVED_DATA) {
        const QByteArray &chunk = static_cast<CReceivedDataEvent *>(event)->chunk();
        m_monitor.OnReceivedData({chunk.constData(), static_cast<std::size_t>(chunk.size())});
        return true;
    }
    if (type == WM_RECEIVE_ERROR) {
        m_monitor.OnReceiveError();
        return true;
    }
    if (type == WM_PORT_LOST) {
        m_monitor.OnPortLost(static_cast<CPortLostEvent *>(event)->readerRun());
        return true;
    }
    if (type == WM_LINE_ERRORS) {
        m_monitor.OnLineErrors(static_cast<CLineErrorsEvent *>(event)->counts());
        return true;
    }
    // Qt repaints the window's dirty widgets when the window gets an UpdateRequest, posted once
    // for every turn of the event loop that dirtied something; they are painted once a frame.
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
    if (event->timerId() == m_repaintTimer.timerId()) {
        m_repaintTimer.stop();
        m_repaintPacer.TimerExpired();
        return;
    }
    for (int id = 1; id < static_cast<int>(m_timers.size()); ++id) {
        if (event->timerId() == m_timers[id].timerId()) {
            m_monitor.OnTimer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
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
    menu.addAction(aboutText, this, [this] { m_monitor.OnSysCommand(SYSCMD_ABOUT); });
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

void CMonitorDlg::reject()
{
    m_monitor.OnCancel();
}

std::string CMonitorDlg::ControlText(int id) const
{
    const QWidget *control = FindControl(*this, id);
    if (auto *line = qobject_cast<const QLineEdit *>(control))
        return line->text().toStdString();
    return static_cast<const QPlainTextEdit *>(control)->toPlainText().toStdString();
}

void CMonitorDlg::SetControlText(int id, const std::string &text)
{
    QWidget *control = FindControl(*this, id);
    if (auto *line = qobject_cast<QLineEdit *>(control)) {
        line->setText(FromUtf8(text));
        // A replaced text is shown from its start, as a fresh edit box shows it.
        line->setCursorPosition(0);
        return;
    }
    static_cast<QPlainTextEdit *>(control)->setPlainText(FromUtf8(text));
}

void CMonitorDlg::ReceivedTextChanged()
{
    m_receivedView->TextChanged();
}

void CMonitorDlg::SetTitle(const std::string &text)
{
    setWindowTitle(FromUtf8(text));
}

void CMonitorDlg::FocusControl(int id)
{
    FindControl(*this, id)->setFocus();
}

void CMonitorDlg::FillList(int id, std::span<const char *const> items, int selected)
{
    auto *list = FindControlAs<QComboBox>(*this, id);
    list->clear();
    for (const char *item : items)
        list->addItem(QString::fromUtf8(item));
    list->setCurrentIndex(selected);
}

int CMonitorDlg::SelectedItem(int id) const
{
    return FindControlAs<QComboBox>(*this, id)->currentIndex();
}

void CMonitorDlg::DrawLegends()
{
    m_legendX->update();
    m_legendY->update();
    m_legendZ->update();
}

void CMonitorDlg::DrawGrid()
{
    m_plot->ShowGrid();
}

void CMonitorDlg::DrawTraces()
{
    m_plot->ShowTraces();
}

void CMonitorDlg::StartTimer(int id, std::chrono::milliseconds period)
{
    m_timers[id].start(static_cast<int>(period.count()), Qt::PreciseTimer, this);
}

void CMonitorDlg::KillTimer(int id)
{
    m_timers[id].stop();
}

MessageAnswer CMonitorDlg::ShowMessage(const std::string &text, MessageButtons buttons,
                                       const std::string &informativeText)
{
    return ShowMessageBox(FromUtf8(text), buttons, FromUtf8(informativeText));
}

void CMonitorDlg::RunPortSettings()
{
    RunPortSettingsDialog();
}

void CMonitorDlg::ShowAbout()
{
    CAboutDlg about(m_hIcon);
    RunModal(about);
}

void CMonitorDlg::EndDialog()
{
    QDialog::reject();
}

void CMonitorDlg::WatchPorts(WatchSignal signal)
{
    m_portWatchNotifier = new QSocketNotifier(signal, QSocketNotifier::Read, this);
    connect(m_portWatchNotifier, &QSocketNotifier::activated, this,
            [this] { m_monitor.OnPortsChanged(); });
}

void CMonitorDlg::StopWatchingPorts()
{
    // The wait may end inside the notifier's own call, so the notifier goes once that is over.
    if (!m_portWatchNotifier)
        return;
    m_portWatchNotifier->setEnabled(false);
    m_portWatchNotifier->deleteLater();
    m_portWatchNotifier = nullptr;
}

void CMonitorDlg::TakePostedChunks()
{
    QCoreApplication::sendPostedEvents(this, static_cast<int>(WM_RECEIVED_DATA));
}

// The window goes on painting and taking chunks, which wait for the write to end; user input
// waits too. A bar shows the bytes written of the total once the write has taken
// PROGRESS_DELAY_MS.
void CMonitorDlg::WaitShowingProgress(
    const std::function<bool(std::chrono::milliseconds)> &waitFinished,
    const WriteProgress &progress)
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> bar;
    while (!waitFinished(std::chrono::milliseconds(5))) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (!bar && clock.elapsed() >= PROGRESS_DELAY_MS) {
            bar = std::make_unique<QProgressDialog>(QString::fromUtf8(Strings::LOG_WRITING),
                                                    QString(), 0, PROGRESS_STEPS, this);
            bar->setWindowModality(Qt::WindowModal);
            bar->setMinimumDuration(0);
            bar->show();
        }
        const std::uint64_t total = progress.total;
        if (bar && total > 0)
            bar->setValue(static_cast<int>(progress.done * PROGRESS_STEPS / total));
    }
}

std::chrono::nanoseconds ScreenFrameInterval(const QWidget &window)
{
    const QScreen *screen = window.screen();
    const qreal rate
        = screen && screen->refreshRate() > 1 ? screen->refreshRate() : DEFAULT_REFRESH_RATE;
    return std::chrono::nanoseconds(static_cast<qint64>(1e9 / rate));
}
