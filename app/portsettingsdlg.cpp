#include "portsettingsdlg.h"

#include "portchoicetables.h"
#include "portdiscovery.h"
#include "portnames.h"
#include "portsettings.h"

#include "dialogkeys.h"
#include "dialogtemplate.h"
#include "modalrun.h"
#include "templates.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include <cstring>

namespace {

// Entries are appended in table order and never sorted, so a list position is a table row.
template<typename Row, std::size_t N>
void FillChoiceList(QComboBox &list, const std::array<Row, N> &table)
{
    list.clear();
    for (const Row &row : table)
        list.addItem(QString::fromLatin1(row.text));
}

// Selects the first entry that begins with the stored text, case ignored. Where none does, the
// list shows no selection while the stored number stays in force.
void SelectStoredText(QComboBox &list, const SettingText &text)
{
    const QString stored = QString::fromLatin1(text, strnlen(text, SETTING_TEXT_SIZE));
    for (int i = 0; i < list.count(); ++i) {
        if (list.itemText(i).startsWith(stored, Qt::CaseInsensitive)) {
            list.setCurrentIndex(i);
            return;
        }
    }
    list.setCurrentIndex(-1);
}

template<typename Row, std::size_t N>
void ShowChoices(QComboBox &list, const std::array<Row, N> &table, const SettingText &stored)
{
    FillChoiceList(list, table);
    SelectStoredText(list, stored);
}

template<typename Row, std::size_t N>
void StoreSelectedRow(const QComboBox &list, const std::array<Row, N> &table)
{
    StoreChoiceAt(g_portSettings, table, list.currentIndex());
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
    if (g_settingsLoaded == 0)
        LoadPortSettings();
    ShowChoices(*m_comboPort, PORT_CHOICE_TABLES.port, g_portSettings.portText);
    ShowPortDevices();
    ShowChoices(*m_comboSpeed, PORT_CHOICE_TABLES.speed, g_portSettings.speedText);
    ShowChoices(*m_comboDataBits, PORT_CHOICE_TABLES.dataBits, g_portSettings.dataBitsText);
    ShowChoices(*m_comboParity, PORT_CHOICE_TABLES.parity, g_portSettings.parityText);
    ShowChoices(*m_comboStopBits, PORT_CHOICE_TABLES.stopBits, g_portSettings.stopBitsText);
    ShowChoices(*m_comboFlow, PORT_CHOICE_TABLES.flow, g_portSettings.flowText);
    // The first tab stop in template order takes the focus.
    FindControl(*this, IDC_SETTINGS_OK)->setFocus();
}

// The entries keep their names; each one's tooltip tells which device it reaches now. Adapters
// plugged in since the last look get their numbers here, at start-up and at every port
// selection, before the chosen port is opened.
void CPortSettingsDlg::ShowPortDevices()
{
    m_comboPort->setToolTip(QString::fromStdString(UnnumberedAdaptersNote(DiscoverPorts())));
    for (int i = 0; i < m_comboPort->count(); ++i) {
        const std::string device = DescribePortDevice(static_cast<std::uint32_t>(i));
        m_comboPort->setItemData(i, QString::fromStdString(device), Qt::ToolTipRole);
    }
}

void CPortSettingsDlg::OnOK()
{
    accept();
}

void CPortSettingsDlg::OnSelchangePort()
{
    StoreSelectedRow(*m_comboPort, PORT_CHOICE_TABLES.port);
}

void CPortSettingsDlg::OnSelchangeDataBits()
{
    StoreSelectedRow(*m_comboDataBits, PORT_CHOICE_TABLES.dataBits);
}

void CPortSettingsDlg::OnSelchangeFlow()
{
    StoreSelectedRow(*m_comboFlow, PORT_CHOICE_TABLES.flow);
}

void CPortSettingsDlg::OnSelchangeParity()
{
    StoreSelectedRow(*m_comboParity, PORT_CHOICE_TABLES.parity);
}

void CPortSettingsDlg::OnSelchangeStopBits()
{
    StoreSelectedRow(*m_comboStopBits, PORT_CHOICE_TABLES.stopBits);
}

void CPortSettingsDlg::OnSelchangeSpeed()
{
    StoreSelectedRow(*m_comboSpeed, PORT_CHOICE_TABLES.speed);
}

void RunPortSettingsDialog()
{
    CPortSettingsDlg dialog;
    RunModal(dialog);
}
