#pragma once

#include "portlist.h"

#include <string>
#include <vector>

// Windows numbers its serial ports itself: the port list is what the system tells of each device,
// shaped here. All texts are UTF-8.

// One device as the system describes it: from the Ports class and the COM port interface of
// SetupAPI, or, for a port SetupAPI does not know, only its value in HARDWARE\DEVICEMAP\SERIALCOMM.
struct ComPortRecord
{
    // "COM3"; the device's PortName, or the value's data.
    std::string portName;
    // "USB Serial Port (COM3)"; empty in SERIALCOMM.
    std::string friendlyName;
    std::string manufacturer;
    // The first of its hardware IDs: "USB\VID_0403&PID_6001&REV_0600".
    std::string hardwareId;
    // "USB\VID_0403&PID_6001\A50285BI"; in SERIALCOMM the value's name, "\Device\Serial0".
    std::string instanceId;
};

// What a USB device's IDs tell: vendor and product as four hexadecimal digits each, and the
// serial number where the device has one; all empty for a device that is not USB.
struct UsbIdentity
{
    std::string vendorId;
    std::string productId;
    std::string serialNumber;
};

UsbIdentity UsbIdentityOf(const ComPortRecord &record);

// The n of "COMn"; -1 for a name that is no COM port ("LPT1").
int ComPortNumber(const std::string &portName);

// COM1 … COM16 from the devices SetupAPI gives and, for the numbers they leave, from SERIALCOMM;
// a COM port beyond COM16 is named in the unlisted lines.
PortList ShapePortList(const std::vector<ComPortRecord> &devices,
                       const std::vector<ComPortRecord> &serialComm);
