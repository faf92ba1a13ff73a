// The port's connection: bringing it up, losing it when its device goes, and taking it up again
// when the device comes back.
#include "monitor.h"

#include "linecontrol.h"
#include "monitorwindow.h"
#include "openfailure.h"
#include "portreturn.h"
#include "portsettings.h"
#include "texts.h"

#include <initializer_list>

namespace {

// The text with each of its %1 to %9 replaced by that number of `numbers`.
std::string FillIn(std::string_view text, std::initializer_list<std::uint32_t> numbers)
{
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int mark = text[i] == '%' && i + 1 < text.size() ? text[i + 1] - '1' : -1;
        if (mark >= 0 && mark < static_cast<int>(numbers.size())) {
            filled += std::to_string(numbers.begin()[mark]);
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

} // namespace

PortOutcome CMonitor::OpenAndConfigurePort()
{
    if (!m_port.OpenPort(g_portSettings.portIndex))
        return PortOutcome::NotOpened;
    m_portReturn = CPortReturn::Record(g_portSettings.portIndex, m_port.OpenedPath());
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
void CMonitor::ShowPortNotOpened(const std::string &text)
{
    m_window.ShowMessage(text, MessageButtons::Ok, DescribeOpenFailure(m_port.LastFailure()));
}

void CMonitor::SetPortStatus(const char *suffix)
{
    m_strStatus = std::string(g_portSettings.portText) + suffix;
}

// Everything received before stays: text, counter, journal and log. Sending fails meanwhile,
// since no port is open.
void CMonitor::OnPortLost(std::uint64_t readerRun)
{
    // Posted by a reader that has been stopped since, for a port that is closed already: acting
    // on it would close and reopen the port being read now, behind its reader.
    if (!m_reader.LostNow(readerRun))
        return;
    m_reader.StopReader();
    SetPortStatus(Strings::PORT_LOST_SUFFIX);
    UpdateData(false);
    WaitForPort();
}

void CMonitor::WaitForPort()
{
    if (m_waitingForPort)
        return;
    m_waitingForPort = true;
    m_reconnectTries = 0;
    m_window.StartTimer(RECONNECT_TIMER, RECONNECT_FALLBACK_PERIOD);
    m_portWatch = std::make_unique<CPortWatch>(LostPortWatchSetup());
    if (m_portWatch->Descriptor() != NO_WATCH_SIGNAL)
        m_window.WatchPorts(m_portWatch->Descriptor());
}

void CMonitor::OnPortsChanged()
{
    if (m_portWatch && m_portWatch->TakeChanges())
        TryReconnect();
}

// The name is looked up again on every try, so the device may come back in another socket or
// behind a link pointed elsewhere; it is brought up as at start-up, with DTR and RTS raised. A
// name that now leads somewhere else (a link removed, so COM1 would be the on-board port) is
// not the device that went, nor is another device behind the same name, and the wait goes on.
void CMonitor::TryReconnect()
{
    ++m_reconnectTries;
    // The journal is busy with a log; the port is tried again once the log is written.
    if (m_writingLog || !m_portReturn.IsBack(g_portSettings.portIndex)
        || OpenAndConfigurePort() != PortOutcome::Configured)
        return;
    StopWaitingForPort();
    m_port.RaiseModemLines();
    StartReceiving();
    SetPortStatus(Strings::PORT_RECONNECTED_SUFFIX);
    UpdateData(false);
}

void CMonitor::StopWaitingForPort()
{
    if (!m_waitingForPort)
        return;
    m_waitingForPort = false;
    m_window.KillTimer(RECONNECT_TIMER);
    m_window.StopWatchingPorts();
    m_portWatch.reset();
}

void CMonitor::OnLineErrors(const LineErrorCounts &counts)
{
    m_strStatus = FillIn(Strings::LINE_ERRORS,
                         {counts.overrun, counts.framing, counts.parity, counts.breaks});
    UpdateData(false);
}
