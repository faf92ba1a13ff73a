#include "comports.h"

#include "portchoicetables.h"
#include "texts.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// The four hexadecimal digits after `key` ("VID_") in the first ID that has them.
std::string FourHexDigitsAfter(const std::string &key, const std::vector<std::string> &ids)
{
    for (const std::string &id : ids) {
        const std::size_t at = id.find(key);
        if (at == std::string::npos || id.size() < at + key.size() + 4)
            continue;
        const std::string digits = id.substr(at + key.size(), 4);
        if (std::all_of(digits.begin(), digits.end(),
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
            return digits;
    }
    return {};
}

// Windows makes up an instance's last part from where a device sits when the device has no
// serial number; such a part holds '&'.
std::string SerialNumberIn(const std::string &part)
{
    return part.find('&') == std::string::npos ? part : std::string();
}

// USB\VID_0403&PID_6001\A50285BI; the FTDI driver's own bus puts the serial number, with the
// letter of the adapter's port, third in the middle part: FTDIBUS\VID_0403+PID_6001+A50285BIA\0000.
std::string SerialNumberOf(const std::string &instanceId)
{
    const std::vector<std::string> parts = Split(instanceId, '\\');
    if (parts.size() != 3)
        return {};
    if (parts[0] == "USB")
        return SerialNumberIn(parts[2]);
    const std::vector<std::string> fields = Split(parts[1], '+');
    if (parts[0] == "FTDIBUS" && fields.size() == 3)
        return SerialNumberIn(fields[2]);
    return {};
}

std::string OpenPath(const std::string &portName)
{
    // The device namespace opens COM10 and above too.
    return "\\\\.\\" + portName;
}

PortTarget DeviceTarget(const ComPortRecord &device)
{
    const UsbIdentity usb = UsbIdentityOf(device);
    const std::string ids
        = usb.vendorId.empty() ? std::string() : "VID_" + usb.vendorId + "&PID_" + usb.productId;
    std::string label
        = JoinParts({device.friendlyName, device.manufacturer, ids, usb.serialNumber});
    if (label.empty())
        label = Strings::PORT_UNDESCRIBED;
    return {usb.vendorId.empty() ? PortKind::OnBoardUart : PortKind::Adapter,
            true,
            OpenPath(device.portName),
            device.instanceId,
            label,
            {}};
}

} // namespace

UsbIdentity UsbIdentityOf(const ComPortRecord &record)
{
    const std::vector<std::string> ids {record.hardwareId, record.instanceId};
    UsbIdentity usb {FourHexDigitsAfter("VID_", ids), FourHexDigitsAfter("PID_", ids), {}};
    if (!usb.vendorId.empty())
        usb.serialNumber = SerialNumberOf(record.instanceId);
    return usb;
}

int ComPortNumber(const std::string &portName)
{
    if (portName.size() < 4 || portName.size() > 6)
        return -1;
    const std::string prefix = portName.substr(0, 3);
    const std::string digits = portName.substr(3);
    if (!std::equal(prefix.begin(), prefix.end(), "COM",
                    [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; })
        || !std::all_of(digits.begin(), digits.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return -1;
    return std::stoi(digits);
}

PortList ShapePortList(const std::vector<ComPortRecord> &devices,
                       const std::vector<ComPortRecord> &serialComm)
{
    PortList list;
    list.ports.assign(PORT_COUNT,
                      {PortKind::NotPresent, false, {}, {}, Strings::PORT_NOT_CONNECTED, {}});
    // SERIALCOMM names again most ports that SetupAPI gave; the first word on a number wins.
    std::set<int> taken;
    const auto take = [&](const ComPortRecord &device) {
        const int number = ComPortNumber(device.portName);
        if (number < 1 || !taken.insert(number).second)
            return;
        PortTarget target = DeviceTarget(device);
        if (number > static_cast<int>(PORT_COUNT))
            list.unlisted.push_back(std::string(Strings::PORT_BEYOND_SIXTEEN) + ": "
                                    + JoinParts({device.portName, DescribePortTarget(target)}));
        else
            list.ports[number - 1] = std::move(target);
    };
    std::for_each(devices.begin(), devices.end(), take);
    std::for_each(serialComm.begin(), serialComm.end(), take);
    return list;
}
