#include "portsettings.h"

#include "portchoicetables.h"
#include "settingsfile.h"

#include <cstring>

PortSettings g_portSettings {};
std::int32_t g_settingsLoaded = 0;
std::int32_t g_settingsFileRead = 0;

void EmptyPortSettingTexts(PortSettings &settings)
{
    for (SettingText PortSettings::*text : PORT_SETTING_TEXTS)
        std::memset(settings.*text, 0, SETTING_TEXT_SIZE);
}

// A file too short or with a text that does not end within its field was not written by this
// program; it counts as missing, so g_settingsFileRead is 1 only when the values came from the
// file.
void LoadPortSettings()
{
    const bool fromFile = ReadSettingsFile(g_portSettings);
    g_settingsFileRead = fromFile ? 1 : 0;
    if (!fromFile)
        SetDefaultPortSettings(g_portSettings);
}
