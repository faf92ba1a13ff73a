#include "portsettingsdlg.h"

#include "portlist.h"
#include "portsettings.h"
#include "settingslists.h"

#include "dialogkeys.h"
#include "dialogtemplate.h"
#include "modalrun.h"
#include "templates.h"

#include <QComboBox>
#include <QEvent>
#include <QPushButton>

namespace {

void ShowChoices(QComboBox &list, SettingsList choices)
{
    list.clear();
    for (const std::string &entry : SettingsListEntries(choices))
        list.addItem(QString::fromLatin1(entry.c_str()));
    list.setCurrentIndex(StoredEntryPosition(choices, g_portSettings));
}

} // namespace

CPortSettingsDlg::CPortSettingsDlg()
{
    BuildDialog(*this, PORT_SETTINGS_TEMPLATE);
    DoDataExchange();
    ConnectHandlers();
    // Key presses reach the focused control first; each one is watched, and the dialog too.
    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    OnInitDialog();
}

void CPortSettingsDlg::DoDataExchange()
{
    m_comboStopBits = FindControlAs<QComboBox>(*this, IDC_COMBO_STOP_BITS);
    m_comboParity = FindControlAs<QComboBox>(*this, IDC_COMBO_PARITY);
    m_comboFlow = FindControlAs<QComboBox>(*this, IDC_COMBO_FLOW);
    m_comboDataBits = FindControlAs<QComboBox>(*this, IDC_COMBO_DATA_BITS);
    m_comboSpeed = FindControlAs<QComboBox>(*this, IDC_COMBO_SPEED);
    m_comboPort = FindControlAs<QComboBox>(*this, IDC_COMBO_PORT);
}

// activated, unlike currentIndexChanged, comes only from the user's picks, never from filling
// and preselecting the lists.
void CPortSettingsDlg::ConnectHandlers()
{
    connect(m_comboPort, &QComboBox::activated, this, &CPortSettingsDlg::OnSelchangePort);
    connect(m_comboDataBits, &QComboBox::activated, this, &CPortSettingsDlg::OnSelchangeDataBits);
    connect(m_comboFlow, &QComboBox::activated, this, &CPortSettingsDlg::OnSelchangeFlow);
    connect(m_comboParity, &QComboBox::activated, this, &CPortSettingsDlg::OnSelchangeParity);
    connect(m_comboStopBits, &QComboBox::activated, this, &CPortSettingsDlg::OnSelchangeStopBits);
    connect(m_comboSpeed, &QComboBox::activated, this, &CPortSettingsDlg::OnSelchangeSpeed);
    connect(FindControlAs<QPushButton>(*this, IDC_SETTINGS_OK), &QPushButton::clicked, this,
            &CPortSettingsDlg::OnOK);
}

bool CPortSettingsDlg::eventFilter(QObject *watched, QEvent *event)
{
    // Neither Enter nor Escape ends the dialog: only OK and the close box do.
    return SwallowEnterAndEscape(*this, watched, event) || QDialog::eventFilter(watched, event);
}

void CPortSettingsDlg::OnInitDialog()
{
    LoadPortSettingsOnFirstRun();
    ShowChoices(*m_comboPort, SettingsList::Port);
    ShowPortDevices();
    ShowChoices(*m_comboSpeed, SettingsList::Speed);
    ShowChoices(*m_comboDataBits, SettingsList::DataBits);
    ShowChoices(*m_comboParity, SettingsList::Parity);
    ShowChoices(*m_comboStopBits, SettingsList::StopBits);
    ShowChoices(*m_comboFlow, SettingsList::Flow);
    // The first tab stop in template order takes the focus.
    FindControl(*this, IDC_SETTINGS_OK)->setFocus();
}

// The entries keep their names; each one's tooltip tells which device it reaches now. Adapters
// plugged in since the last look get their numbers here, at start-up and at every port
// selection, before the chosen port is opened.
void CPortSettingsDlg::ShowPortDevices()
{
    const PortListTips tips = PortListTipsOf(CurrentPortList());
    m_comboPort->setToolTip(QString::fromStdString(tips.list));
    for (int i = 0; i < m_comboPort->count(); ++i)
        m_comboPort->setItemData(i, QString::fromStdString(tips.entries[i]), Qt::ToolTipRole);
}

void CPortSettingsDlg::OnOK()
{
    accept();
}

void CPortSettingsDlg::OnSelchangePort()
{
    StorePickedEntry(SettingsList::Port, m_comboPort->currentIndex(), g_portSettings);
}

void CPortSettingsDlg::OnSelchangeDataBits()
{
    StorePickedEntry(SettingsList::DataBits, m_comboDataBits->currentIndex(), g_portSettings);
}

void CPortSettingsDlg::OnSelchangeFlow()
{
    StorePickedEntry(SettingsList::Flow, m_comboFlow->currentIndex(), g_portSettings);
}

void CPortSettingsDlg::OnSelchangeParity()
{
    StorePickedEntry(SettingsList::Parity, m_comboParity->currentIndex(), g_portSettings);
}

void CPortSettingsDlg::OnSelchangeStopBits()
{
    StorePickedEntry(SettingsList::StopBits, m_comboStopBits->currentIndex(), g_portSettings);
}

void CPortSettingsDlg::OnSelchangeSpeed()
{
    StorePickedEntry(SettingsList::Speed, m_comboSpeed->currentIndex(), g_portSettings);
}

void RunPortSettingsDialog()
{
    CPortSettingsDlg dialog;
    RunModal(dialog);
}
