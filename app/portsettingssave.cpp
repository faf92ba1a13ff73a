#include "portsettingsdlg.h"

#include "portsettings.h"

#include "settingsfile.h"

#include "messagebox.h"
#include "texts.h"

#include <QString>

void SavePortSettings()
{
    if (!WriteSettingsFile(g_portSettings))
        ShowMessageBox(QString::fromUtf8(Strings::SETTINGS_FILE_UNWRITABLE));
}
