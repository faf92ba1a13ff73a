#pragma once

#include <array>
#include <string>
#include <vector>

struct PortList;
struct PortSettings;

// What the port settings dialog shows and stores, whatever window shows it: the six lists'
// entries from the choice tables, which entry a stored text selects, the settings a pick stores,
// and the port list's tooltips. The windows only put these into their controls.

// The lists in the order the dialog fills them, which is also the order of PORT_SETTING_TEXTS.
enum class SettingsList { Port, Speed, DataBits, Parity, StopBits, Flow };

inline constexpr std::array<SettingsList, 6> SETTINGS_LISTS = {
    SettingsList::Port,   SettingsList::Speed,    SettingsList::DataBits,
    SettingsList::Parity, SettingsList::StopBits, SettingsList::Flow,
};

// The number of the list's control in the dialog template.
int SettingsListControl(SettingsList list);

// The list's entries in table order, never sorted, so a list position is a table row.
std::vector<std::string> SettingsListEntries(SettingsList list);

// The first entry that begins with the list's stored text in `settings`, letters compared without
// regard to case; -1 where none does: the list then shows no selection while the stored number
// stays in force.
int StoredEntryPosition(SettingsList list, const PortSettings &settings);

// Stores the number(s) and text of the row at `position` together; no selection (-1) or a
// position outside the table changes nothing.
void StorePickedEntry(SettingsList list, int position, PortSettings &settings);

// The dialog's first run loads rs232c.ini; later runs show the settings of the moment.
void LoadPortSettingsOnFirstRun();

// The port list's tooltips: for each of COM1 … COM16 the device it reaches now, and for the list
// as a whole the devices none of them reaches (empty when there are none).
struct PortListTips
{
    std::vector<std::string> entries;
    std::string list;
};

PortListTips PortListTipsOf(const PortList &ports);
