// The commands of the port: choosing another port while running, sending the send box's text
// and clearing it.
#include "monitor.h"

#include "monitorwindow.h"
#include "portsettings.h"
#include "sending.h"
#include "texts.h"

#include <cstring>

void CMonitor::OnPortSelect()
{
    // The user's choice wins over waiting for a lost port to come back.
    StopWaitingForPort();
    StopReceiving();
    // The demo ends: the chosen port takes over.
    m_demo.reset();
    m_window.RunPortSettings();
    m_window.SetTitle(Strings::MAIN_TITLE);
    const PortOutcome outcome = OpenAndConfigurePort();
    if (outcome == PortOutcome::NotOpened) {
        ShowPortNotOpened(std::string(g_portSettings.portText) + Strings::PORT_CANNOT_OPEN_SUFFIX);
        SetStatus(Strings::STATUS_PORT_NOT_SET);
    } else {
        // A port that opened but cannot be configured is closed without a message box; the
        // status line must not say that it was set.
        ComposePortInfo();
        SetStatus(outcome == PortOutcome::Configured ? Strings::STATUS_PORT_SET
                                                     : Strings::STATUS_PORT_NOT_SET);
    }
    UpdateData(false);
    StartReceiving();
}

void CMonitor::OnSend()
{
    UpdateData(true);
    if (m_strSendText.empty())
        return;
    const std::string text = EncodeSendText(m_strSendText);
    if (!SendTextInPieces(m_port, text, m_sendBuffer, m_sendLength)) {
        m_window.ShowMessage(Strings::SEND_FAILED);
        return;
    }
    UpdateData(false);
}

void CMonitor::OnSendClear()
{
    UpdateData(true);
    std::memset(m_sendBuffer, 0, sizeof m_sendBuffer);
    m_strSendText.clear();
    UpdateData(false);
}
