#pragma once

#include <QDialog>

class QComboBox;
class QEvent;

// The modal dialog in which the user picks port, speed, data bits, parity, stop bits and flow
// control, one drop-down list each. It edits g_portSettings in place: every pick is stored at
// once, so closing the dialog, by OK or by the close box, neither confirms nor undoes anything.
// Its first run at start-up loads the settings; later runs show the settings of the moment.
// Lives on the main window's thread.
class CPortSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    CPortSettingsDlg();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void DoDataExchange();
    void ConnectHandlers();
    void OnInitDialog();
    void OnOK();

    void OnSelchangePort();
    void OnSelchangeDataBits();
    void OnSelchangeFlow();
    void OnSelchangeParity();
    void OnSelchangeStopBits();
    void OnSelchangeSpeed();

    void ShowPortDevices();

    QComboBox *m_comboStopBits = nullptr;
    QComboBox *m_comboParity = nullptr;
    QComboBox *m_comboFlow = nullptr;
    QComboBox *m_comboDataBits = nullptr;
    QComboBox *m_comboSpeed = nullptr;
    QComboBox *m_comboPort = nullptr;
};

// Creates the dialog without a parent, runs it modally and destroys it; how it was closed does
// not matter, since every pick has already been stored.
void RunPortSettingsDialog();
