// The commands of the port: choosing another port while running, sending the send box's text
// and clearing it.
#include "monitordlg.h"

#include "messagebox.h"
#include "portsettings.h"
#include "portsettingsdlg.h"
#include "sending.h"
#include "texts.h"

#include <cstring>

void CMonitorDlg::OnPortSelect()
{
    // The user's choice wins over waiting for a lost port to come back.
    StopWaitingForPort();
    m_reader.StopReader();
    RunPortSettingsDialog();
    setWindowTitle(QString::fromUtf8(Strings::MAIN_TITLE));
    const PortOutcome outcome = OpenAndConfigurePort();
    if (outcome == PortOutcome::NotOpened) {
        ShowPortNotOpened(QString::fromLatin1(g_portSettings.portText)
                          + QString::fromUtf8(Strings::PORT_CANNOT_OPEN_SUFFIX));
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

void CMonitorDlg::OnSend()
{
    UpdateData(true);
    if (m_strSendText.isEmpty())
        return;
    const QByteArray text = EncodeSendText(m_strSendText);
    if (!SendTextInPieces(m_port, text, m_sendBuffer, m_sendLength)) {
        ShowMessageBox(QString::fromUtf8(Strings::SEND_FAILED));
        return;
    }
    UpdateData(false);
}

void CMonitorDlg::OnSendClear()
{
    UpdateData(true);
    std::memset(m_sendBuffer, 0, sizeof m_sendBuffer);
    m_strSendText.clear();
    UpdateData(false);
}
