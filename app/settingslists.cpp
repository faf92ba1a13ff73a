#include "settingslists.h"

#include "portchoicetables.h"
#include "portlist.h"
#include "portsettings.h"
#include "templates.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

template<typename Action> decltype(auto) WithTable(SettingsList list, Action &&action)
{
    switch (list) {
    case SettingsList::Port:
        return action(PORT_CHOICE_TABLES.port);
    case SettingsList::Speed:
        return action(PORT_CHOICE_TABLES.speed);
    case SettingsList::DataBits:
        return action(PORT_CHOICE_TABLES.dataBits);
    case SettingsList::Parity:
        return action(PORT_CHOICE_TABLES.parity);
    case SettingsList::StopBits:
        return action(PORT_CHOICE_TABLES.stopBits);
    case SettingsList::Flow:
        break;
    }
    return action(PORT_CHOICE_TABLES.flow);
}

std::string_view StoredText(SettingsList list, const PortSettings &settings)
{
    const SettingText &text = settings.*PORT_SETTING_TEXTS[static_cast<int>(list)];
    return {text, strnlen(text, SETTING_TEXT_SIZE)};
}

bool BeginsWithIgnoringCase(std::string_view entry, std::string_view start)
{
    const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    return entry.size() >= start.size()
        && std::equal(start.begin(), start.end(), entry.begin(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

} // namespace

int SettingsListControl(SettingsList list)
{
    constexpr int CONTROLS[] = {IDC_COMBO_PORT,   IDC_COMBO_SPEED,     IDC_COMBO_DATA_BITS,
                                IDC_COMBO_PARITY, IDC_COMBO_STOP_BITS, IDC_COMBO_FLOW};
    return CONTROLS[static_cast<int>(list)];
}

std::vector<std::string> SettingsListEntries(SettingsList list)
{
    return WithTable(list, [](const auto &table) {
        std::vector<std::string> entries;
        for (const auto &row : table)
            entries.emplace_back(row.text);
        return entries;
    });
}

int StoredEntryPosition(SettingsList list, const PortSettings &settings)
{
    const std::string_view stored = StoredText(list, settings);
    return WithTable(list, [stored](const auto &table) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (BeginsWithIgnoringCase(table[i].text, stored))
                return static_cast<int>(i);
        }
        return -1;
    });
}

void StorePickedEntry(SettingsList list, int position, PortSettings &settings)
{
    WithTable(list, [&](const auto &table) { StoreChoiceAt(settings, table, position); });
}

void LoadPortSettingsOnFirstRun()
{
    if (g_settingsLoaded == 0)
        LoadPortSettings();
}

PortListTips PortListTipsOf(const PortList &ports)
{
    PortListTips tips;
    for (const PortTarget &target : ports.ports)
        tips.entries.push_back(DescribePortTarget(target));
    for (const std::string &line : ports.unlisted)
        tips.list += (tips.list.empty() ? "" : "\n") + line;
    return tips;
}
