// The port's connection: bringing it up, losing it when its device goes, and taking it up again
// when the device comes back.
#include "monitordlg.h"

#include "linecontrol.h"
#include "messagebox.h"
#include "openfailure.h"
#include "portdiscovery.h"
#include "portnames.h"
#include "portsettings.h"
#include "texts.h"

#include <QSocketNotifier>

PortOutcome CMonitorDlg::OpenAndConfigurePort()
{
    if (!m_port.OpenPort(g_portSettings.portIndex))
        return PortOutcome::NotOpened;
    m_portIdentity = CDeviceIdentity(DefaultPortRoots(), m_port.OpenedPath());
    if (!m_port.ApplyPortSettings(g_portSettings, dcb, commTimeouts)) {
        m_port.ClosePort();
        return PortOutcome::StateUnreadable;
    }
    // A refused configuration has closed the port.
    if (!m_port.ConfigurePort(dcb, commTimeouts))
        return PortOutcome::ConfigurationRefused;
    // A frame that the last port's last chunk cut off is not completed by this port's bytes.
    m_frames.Reset();
    return PortOutcome::Configured;
}

// The fixed text, and below it why the port did not open.
void CMonitorDlg::ShowPortNotOpened(const QString &text)
{
    ShowMessageBox(text, MessageButtons::Ok,
                   QString::fromStdString(DescribeOpenFailure(m_port.LastFailure())));
}

void CMonitorDlg::SetPortStatus(const char *suffix)
{
    m_strStatus = QString::fromLatin1(g_portSettings.portText) + QString::fromUtf8(suffix);
}

// Everything received before stays: text, counter, journal and log. Sending fails meanwhile,
// since no port is open.
void CMonitorDlg::OnPortLost(std::uint64_t readerRun)
{
    // Posted by a reader that has been stopped since, for a port that is closed already: acting
    // on it would close and reopen the port being read now, behind its reader.
    if (!m_reader.LostNow(readerRun))
        return;
    m_lostPortPath = m_port.OpenedPath();
    m_reader.StopReader();
    SetPortStatus(Strings::PORT_LOST_SUFFIX);
    UpdateData(false);
    WaitForPort();
}

void CMonitorDlg::WaitForPort()
{
    if (m_reconnectTimerId != 0)
        return;
    m_reconnectTries = 0;
    m_reconnectTimerId = startTimer(RECONNECT_FALLBACK_PERIOD_MS);
    m_portWatch = std::make_unique<CPortWatch>(PortFolders(DefaultPortRoots()));
    if (m_portWatch->Descriptor() < 0)
        return;
    m_portWatchNotifier
        = new QSocketNotifier(m_portWatch->Descriptor(), QSocketNotifier::Read, this);
    connect(m_portWatchNotifier, &QSocketNotifier::activated, this,
            &CMonitorDlg::OnPortFoldersChanged);
}

void CMonitorDlg::OnPortFoldersChanged()
{
    if (m_portWatch && m_portWatch->TakeChanges())
        TryReconnect();
}

// The name is looked up again on every try, so the device may come back in another socket or
// behind a link pointed elsewhere; it is brought up as at start-up, with DTR and RTS raised. A
// name that now leads somewhere else (a link removed, so COM1 would be the on-board port) is
// not the device that went, nor is another device behind the same name, and the wait goes on.
void CMonitorDlg::TryReconnect()
{
    ++m_reconnectTries;
    // The journal is busy with a log; the port is tried again once the log is written.
    if (m_writingLog || PortDevicePath(g_portSettings.portIndex) != m_lostPortPath
        || !m_portIdentity.IsBack(DefaultPortRoots())
        || OpenAndConfigurePort() != PortOutcome::Configured)
        return;
    StopWaitingForPort();
    m_port.RaiseModemLines();
    StartReceiving();
    SetPortStatus(Strings::PORT_RECONNECTED_SUFFIX);
    UpdateData(false);
}

void CMonitorDlg::StopWaitingForPort()
{
    if (m_reconnectTimerId != 0)
        killTimer(m_reconnectTimerId);
    m_reconnectTimerId = 0;
    // The wait may end inside the notifier's own call, so the notifier goes once that is over.
    if (m_portWatchNotifier) {
        m_portWatchNotifier->setEnabled(false);
        m_portWatchNotifier->deleteLater();
        m_portWatchNotifier = nullptr;
    }
    m_portWatch.reset();
}

void CMonitorDlg::OnLineErrors(const LineErrorCounts &counts)
{
    m_strStatus = QString::fromUtf8(Strings::LINE_ERRORS)
                      .arg(counts.overrun)
                      .arg(counts.framing)
                      .arg(counts.parity)
                      .arg(counts.breaks);
    UpdateData(false);
}
