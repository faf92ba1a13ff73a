#include "comports.h"
#include "widetext.h"

// The GUIDs of the Ports class and the COM port interface are defined here, not in a library.
#include <initguid.h>

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <iterator>

namespace {

// A string property up to its first NUL: a REG_MULTI_SZ gives its first string.
std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    wchar_t value[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                           reinterpret_cast<BYTE *>(value), sizeof value - 2,
                                           nullptr))
        return {};
    return Utf8FromWide(value);
}

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    // An instance ID is at most 200 characters.
    wchar_t id[201] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &device, id, std::size(id), nullptr))
        return {};
    return Utf8FromWide(id);
}

// The number Windows gave the port lives in the device's own registry key.
std::string PortName(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - 2;
    DWORD type = 0;
    const LONG status
        = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(name), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? Utf8FromWide(name) : std::string();
}

// The present devices of one set, each once: a device may be both in the Ports class and have a
// COM port interface (some modems' ports only have the interface).
void AddDevices(HDEVINFO set, std::vector<ComPortRecord> &records)
{
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        ComPortRecord record {
            PortName(set, device), DeviceProperty(set, device, SPDRP_FRIENDLYNAME),
            DeviceProperty(set, device, SPDRP_MFG), DeviceProperty(set, device, SPDRP_HARDWAREID),
            InstanceId(set, device)};
        if (std::none_of(records.begin(), records.end(), [&](const ComPortRecord &known) {
                return known.instanceId == record.instanceId;
            }))
            records.push_back(std::move(record));
    }
    SetupDiDestroyDeviceInfoList(set);
}

std::vector<ComPortRecord> SetupApiDevices()
{
    std::vector<ComPortRecord> records;
    AddDevices(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT),
               records);
    AddDevices(SetupDiGetClassDevsW(&GUID_DEVINTERFACE_COMPORT, nullptr, nullptr,
                                    DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
               records);
    return records;
}

// Each value: the device's object name and, as its data, its COM name.
std::vector<ComPortRecord> SerialCommValues()
{
    std::vector<ComPortRecord> records;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return records;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        wchar_t data[64] = {};
        DWORD nameLength = std::size(name);
        DWORD dataSize = sizeof data - 2;
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS && type == REG_SZ)
            records.push_back({Utf8FromWide(data), {}, {}, {}, Utf8FromWide(name)});
    }
    RegCloseKey(key);
    return records;
}

} // namespace

PortList CurrentPortList()
{
    return ShapePortList(SetupApiDevices(), SerialCommValues());
}
